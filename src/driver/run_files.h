// The files a run reads and the files it writes, checked against each other
// before anything is written, so that the run's own output never takes the
// place of one of its inputs and never goes where a link points.
#pragma once

#include <string>
#include <vector>

#include "conversion_settings.h"

namespace vorn2shp {

// The files the user hands in: the constraint file, its .def and .info, and
// the --prj file when there is one.
std::vector<std::string> inputPathsOf(const ConversionSettings& settings);

// False, with the reason on stderr, when a file the run will write is one
// of its inputs (the same device and inode, whatever the names: a hard link
// counts), or when the name of an intermediate file holds a symbolic link,
// dangling or not, or a FIFO, socket or device. The files written are the
// intermediate files and the output base's .shp, .shx, .dbf and .cpg, with
// the .prj and .qix when the options ask for them; the .prj may be its own
// --prj file, which it copies unchanged.
bool checkRunFiles(const ConversionSettings& settings);

}  // namespace vorn2shp
