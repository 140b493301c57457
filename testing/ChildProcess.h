#pragma once

// A program that a native test starts and watches (POSIX only): its standard output and error
// come back through one pipe, it can be waited for up to a deadline, and it is killed and reaped
// if it still runs when the object goes, so a test that fails half-way leaves nothing running.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

class ChildProcess {
public:
    using Clock = std::chrono::steady_clock;

    // How a program ended: by itself with an exit code, or by a signal.
    struct Status {
        bool ended = false;
        bool signaled = false;
        int code = -1;   // the exit code, or the signal's number
        double cpuS = 0; // processor time it used, user and system
    };

    // `environment` adds NAME=VALUE entries to this process's environment for the program.
    explicit ChildProcess(std::vector<std::string> argv,
                          std::vector<std::string> environment = {}) {
        int out[2];
        if (::pipe2(out, O_CLOEXEC) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDERR_FILENO);
        std::vector<char*> args;
        for (std::string& a : argv)
            args.push_back(&a[0]);
        args.push_back(nullptr);
        std::vector<char*> env;
        for (char** e = environ; *e; ++e)
            env.push_back(*e);
        for (std::string& e : environment)
            env.push_back(&e[0]);
        env.push_back(nullptr);
        if (posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), env.data()) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        fd_ = out[0];
    }
    ~ChildProcess() {
        Kill();
        if (fd_ >= 0)
            ::close(fd_);
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const { return pid_ > 0; }
    const std::string& Output() const { return output_; }

    // The next line of output without its newline; false once the program has closed its
    // output or `deadline` has passed.
    bool ReadLine(std::string& line, Clock::time_point deadline) {
        for (;;) {
            const size_t end = output_.find('\n', consumed_);
            if (end != std::string::npos) {
                line = output_.substr(consumed_, end - consumed_);
                consumed_ = end + 1;
                return true;
            }
            if (!Collect(deadline))
                return false;
        }
    }

    // Gathers output until the program ends or `deadline` passes. The status says which.
    Status WaitUntil(Clock::time_point deadline) {
        while (!Reap(WNOHANG)) {
            if (fd_ >= 0) {
                if (!Collect(deadline) && Clock::now() >= deadline)
                    return status_;
            } else if (Clock::now() >= deadline) {
                return status_;
            } else {
                // Output closed but the process not yet gone: it is on its way out.
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        }
        while (fd_ >= 0 && Collect(Clock::now())) {
        }
        return status_;
    }

    // Sends `signal` to the program if it still runs (SIGINT: Ctrl-C).
    void Signal(int signal) {
        if (pid_ > 0 && !status_.ended)
            ::kill(pid_, signal);
    }

    // Ends the program at once if it still runs, and reaps it.
    void Kill() {
        if (pid_ > 0 && !status_.ended) {
            ::kill(pid_, SIGKILL);
            Reap(0);
        }
    }

private:
    // Reads what is there within the deadline; false when nothing more will come by then.
    bool Collect(Clock::time_point deadline) {
        if (fd_ < 0)
            return false;
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        pollfd p = {fd_, POLLIN, 0};
        const int n = ::poll(&p, 1, static_cast<int>(std::max<long long>(0, left)));
        if (n <= 0)
            return false;
        char buffer[4096];
        const ssize_t got = ::read(fd_, buffer, sizeof buffer);
        if (got <= 0) {
            ::close(fd_);
            fd_ = -1;
            return false;
        }
        output_.append(buffer, static_cast<size_t>(got));
        return true;
    }

    bool Reap(int flags) {
        if (pid_ <= 0 || status_.ended)
            return status_.ended;
        int raw = 0;
        rusage usage = {};
        if (::wait4(pid_, &raw, flags, &usage) != pid_)
            return false;
        status_.ended = true;
        status_.cpuS = Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
        status_.signaled = WIFSIGNALED(raw);
        status_.code = status_.signaled ? WTERMSIG(raw) : WEXITSTATUS(raw);
        return true;
    }

    static double Seconds(const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; }

    pid_t pid_ = -1;
    int fd_ = -1;
    std::string output_;
    size_t consumed_ = 0;
    Status status_;
};
