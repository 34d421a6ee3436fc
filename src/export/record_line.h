// The layout of one record line of output.eff.imd.
//
// A line is a run of comma-separated items (a run of commas separates like
// one, and empty items do not exist). It starts with the object's coordinate
// pairs, each spread over two items: "(" and the x value, then the y value
// and ")". Its coordinates are the closed rings at the start of that run,
// and every item after the last of them is a value whatever it holds, so an
// attribute text such as "Lake (North)", or one that begins like a pair,
// "(1,2),oak", never changes the geometry. A line whose pairs close no ring
// keeps them all as its vertices, up to the first item that does not
// continue them; a pair that the line's last item opens is never completed:
// that item is the last value, so a text such as "(3" stays text.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "common/text_file.h"

namespace vorn2shp {

enum class LineFault {
    None,
    NoCoordinates,       // the line does not start with a coordinate item
    ImproperCoordinate,  // a coordinate item holds both parentheses
    UnclosedPair,        // an opening item is not followed by a closing one
};

// One parsed line. Reused from line to line so that its storage is too.
struct RecordLine {
    std::size_t vertexCount = 0;
    // The coordinates of its vertices, the way atof reads them once the
    // parentheses and blanks are gone (0 where there is no number).
    std::vector<double> x;
    std::vector<double> y;
    // Views into the parsed line; the last one has lost its record terminator.
    std::vector<std::string_view> values;

    // Working storage of the parse.
    std::vector<std::string_view> items;
    std::string scratch;
};

// Drops every carriage return of `line`: output.eff.imd separates its lines
// by CR LF, and a carriage return inside a line is none of its text.
void dropCarriageReturns(std::string& line);

// Reads the next line of `file` into `line` with every carriage return
// dropped. False when no line is left (or a read failed).
bool readLine(LineReader& file, std::string& line);

// Takes `line` (carriage returns already removed) apart into `record`: its
// vertices and its values. On a fault the record must not be used.
LineFault parseRecordLine(std::string_view line, RecordLine& record);

// Keeps of `text` only the part that `values`, views into it, cover, and
// gives the rest of its storage back; `values` then view the kept part.
void keepOnlyValues(std::string& text, std::vector<std::string_view>& values);

// `value` without the record terminator: the "." or ";", and any blanks
// after it, that ends the line's last value. "3.5" stays "3.5".
std::string_view withoutTerminator(std::string_view value);

}  // namespace vorn2shp
