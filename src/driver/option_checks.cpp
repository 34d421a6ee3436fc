#include "option_checks.h"

#include <iconv.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <string_view>

#include "common/diagnostics.h"

namespace vorn2shp {

namespace {

bool startsWithLetters(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
               return std::toupper(static_cast<unsigned char>(a)) ==
                      std::toupper(static_cast<unsigned char>(b));
           });
}

bool iconvKnows(const std::string& name) {
    const iconv_t converter = iconv_open("UTF-8", name.c_str());
    if (converter == reinterpret_cast<iconv_t>(-1)) {
        return false;
    }
    iconv_close(converter);
    return true;
}

// The name GDAL recodes from when a .cpg says `codePage`: a Windows or DOS
// code page number (437 to 950, 1250 to 1258) becomes CP<n>, "8859-1" or
// "88591" becomes ISO-8859-1, and any other name is used as it stands.
std::string gdalCodePageName(const std::string& codePage) {
    const int number = std::atoi(codePage.c_str());
    if ((number >= 437 && number <= 950) || (number >= 1250 && number <= 1258)) {
        return "CP" + std::to_string(number);
    }
    if (startsWithLetters(codePage, "8859")) {
        const std::size_t rest = codePage.size() > 4 && codePage[4] == '-' ? 5 : 4;
        return "ISO-8859-" + codePage.substr(rest);
    }
    return codePage;
}

// GDAL reads a .cpg that begins with UTF-8 as UTF-8, and one that names a
// dBASE language driver (LDID/87) by its own table.
bool readersRecode(const std::string& codePage) {
    return startsWithLetters(codePage, "UTF-8") || startsWithLetters(codePage, "UTF8") ||
           startsWithLetters(codePage, "LDID/") || iconvKnows(codePage) ||
           iconvKnows(gdalCodePageName(codePage));
}

bool isWhiteSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// The keywords a coordinate system's WKT begins with: WKT 1 (ESRI's .prj
// files among them) and WKT 2.
constexpr std::string_view kCoordinateSystemKeywords[] = {
    "GEOGCS",      "PROJCS",         "GEOCCS",       "COMPD_CS",      "VERT_CS",
    "LOCAL_CS",    "FITTED_CS",      "GEOGCRS",      "GEOGRAPHICCRS", "GEODCRS",
    "GEODETICCRS", "PROJCRS",        "PROJECTEDCRS", "VERTCRS",       "VERTICALCRS",
    "ENGCRS",      "ENGINEERINGCRS", "COMPOUNDCRS",  "BOUNDCRS",      "PARAMETRICCRS",
    "TIMECRS",     "DERIVEDPROJCRS",
};

bool isKeywordCharacter(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_';
}

// Brackets, [ ] or ( ), that close in order outside the quoted names, with
// nothing but white space after the last one.
bool bracketsCloseAtTheEnd(std::string_view text) {
    std::string open;
    bool quoted = false;
    std::size_t i = 0;
    for (; i < text.size() && (i == 0 || !open.empty() || quoted); ++i) {
        const char c = text[i];
        if (c == '"') {
            quoted = !quoted;
        } else if (!quoted && (c == '[' || c == '(')) {
            open.push_back(c == '[' ? ']' : ')');
        } else if (!quoted && (c == ']' || c == ')')) {
            if (open.empty() || open.back() != c) {
                return false;
            }
            open.pop_back();
        }
    }
    return open.empty() && !quoted &&
           std::all_of(text.begin() + static_cast<std::ptrdiff_t>(i), text.end(), isWhiteSpace);
}

bool isCoordinateSystemWkt(std::string_view text) {
    while (!text.empty() && isWhiteSpace(text.front())) {
        text.remove_prefix(1);
    }
    std::size_t end = 0;
    while (end < text.size() && isKeywordCharacter(text[end])) {
        ++end;
    }
    const std::string_view keyword = text.substr(0, end);
    const bool known =
        std::any_of(std::begin(kCoordinateSystemKeywords), std::end(kCoordinateSystemKeywords),
                    [keyword](std::string_view name) {
                        return name.size() == keyword.size() && startsWithLetters(keyword, name);
                    });
    text.remove_prefix(end);
    while (!text.empty() && isWhiteSpace(text.front())) {
        text.remove_prefix(1);
    }
    return known && !text.empty() && (text.front() == '[' || text.front() == '(') &&
           bracketsCloseAtTheEnd(text);
}

}  // namespace

void checkCodePageName(const std::string& codePage, const std::string& cpgPath) {
    if (!codePage.empty() && !readersRecode(codePage)) {
        warn("--encoding " + codePage +
             ": neither iconv nor GDAL's reading of a .cpg knows this code page, so readers "
             "will not recode the text (GDAL and QGIS show its bytes as they are); it is "
             "written to " +
             cpgPath + " as given");
    }
}

void checkProjectionText(const std::string& path, const std::string& projection,
                         const std::string& prjPath) {
    if (std::all_of(projection.begin(), projection.end(), isWhiteSpace)) {
        warn(path + ": the file is empty, so " + prjPath +
             " names no coordinate system; it is copied all the same");
    } else if (!isCoordinateSystemWkt(projection)) {
        warn(path +
             ": not the WKT of a coordinate system (such as GEOGCS[...] or PROJCS[...]), so "
             "readers will not take " +
             prjPath + " for one; it is copied all the same");
    }
}

}  // namespace vorn2shp
