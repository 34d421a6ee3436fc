#include "field_name_list.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

#include "common/text_file.h"
#include "table_text.h"

namespace vorn2shp {

namespace {

const char* const kFieldListPath = "DBF$$$.fld";

std::string trimmed(const std::string& name) {
    const std::size_t first = name.find_first_not_of(" \t");
    if (first == std::string::npos) {
        return {};
    }
    const std::size_t last = name.find_last_not_of(" \t");
    return name.substr(first, last - first + 1);
}

// dBASE compares column names without regard to letter case.
std::string caseKey(std::string_view name) {
    std::string key(name);
    for (char& c : key) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return key;
}

class UniqueNames {
public:
    explicit UniqueNames(bool utf8) : utf8_(utf8) {}

    std::string take(const std::string& wanted) {
        const std::string name(cutToWidth(wanted, kColumnNameWidth, utf8_));
        const std::string key = caseKey(name);
        if (taken_.insert(key).second) {
            return name;
        }
        // Suffixes count on from the last one given for the same name, so a
        // long run of clashing names costs no repeated search.
        int& suffix = nextSuffix_[key];
        for (;;) {
            const std::string tail = "_" + std::to_string(++suffix);
            const std::size_t room = kColumnNameWidth - std::min(tail.size(), kColumnNameWidth);
            std::string candidate(cutToWidth(wanted, room, utf8_));
            candidate += tail;
            if (taken_.insert(caseKey(candidate)).second) {
                return candidate;
            }
        }
    }

private:
    bool utf8_;
    std::unordered_set<std::string> taken_;
    std::unordered_map<std::string, int> nextSuffix_;
};

}  // namespace

bool FieldNameList::load() {
    names_.clear();
    LineReader reader;
    if (!reader.open(kFieldListPath)) {
        error_ = reader.error();
        return false;
    }
    std::string line;
    std::string current;
    while (reader.readLine(line)) {
        for (const char c : line) {
            if (c == ',') {
                names_.push_back(trimmed(current));
                current.clear();
            } else {
                current.push_back(c);
            }
        }
    }
    names_.push_back(trimmed(current));
    error_ = reader.error();
    if (error_ != 0 ||
        std::all_of(names_.begin(), names_.end(), [](const std::string& n) { return n.empty(); })) {
        names_.clear();
    }
    return error_ == 0;
}

std::vector<std::string> columnNames(const std::vector<std::string>& declared,
                                     std::size_t columnCount, bool utf8) {
    UniqueNames unique(utf8);
    std::vector<std::string> names;
    names.reserve(columnCount);
    for (std::size_t q = 0; q < columnCount; ++q) {
        const bool isDeclared = q < declared.size() && !declared[q].empty();
        names.push_back(unique.take(isDeclared ? declared[q] : "FIELD" + std::to_string(q + 1)));
    }
    return names;
}

}  // namespace vorn2shp
