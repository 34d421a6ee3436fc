// The options as the user reads of them: the manual page's OPTIONS and the
// README's option table name every option of the command line's table, with
// its letter and whether it takes a value, and no option it lacks.
#include "driver/option_table.h"

#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "support/test_support.h"

namespace vorn2shp {
namespace {

// An option as a document shows it.
struct Shown {
    std::set<char> letters;
    bool takesValue = false;
};

using ShownOptions = std::map<std::string, Shown>;

// The long names ("--name") and letters ("-x") written in `text`, one
// option's entry, which names a value or not.
void addShown(const std::string& text, bool takesValue, ShownOptions& shown) {
    const std::regex longName("--([a-z][a-z-]*)");
    const std::regex letter("(^|[^-a-z])-([a-zA-Z])\\b");
    std::set<char> letters;
    for (std::sregex_iterator m(text.begin(), text.end(), letter), end; m != end; ++m) {
        letters.insert((*m)[2].str()[0]);
    }
    for (std::sregex_iterator m(text.begin(), text.end(), longName), end; m != end; ++m) {
        Shown& entry = shown[(*m)[1].str()];
        entry.letters.insert(letters.begin(), letters.end());
        entry.takesValue = entry.takesValue || takesValue;
    }
}

std::string withoutEscapedDashes(std::string line) {
    for (std::size_t at = line.find("\\-"); at != std::string::npos; at = line.find("\\-", at)) {
        line.erase(at, 1);
    }
    return line;
}

// The tag of each entry of the manual page's OPTIONS section: the line
// after ".TP", ".BI" where it names a value ("\-\-prj " file"").
ShownOptions manualPageOptions() {
    std::istringstream page(testing::readFile(testing::sourceDir() + "/doc/vorn2shp.1.in"));
    ShownOptions shown;
    bool inOptions = false;
    bool tagNext = false;
    for (std::string line; std::getline(page, line);) {
        if (line.rfind(".SH", 0) == 0) {
            inOptions = line == ".SH OPTIONS";
        } else if (inOptions && tagNext) {
            addShown(withoutEscapedDashes(line), line.rfind(".BI ", 0) == 0, shown);
        }
        tagNext = inOptions && line == ".TP";
    }
    return shown;
}

// The first cell of each row of the README's option table: "`-q`,
// `--quiet`", "`--prj FILE`", "`--width N`, `--width auto`".
ShownOptions readmeOptions() {
    std::istringstream readme(testing::readFile(testing::sourceDir() + "/README.md"));
    ShownOptions shown;
    bool inTable = false;
    const std::regex withValue("`--[a-z-]+ [^`]+`");
    for (std::string line; std::getline(readme, line);) {
        if (line == "| option | effect |") {
            inTable = true;
        } else if (inTable && line.rfind("| `", 0) == 0) {
            const std::string cell = line.substr(2, line.find(" | ", 2) - 2);
            addShown(cell, std::regex_search(cell, withValue), shown);
        } else if (inTable && line.rfind('|', 0) != 0) {
            inTable = false;
        }
    }
    return shown;
}

void expectEveryOptionShown(const ShownOptions& shown, const char* document) {
    SCOPED_TRACE(document);
    EXPECT_FALSE(shown.empty());
    std::set<std::string> known;
    for (const CommandLineOption& option : commandLineOptions()) {
        known.insert(option.name);
        const auto entry = shown.find(option.name);
        if (entry == shown.end()) {
            ADD_FAILURE() << "--" << option.name << " is not described";
            continue;
        }
        const std::set<char> letters =
            option.letter != 0 ? std::set<char>{option.letter} : std::set<char>{};
        EXPECT_EQ(entry->second.letters, letters) << "--" << option.name;
        EXPECT_EQ(entry->second.takesValue, option.value != nullptr) << "--" << option.name;
    }
    for (const auto& [name, entry] : shown) {
        EXPECT_EQ(known.count(name), 1u) << "--" << name << " is described but is no option";
    }
}

TEST(OptionTable, TheManualPageDescribesEveryOptionAndNoOther) {
    expectEveryOptionShown(manualPageOptions(), "doc/vorn2shp.1.in");
}

TEST(OptionTable, TheReadmeTableDescribesEveryOptionAndNoOther) {
    expectEveryOptionShown(readmeOptions(), "README.md");
}

}  // namespace
}  // namespace vorn2shp
