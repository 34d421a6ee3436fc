#include "test_support.h"

#include <fcntl.h>
#include <poll.h>
#include <shapefil.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace vorn2shp::testing {

namespace {

std::string makeTempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern =
        std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/vorn2shp-test-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot create a temporary directory");
    }
    return pattern;
}

void removeTree(const std::string& path) {
    std::error_code ignored;
    // Tests may take write permission away; give it back so the tree can go.
    for (auto it = std::filesystem::recursive_directory_iterator(path, ignored);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
        std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
    }
    std::filesystem::permissions(path, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(path, ignored);
}

std::string formatNumber(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.4f", value);
    return text;
}

}  // namespace

FileSizeLimit::FileSizeLimit(long bytes) {
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    previousSoft_ = static_cast<unsigned long>(limit.rlim_cur);
    limit.rlim_cur = static_cast<rlim_t>(bytes);
    previousHandler_ = signal(SIGXFSZ, SIG_IGN);
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0) {
        throw std::runtime_error("cannot limit the size of files");
    }
}

FileSizeLimit::~FileSizeLimit() {
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = static_cast<rlim_t>(previousSoft_);
    setrlimit(RLIMIT_FSIZE, &limit);
    signal(SIGXFSZ, previousHandler_);
}

ScopedWorkDir::ScopedWorkDir() : path_(makeTempDir()), previous_(std::filesystem::current_path()) {
    std::filesystem::current_path(path_);
}

ScopedWorkDir::~ScopedWorkDir() {
    std::error_code ignored;
    std::filesystem::current_path(previous_, ignored);
    removeTree(path_);
}

TempDir::TempDir() : path_(makeTempDir()) {}
TempDir::~TempDir() { removeTree(path_); }

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        throw std::runtime_error("cannot write " + path);
    }
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot read " + path);
    }
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool fileExists(const std::string& path) {
    std::error_code ignored;
    return std::filesystem::exists(std::filesystem::symlink_status(path, ignored));
}

