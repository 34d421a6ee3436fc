// The one rule that tells coordinates from attribute values on a line of
// output.eff.imd, shared by the translation, which writes the lines, and the
// export, which reads them back.
//
// A line is comma-separated items (empty items do not exist). It starts with
// the object's coordinate pairs, each spread over two items, "(x" and "y)";
// an item continues that run only when it is "(" followed by a number. The
// coordinates are the closed rings at the start of that run: each ring ends
// where its first point comes back with at least three corners before it.
// Pairs after the last closed ring are attribute text, so a text written
// behind the outline that merely begins like a pair never changes it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace vorn2shp {

// True for a plain decimal number: sign, digits with an optional fraction,
// optional exponent, and nothing else.
bool isDecimalNumber(std::string_view text);

// Whether `item` opens another coordinate pair: "(" and a decimal number,
// blanks anywhere, and nothing else. `scratch` is working storage.
bool opensCoordinatePair(std::string_view item, std::string& scratch);

// The items of `line`, in order: the non-empty pieces between its commas.
void splitItems(std::string_view line, std::vector<std::string_view>& items);

// The run of coordinate pairs at the start of some items, and what ended it.
struct PairRun {
    enum class End {
        NoPair,       // no further item opens a pair, or there is none
        LastItem,     // the last item opens one, which nothing can close
        Unclosed,     // the item after an opening one holds no ')'
        BothClosing,  // the item after an opening one holds '(' and ')'
    };
    std::size_t pairs = 0;
    End end = End::NoPair;
};

// The pairs at the start of `items`: an item that opens a pair followed by
// one that holds ')' and no '('. With `firstOpens` the first item opens a
// pair whatever its number looks like.
PairRun readPairRun(const std::vector<std::string_view>& items, bool firstOpens,
                    std::string& scratch);

// The value of a coordinate item, "(12.5000" or "-3.2500)": its number once
// the parentheses and blanks are gone, as strtod reads it (0 where there is
// none), read the quick way in the form the translation writes.
double coordinateValue(std::string_view item, std::string& scratch);

// Where the ring that starts at vertex `start` of the `count` vertices ends:
// the first vertex at least three after it that is the same point (compared
// exactly, so 0 and -0 agree), or `count` when none is.
std::size_t ringEnd(const double* x, const double* y, std::size_t start, std::size_t count);

// The closed rings at the start of the `count` vertices, one after the
// other, and how many vertices they take: none when not even the first ring
// closes.
struct ClosedRings {
    std::size_t rings = 0;
    std::size_t vertices = 0;
};
ClosedRings closedRings(const double* x, const double* y, std::size_t count);

// What the export reads of attribute text written right after an outline's
// last ring.
struct LeadingCoordinates {
    // Its first item opens a pair and another item follows it.
    bool beginsLikeAPair = false;
    // The closed rings at its start, which are read as more rings of the
    // shape; whatever comes after them stays attribute text.
    std::size_t rings = 0;
};
LeadingCoordinates leadingCoordinates(std::string_view attributeText);

}  // namespace vorn2shp
