#pragma once

// Debian's TFTP server (tftpd-hpa's in.tftpd) on a free loopback port, serving a fresh
// folder that accepts new files, for as long as the object lives. POSIX only.
#include <arpa/inet.h>
#include <csignal>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "TempDir.h"

class TftpServer {
public:
    TftpServer() {
        ::chmod(m_dir.Path().c_str(), 0777);
        // A port found free may be taken again before the server binds it: then another.
        for (int attempt = 0; attempt < 5 && !m_ready; ++attempt) {
            Stop();
            m_port = FreePort();
            const std::string address = "127.0.0.1:" + std::to_string(m_port);
            m_pid = ::fork();
            if (m_pid == 0) {
                // In the foreground, so that it stays this process's child and ends with it.
                ::execl("/usr/sbin/in.tftpd", "in.tftpd", "-L", "-c", "-u", "root", "-s", "-a",
                        address.c_str(), m_dir.Path().c_str(), static_cast<char*>(nullptr));
                ::_exit(127);
            }
            m_ready = m_pid > 0 && AnswersOnPort();
        }
    }
    ~TftpServer() { Stop(); }
    TftpServer(const TftpServer&) = delete;
    TftpServer& operator=(const TftpServer&) = delete;

    // False when the server did not start or never answered.
    bool Ready() const { return m_ready; }
    uint16_t Port() const { return m_port; }
    std::string File(const std::string& name) const { return m_dir.File(name); }
    std::string Folder() const { return m_dir.Path(); }

private:
    void Stop() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            ::waitpid(m_pid, nullptr, 0);
        }
        m_pid = -1;
    }

    static uint16_t FreePort() {
        const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof a;
        ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &size);
        ::close(fd);
        return ntohs(a.sin_port);
    }

    // Ready once it answers a read request for a file it does not have (with an error).
    bool AnswersOnPort() const {
        const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(m_port);
        const char request[] = "\0\1no-such-file\0octet";
        bool answered = false;
        for (int attempt = 0; attempt < 50 && !answered; ++attempt) {
            ::sendto(fd, request, sizeof request, 0, reinterpret_cast<sockaddr*>(&a), sizeof a);
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 100) == 1) {
                char reply[600];
                answered = ::recv(fd, reply, sizeof reply, 0) >= 4 && reply[1] == 5;
            }
        }
        ::close(fd);
        return answered;
    }

    TempDir m_dir;
    uint16_t m_port = 0;
    pid_t m_pid = -1;
    bool m_ready = false;
};
