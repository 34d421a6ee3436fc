#include "attribute_text.h"

#include "common/coordinate_items.h"
#include "common/printable_text.h"

namespace vorn2shp {

namespace {

// Enough of an attribute text to recognise it by.
constexpr std::size_t kShownBytes = 40;

std::string readingOf(const LeadingCoordinates& leading) {
    if (leading.rings == 1) {
        return "begins with a closed ring of coordinate pairs: the export reads it as one more "
               "ring of the shape, not as attribute values";
    }
    if (leading.rings > 1) {
        return "begins with " + std::to_string(leading.rings) +
               " closed rings of coordinate pairs: the export reads them as more rings of the "
               "shape, not as attribute values";
    }
    return "begins like a coordinate pair, but its pairs close no ring: they stay attribute "
           "values";
}

}  // namespace

std::string howCoordinatesAreRead(const std::string& attributes) {
    const LeadingCoordinates leading = leadingCoordinates(attributes);
    if (!leading.beginsLikeAPair) {
        return {};
    }
    return "\"" + printableExcerpt(attributes, kShownBytes) + "\", " + readingOf(leading);
}

}  // namespace vorn2shp
