// The rule that tells coordinates from attribute values on a line of
// output.eff.imd, as both the translation and the export apply it.
#include "common/coordinate_items.h"

#include <gtest/gtest.h>

#include <string>

namespace vorn2shp {
namespace {

TEST(CoordinateItems, AnItemOpensAPairWithANumberOnly) {
    const struct {
        const char* item;
        bool opens;
    } cases[] = {
        {"(3", true}, {"(-12.5000", true}, {" ( 1 2", true}, {"(1e5", true},      {"(+.5", true},
        {"(", false}, {"(x", false},       {"(3)", false},   {"(3 north", false}, {"((3", false},
        {"3", false}, {"(1.2.3", false},   {"(1e", false},   {"x(3", false},      {"", false},
    };
    std::string scratch;
    for (const auto& c : cases) {
        EXPECT_EQ(opensCoordinatePair(c.item, scratch), c.opens) << '"' << c.item << '"';
    }
}

// What the export makes of text written right after an outline's last ring:
// only closed rings are coordinates, whatever breaks off after them is text.
TEST(CoordinateItems, AttributeTextAddsRingsOnlyWhereItsPairsCloseThem) {
    const struct {
        const char* text;
        bool beginsLikeAPair;
        std::size_t rings;
    } cases[] = {
        {"(1,2)", true, 0},
        {"(3,4) north", true, 0},
        {",,(3,4)", true, 0},
        {"(3,x", true, 0},
        {"(1,2),oak", true, 0},
        {"(3", false, 0},
        {"(12.", false, 0},
        {"(3,", false, 0},
        {"Lake (North),12", false, 0},
        {"oak,(1,2)", false, 0},
        {"", false, 0},
        {"(x,2)", false, 0},
        {"(0,0),(4,0),(0,0),oak", true, 0},  // two corners before the first comes back
        {"(0,0),(4,0),(4,4),(0,0),oak", true, 1},
        {"(0,0),(4,0),(4,4),(0.0,-0),oak", true, 1},  // the same point, written otherwise
        {"(0,0),(4,0),(4,4),(0,0.00001)", true, 0},
        {"(0,0),(4,0),(4,4),(0,0),(9,9),(8,9),(8,8),(9,9)", true, 2},
        {"(0,0),(4,0),(4,4),(0,0),(9,9),(8,9)", true, 1},
        {"(0,0),(4,0),(4,4),(0,0),(9,9),(8,(9", true, 1},
    };
    for (const auto& c : cases) {
        const LeadingCoordinates leading = leadingCoordinates(c.text);
        EXPECT_EQ(leading.beginsLikeAPair, c.beginsLikeAPair) << '"' << c.text << '"';
        EXPECT_EQ(leading.rings, c.rings) << '"' << c.text << '"';
    }
}

}  // namespace
}  // namespace vorn2shp
