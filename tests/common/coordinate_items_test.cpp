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

TEST(CoordinateItems, AttributeTextIsReadAsCoordinatesWhenItContinuesThePairs) {
    const struct {
        const char* text;
        bool readAsCoordinates;
    } cases[] = {
        {"(1,2)", true},      {"(3,4) north", true}, {",,(3,4)", true}, {"(3,x", true},
        {"(3", false},        {"(12.", false},       {"(3,", false},    {"Lake (North),12", false},
        {"oak,(1,2)", false}, {"", false},           {"(x,2)", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(isReadAsCoordinates(c.text), c.readAsCoordinates) << '"' << c.text << '"';
    }
}

}  // namespace
}  // namespace vorn2shp
