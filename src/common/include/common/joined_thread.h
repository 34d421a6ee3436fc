// A thread that is joined on every way out of the scope that holds it, a
// throw included, so no work outlives the data it was handed.
#pragma once

#include <thread>
#include <utility>

namespace vorn2shp {

class JoinedThread {
public:
    template <typename Work>
    explicit JoinedThread(Work&& work) : thread_(std::forward<Work>(work)) {}
    JoinedThread(const JoinedThread&) = delete;
    JoinedThread& operator=(const JoinedThread&) = delete;
    ~JoinedThread() { thread_.join(); }

private:
    std::thread thread_;
};

}  // namespace vorn2shp
