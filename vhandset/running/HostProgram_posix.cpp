#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstring>

#include "HostProgram.h"

extern char** environ;

namespace HostProgram {

std::filesystem::path LocalName(const std::string& linuxPath) {
    return linuxPath;
}

std::string LinuxName(const std::filesystem::path& local) {
    return std::filesystem::absolute(local).string();
}

bool StartInBackground(const std::vector<std::string>& argv, const std::string& outputFile,
                       const std::string& statusFile, std::string& failure) {
    std::vector<std::string> words = {"/bin/sh", "-c",       kBackgroundScript,
                                      "sh",      outputFile, statusFile};
    words.insert(words.end(), argv.begin(), argv.end());
    std::vector<char*> args;
    for (std::string& word : words)
        args.push_back(&word[0]);
    args.push_back(nullptr);
    pid_t shell = 0;
    const int error = posix_spawn(&shell, args[0], nullptr, nullptr, args.data(), environ);
    if (error != 0) {
        failure = std::string("cannot start /bin/sh: ") + std::strerror(error);
        return false;
    }
    // The shell ends as soon as the program runs apart from it.
    int status = 0;
    while (waitpid(shell, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        failure = "the shell that starts it failed";
        return false;
    }
    return true;
}

} // namespace HostProgram
