// The attribute table's column names: the field names declared in
// DBF$$$.fld, completed for values beyond them and made unique.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace vorn2shp {

// The field names of DBF$$$.fld, in order. The file holds one list of names
// separated by commas (line ends do not separate names); blanks around a
// name are not part of it.
class FieldNameList {
public:
    // Reads the field list at `path`, DBF$$$.fld in the work directory.
    // False when it cannot be read; error() tells why and the list is empty.
    bool load(const std::string& path);

    // Empty when no name is declared at all; an empty name inside the list
    // keeps its position.
    const std::vector<std::string>& names() const { return names_; }
    int error() const { return error_; }

private:
    std::vector<std::string> names_;
    int error_ = 0;
};

// The key dBASE compares column names by: letter case does not count.
std::string caseKey(std::string_view name);

// dBASE keeps at most this many bytes of a column name.
constexpr std::size_t kColumnNameWidth = 10;

// The name that column q asks for: declared name q, or FIELD<q+1> where
// there is none (or it is empty).
std::string wantedColumnName(const std::vector<std::string>& declared, std::size_t q);

// The names of `columnCount` text columns, each the one it asks for, cut to
// the width dBASE keeps; a name that would then agree with an earlier one,
// letter case ignored, is cut shorter and takes the suffix _1, _2, ...
// instead. Costs time in proportion to the number of columns.
std::vector<std::string> columnNames(const std::vector<std::string>& declared,
                                     std::size_t columnCount, bool utf8);

// Why a column's name differs from the one it asked for, e.g. 'the field
// name "population_b" becomes "populati_1": an earlier column has the same
// first 10 bytes, "population" (letter case ignored)'.
std::string describeColumnRename(const std::string& wanted, const std::string& name, bool utf8);

}  // namespace vorn2shp
