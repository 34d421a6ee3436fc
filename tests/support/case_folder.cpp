#include "case_folder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <stdexcept>

#include "test_support.h"

namespace vorn2shp::testing {

namespace fs = std::filesystem;

namespace {

// The lines of `text`; a last line needs no line end.
std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

std::vector<std::string> wordsOf(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string word; in >> word;) {
        words.push_back(word);
    }
    return words;
}

void check(bool done, const std::string& step) {
    if (!done) {
        throw std::runtime_error("setup step failed: " + step);
    }
}

void carryOut(const std::vector<std::string>& step, const std::string& workDir,
              const std::string& line) {
    const auto at = [&workDir](const std::string& path) { return workDir + "/" + path; };
    const std::string& verb = step[0];
    if (verb == "mkdir" && step.size() == 2) {
        check(mkdir(at(step[1]).c_str(), 0755) == 0, line);
    } else if (verb == "fifo" && step.size() == 2) {
        check(mkfifo(at(step[1]).c_str(), 0600) == 0, line);
    } else if (verb == "symlink" && step.size() == 3) {
        check(symlink(step[1].c_str(), at(step[2]).c_str()) == 0, line);
    } else if (verb == "hardlink" && step.size() == 3) {
        check(link(at(step[1]).c_str(), at(step[2]).c_str()) == 0, line);
    } else if (verb == "copy" && step.size() == 3) {
        std::error_code error;
        check(fs::copy_file(sourceDir() + "/" + step[1], at(step[2]), error), line);
    } else {
        throw std::runtime_error("unknown setup step: " + line);
    }
}

}  // namespace

std::string casesDir() { return sourceDir() + "/tests/cases"; }

std::vector<std::string> caseNames() {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(casesDir(), error)) {
        if (entry.is_directory()) {
            names.push_back(entry.path().filename().string());
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> caseArguments(const std::string& caseDir) {
    return linesOf(readFile(caseDir + "/args"));
}

void arrangeCase(const std::string& caseDir, const std::string& workDir) {
    if (fs::is_directory(caseDir + "/input")) {
        fs::copy(caseDir + "/input", workDir, fs::copy_options::recursive);
    }
    if (!fileExists(caseDir + "/setup")) {
        return;
    }
    for (const std::string& line : linesOf(readFile(caseDir + "/setup"))) {
        const std::vector<std::string> step = wordsOf(line);
        if (!step.empty() && step[0][0] != '#') {
            carryOut(step, workDir, line);
        }
    }
}

Snapshot snapshot(const std::string& dir) {
    Snapshot entries;
    for (auto it = fs::recursive_directory_iterator(dir); it != fs::recursive_directory_iterator();
         ++it) {
        const std::string name = it->path().lexically_relative(dir).string();
        // Every run leaves its lock file in the working directory and in the
        // directory it commits to; the folders need not list it.
        if (it->path().filename() == ".vorn2shp-lock") {
            continue;
        }
        const fs::file_status status = it->symlink_status();
        if (fs::is_symlink(status)) {
            entries[name] = "link to " + fs::read_symlink(it->path()).string();
        } else if (fs::is_regular_file(status)) {
            entries[name] = readFile(it->path().string());
        } else {
            entries[name] = fs::is_directory(status) ? "(directory)" : "(fifo or device)";
        }
    }
    return entries;
}

}  // namespace vorn2shp::testing
