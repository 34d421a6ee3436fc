// Helpers shared by the unit and end-to-end tests: scratch directories,
// whole-file reads and writes, running the real binary, and a canonical text
// dump of a shapefile read back through shapelib.
#pragma once

#include <string>
#include <vector>

namespace vorn2shp::testing {

// A fresh temporary directory that is made the working directory for the
// lifetime of the object; the previous working directory is restored and the
// directory removed on destruction.
class ScopedWorkDir {
public:
    ScopedWorkDir();
    ~ScopedWorkDir();
    ScopedWorkDir(const ScopedWorkDir&) = delete;
    ScopedWorkDir& operator=(const ScopedWorkDir&) = delete;

    const std::string& path() const { return path_; }

private:
    std::string path_;
    std::string previous_;
};

// A fresh temporary directory that is removed on destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// While it lives, a write that would take a regular file past `bytes`
// fails with EFBIG, as a full disk makes a write fail with ENOSPC; the
// signal that such a write raises is ignored. Processes started meanwhile
// inherit both. Pipes are not limited.
class FileSizeLimit {
public:
    explicit FileSizeLimit(long bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    unsigned long previousSoft_ = 0;  // the rlim_t of the limit before
    void (*previousHandler_)(int) = nullptr;
};

// Sets an environment variable for the programs the test starts while it
// lives, and unsets it again.
class ScopedEnvironment {
public:
    ScopedEnvironment(const std::string& name, const std::string& value);
    ~ScopedEnvironment();
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    std::string name_;
};

void writeFile(const std::string& path, const std::string& bytes);
std::string readFile(const std::string& path);
bool fileExists(const std::string& path);
// Whether the file system of `directory` makes files without a name
// (O_TMPFILE): where it does not, the parse stays in one part.
bool unnamedFilesWorkIn(const std::string& directory);

struct RunResult {
    int exitStatus = -1;  // the exit status, or 128 + signal number
    std::string out;
    std::string err;
};

// `program` started with `args` in `workDir`, with no standard input, and
// going on while the test acts on it. Its stdout is collected, or is a pipe
// whose reading end is closed before it starts, as after `| head` has
// ended. The destructor kills and reaps a run that was not finished.
class RunningProgram {
public:
    enum class Stdout { Collected, ClosedPipe };

    RunningProgram(const std::string& program, const std::vector<std::string>& args,
                   const std::string& workDir, Stdout stdoutGoes = Stdout::Collected);
    ~RunningProgram();
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;

    // Sends `signal` to the program, unless it has been finished.
    void signal(int signal) const;
    // Whether the program has ended (it is not reaped before finish()).
    bool ended() const;
    // Waits until the program has stopped itself (SIGSTOP), or has ended.
    void waitUntilStopped() const;
    // Waits for the program to end and collects everything it printed.
    RunResult finish();

private:
    int pid_ = -1;
    int out_ = -1;
    int err_ = -1;
};

// Runs `program` with `args` in `workDir`, with no standard input, and
// collects everything it prints.
RunResult runProgram(const std::string& program, const std::vector<std::string>& args,
                     const std::string& workDir);

// The program `name` as the shell finds it through PATH; empty when no
// directory of PATH holds it.
std::string programOnPath(const std::string& name);

// `program` as a command line that runs it as an unprivileged user where
// the tests run as root, whom permission bits do not stop (setpriv, user
// and group 65534), and as it stands otherwise.
std::vector<std::string> unprivilegedCommand(const std::string& program);

// The vorn2shp binary under test (set by the build).
std::string vorn2shpBinary();
// The source tree, for the bundled examples.
std::string sourceDir();

// A canonical text dump of <base>.shp/.shx/.dbf: shape type, every shape's
// parts and vertices ("%.4f"), the table's fields and every row.
std::string dumpShapefile(const std::string& base);

}  // namespace vorn2shp::testing
