// Where the text of output.eff.imd came from, as the export's messages name
// it: the user's .def and .info rather than the files handed on to the
// export, where the run knows them.
#pragma once

#include <cstddef>
#include <string>
#include <utility>

#include "common/attribute_lines.h"

namespace vorn2shp {

class TextPlaces {
public:
    // The values of `effPath` came from `definitionsPath`, each record line
    // from its line in `definitionLines`, and the field names of
    // `fieldListPath` from the second line of `infoPath`; an empty path
    // names the intermediate file instead. All but `effPath` are the
    // caller's, and outlive this.
    TextPlaces(std::string effPath, const std::string& definitionsPath,
               const AttributeLines& definitionLines, const std::string& fieldListPath,
               const std::string& infoPath)
        : effPath_(std::move(effPath)),
          definitionsPath_(definitionsPath),
          definitionLines_(definitionLines),
          fieldListPath_(fieldListPath),
          infoPath_(infoPath) {}

    // The file the values came from: "town.def" (or "output.eff.imd").
    const std::string& valuesFile() const;
    // The line of valuesFile() that record line `recordLine` took its
    // values from.
    std::size_t valuesLine(std::size_t recordLine) const;
    // "town.def:2" (or "output.eff.imd: line 2") for record line `recordLine`.
    std::string valuesPlace(std::size_t recordLine) const;
    // "town.info:2" (or "DBF$$$.fld"), where the field names are declared.
    std::string fieldListPlace() const;

private:
    std::string effPath_;
    const std::string& definitionsPath_;
    const AttributeLines& definitionLines_;
    const std::string& fieldListPath_;
    const std::string& infoPath_;
};

}  // namespace vorn2shp
