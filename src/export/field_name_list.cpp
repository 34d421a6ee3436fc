#include "field_name_list.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

#include "common/printable_text.h"
#include "common/text_file.h"
#include "common/utf8_text.h"

namespace vorn2shp {

namespace {

std::string trimmed(const std::string& name) {
    const std::size_t first = name.find_first_not_of(" \t");
    if (first == std::string::npos) {
        return {};
    }
    const std::size_t last = name.find_last_not_of(" \t");
    return name.substr(first, last - first + 1);
}

// The stem and the suffix's length: together they fix the names that
// suffixes of that length give.
std::string stemKey(std::string_view stem, std::size_t suffixLength) {
    std::string key = caseKey(stem);
    key += '\0';
    key += std::to_string(suffixLength);
    return key;
}

class UniqueNames {
public:
    UniqueNames(bool utf8, std::size_t count) : utf8_(utf8) { taken_.reserve(count); }

    // The first name free for `wanted`: its first ten bytes, or else the
    // shortest suffix _1, _2, ... that makes it unique.
    std::string take(const std::string& wanted) {
        std::string name(cutToWidth(wanted, kColumnNameWidth, utf8_));
        if (taken_.insert(caseKey(name)).second) {
            return name;
        }
        // Each stem (the part before the suffix) counts on from the last
        // suffix tried for it, by whichever name: every name before that is
        // taken, so a long run of clashing names costs no repeated search.
        int suffix = 1;
        for (;;) {
            const std::string tail = "_" + std::to_string(suffix);
            const std::size_t room = kColumnNameWidth - std::min(tail.size(), kColumnNameWidth);
            std::string candidate(cutToWidth(wanted, room, utf8_));
            int& next = nextSuffix_[stemKey(candidate, tail.size())];
            if (next > suffix) {
                suffix = next;
                continue;
            }
            next = suffix + 1;
            candidate += tail;
            if (taken_.insert(caseKey(candidate)).second) {
                return candidate;
            }
            ++suffix;
        }
    }

private:
    bool utf8_;
    std::unordered_set<std::string> taken_;
    // Keyed by the stem and the suffix's length, which together fix the
    // names that suffixes of that length give.
    std::unordered_map<std::string, int> nextSuffix_;
};

}  // namespace

std::string caseKey(std::string_view name) {
    std::string key(name);
    for (char& c : key) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return key;
}

bool FieldNameList::load(const std::string& path) {
    names_.clear();
    LineReader reader;
    if (!reader.open(path)) {
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

std::string wantedColumnName(const std::vector<std::string>& declared, std::size_t q) {
    const bool isDeclared = q < declared.size() && !declared[q].empty();
    return isDeclared ? declared[q] : "FIELD" + std::to_string(q + 1);
}

std::vector<std::string> columnNames(const std::vector<std::string>& declared,
                                     std::size_t columnCount, bool utf8) {
    UniqueNames unique(utf8, columnCount);
    std::vector<std::string> names;
    names.reserve(columnCount);
    for (std::size_t q = 0; q < columnCount; ++q) {
        names.push_back(unique.take(wantedColumnName(declared, q)));
    }
    return names;
}

std::string describeColumnRename(const std::string& wanted, const std::string& name, bool utf8) {
    const auto quoted = [](std::string_view text) { return "\"" + printableText(text) + "\""; };
    const std::string change = "the field name " + quoted(wanted) + " becomes " + quoted(name);
    const std::string_view cut = cutToWidth(wanted, kColumnNameWidth, utf8);
    if (cut == name) {
        return change + ": a dBASE column name holds at most " + std::to_string(kColumnNameWidth) +
               " bytes";
    }
    if (cut == wanted) {
        return change + ": an earlier column has the same name (letter case ignored)";
    }
    return change + ": an earlier column has the same first " + std::to_string(kColumnNameWidth) +
           " bytes, " + quoted(cut) + " (letter case ignored)";
}

}  // namespace vorn2shp