bool unnamedFilesWorkIn(const std::string& directory) {
    const int descriptor = ::open(directory.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (descriptor < 0) {
        return false;
    }
    ::close(descriptor);
    return true;
}

ScopedEnvironment::ScopedEnvironment(const std::string& name, const std::string& value)
    : name_(name) {
    setenv(name.c_str(), value.c_str(), 1);
}

ScopedEnvironment::~ScopedEnvironment() { unsetenv(name_.c_str()); }

RunningProgram::RunningProgram(const std::string& program, const std::vector<std::string>& args,
                               const std::string& workDir, Stdout stdoutGoes) {
    int outPipe[2];
    int errPipe[2];
    if (pipe2(outPipe, O_CLOEXEC) != 0 || pipe2(errPipe, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
    if (stdoutGoes == Stdout::ClosedPipe) {
        close(outPipe[0]);
        outPipe[0] = -1;
    }
    // Everything the child needs is made before the fork: the test may have
    // threads of its own, and the child calls nothing but system calls.
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& arg : args) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    const pid_t child = fork();
    if (child < 0) {
        throw std::runtime_error("fork failed");
    }
    if (child == 0) {
        const int devNull = open("/dev/null", O_RDONLY);
        dup2(devNull, STDIN_FILENO);
        dup2(outPipe[1], STDOUT_FILENO);
        dup2(errPipe[1], STDERR_FILENO);
        if (chdir(workDir.c_str()) != 0) {
            _exit(127);
        }
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(outPipe[1]);
    close(errPipe[1]);
    pid_ = child;
    out_ = outPipe[0];
    err_ = errPipe[0];
}

RunningProgram::~RunningProgram() {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        finish();
    }
}

void RunningProgram::signal(int signal) const {
    if (pid_ > 0) {
        kill(pid_, signal);
    }
}

bool RunningProgram::ended() const {
    siginfo_t info{};
    return pid_ > 0 &&
           waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
           info.si_pid == pid_;
}

void RunningProgram::waitUntilStopped() const {
    siginfo_t info{};
    while (pid_ > 0 &&
           waitid(P_PID, static_cast<id_t>(pid_), &info, WSTOPPED | WEXITED | WNOWAIT) != 0 &&
           errno == EINTR) {
    }
}

RunResult RunningProgram::finish() {
    RunResult result;
    pollfd fds[2] = {{out_, POLLIN, 0}, {err_, POLLIN, 0}};
    std::string* sinks[2] = {&result.out, &result.err};
    int open = out_ >= 0 ? 2 : 1;
    while (open > 0) {
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            break;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0) {
                continue;
            }
            char chunk[65536];
            const ssize_t got = read(fds[i].fd, chunk, sizeof chunk);
            if (got > 0) {
                sinks[i]->append(chunk, static_cast<std::size_t>(got));
            } else {
                close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}

RunResult runProgram(const std::string& program, const std::vector<std::string>& args,
                     const std::string& workDir) {
    return RunningProgram(program, args, workDir).finish();
}

std::string programOnPath(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::string directories = path != nullptr ? path : "/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= directories.size()) {
        const std::size_t end = std::min(directories.find(':', start), directories.size());
        const std::string directory = directories.substr(start, end - start);
        const std::string candidate = (directory.empty() ? "." : directory) + "/" + name;
        if (access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
        start = end + 1;
    }
    return {};
}

std::string vorn2shpBinary() { return VORN2SHP_BINARY; }
std::string sourceDir() { return VORN2SHP_SOURCE_DIR; }

std::vector<std::string> unprivilegedCommand(const std::string& program) {
    if (geteuid() != 0) {
        return {program};
    }
    return {programOnPath("setpriv"), "--reuid=65534", "--regid=65534", "--clear-groups", program};
}

std::string dumpShapefile(const std::string& base) {
    std::ostringstream dump;
    SHPHandle shp = SHPOpen(base.c_str(), "rb");
    if (shp == nullptr) {
        return "cannot open " + base + ".shp\n";
    }
    int count = 0;
    int type = 0;
    SHPGetInfo(shp, &count, &type, nullptr, nullptr);
    dump << "type " << type << " shapes " << count << "\n";
    for (int i = 0; i < count; ++i) {
        SHPObject* object = SHPReadObject(shp, i);
        if (object == nullptr) {
            dump << "shape " << i << " unreadable\n";
            continue;
        }
        dump << "shape " << i << " parts " << object->nParts << " vertices " << object->nVertices
             << "\n";
        for (int part = 0; part < object->nParts; ++part) {
            const int first = object->panPartStart[part];
            const int last =
                part + 1 < object->nParts ? object->panPartStart[part + 1] : object->nVertices;
            dump << " part";
            for (int v = first; v < last; ++v) {
                dump << " (" << formatNumber(object->padfX[v]) << ","
                     << formatNumber(object->padfY[v]) << ")";
            }
            dump << "\n";
        }
        if (object->nParts == 0 && object->nVertices > 0) {
            dump << " points";
            for (int v = 0; v < object->nVertices; ++v) {
                dump << " (" << formatNumber(object->padfX[v]) << ","
                     << formatNumber(object->padfY[v]) << ")";
            }
            dump << "\n";
        }
        SHPDestroyObject(object);
    }
    SHPClose(shp);

    DBFHandle dbf = DBFOpen(base.c_str(), "rb");
    if (dbf == nullptr) {
        dump << "cannot open " << base << ".dbf\n";
        return dump.str();
    }
    const int fields = DBFGetFieldCount(dbf);
    const int rows = DBFGetRecordCount(dbf);
    dump << "fields " << fields << " rows " << rows << "\n";
    for (int f = 0; f < fields; ++f) {
        char name[XBASE_FLDNAME_LEN_READ + 1] = {};
        int width = 0;
        int decimals = 0;
        const DBFFieldType fieldType = DBFGetFieldInfo(dbf, f, name, &width, &decimals);
        dump << "field " << name << " type " << static_cast<int>(fieldType) << " width " << width
             << " decimals " << decimals << "\n";
    }
    for (int r = 0; r < rows; ++r) {
        dump << "row " << r;
        for (int f = 0; f < fields; ++f) {
            const char* value = DBFReadStringAttribute(dbf, r, f);
            dump << " [" << (value != nullptr ? value : "") << "]";
        }
        dump << "\n";
    }
    DBFClose(dbf);
    return dump.str();
}

}  // namespace vorn2shp::testing
