// The end-to-end cases kept as folders of tests/cases (see its README.md):
// what a case puts in the working directory before the run, and the command
// line it runs there.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace vorn2shp::testing {

// tests/cases of the source tree.
std::string casesDir();

// The name of every case folder, in order.
std::vector<std::string> caseNames();

// The command line of case `caseDir`: its file `args`, one argument a line.
std::vector<std::string> caseArguments(const std::string& caseDir);

// Copies the case's input/ into `workDir`, then carries out its `setup`
// steps there: mkdir PATH, symlink TARGET PATH, hardlink EXISTING PATH,
// fifo PATH, copy SOURCE-TREE-PATH PATH.
void arrangeCase(const std::string& caseDir, const std::string& workDir);

// Every entry under `dir` by its path below it: a regular file by its bytes,
// anything else by its kind (a link is never followed, a FIFO never opened).
// The lock files that every run leaves (.vorn2shp-lock) are not listed.
using Snapshot = std::map<std::string, std::string>;
Snapshot snapshot(const std::string& dir);

}  // namespace vorn2shp::testing
