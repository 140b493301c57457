#pragma once

// A thread whose end a test waits for up to a deadline. A plain join has no bound, so a worker
// or device that hangs would hold the test until ctest's limit instead of failing it at once.

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

class BoundedThread {
public:
    using Clock = std::chrono::steady_clock;

    BoundedThread() = default;
    BoundedThread(const BoundedThread&) = delete;
    BoundedThread& operator=(const BoundedThread&) = delete;
    // Whoever started the thread makes it end before this: it cannot be left behind.
    ~BoundedThread() { Join(); }

    template <typename Body> void Start(Body body) {
        ended_ = false;
        thread_ = std::thread([this, body]() mutable {
            body();
            std::lock_guard<std::mutex> lock(mutex_);
            ended_ = true;
            changed_.notify_all();
        });
    }

    // True when the thread has ended by `deadline` (it is then joined), or was never started.
    bool EndsBy(Clock::time_point deadline) {
        {
            std::unique_lock<std::mutex> lock(mutex_);
            if (!changed_.wait_until(lock, deadline, [this] { return ended_; }))
                return false;
        }
        Join();
        return true;
    }

    // For a thread that did not end even after everything it waits on was taken away: nothing
    // is left but to end the test program, saying what hung.
    [[noreturn]] static void GiveUp(const std::string& what) {
        std::fprintf(stderr, "%s; the test program ends here.\n", what.c_str());
        std::fflush(stderr);
        std::abort();
    }

private:
    void Join() {
        if (thread_.joinable())
            thread_.join();
    }

    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool ended_ = true;
};
