#pragma once

// Debian's TFTP server (tftpd-hpa's in.tftpd) on a free loopback port, serving a fresh
// folder that accepts new files, for as long as the object lives. POSIX only.
#include <arpa/inet.h>
#include <csignal>
#include <cstdio>
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

    // Ready once it serves a file that only its own folder holds. Any answer would not do: the
    // port may have been taken meanwhile by the server of a test running beside this one,
    // and then this one could not bind it and is gone.
    bool AnswersOnPort() const {
        const std::string token = "ready-" + std::to_string(m_port);
        const std::string content = "served from " + m_dir.Path();
        m_dir.Write(token, std::vector<uint8_t>(content.begin(), content.end()));
        const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(m_port);
        const std::string request = std::string("\0\1", 2) + token + '\0' + "octet" + '\0';
        bool served = false;
        for (int attempt = 0; attempt < 50 && !served; ++attempt) {
            ::sendto(fd, request.data(), request.size(), 0, reinterpret_cast<sockaddr*>(&a),
                     sizeof a);
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 100) != 1)
                continue;
            char reply[600];
            sockaddr_in from{};
            socklen_t fromSize = sizeof from;
            const ssize_t n = ::recvfrom(fd, reply, sizeof reply, 0,
                                         reinterpret_cast<sockaddr*>(&from), &fromSize);
            // DATA, block 1, holding the token's content; the acknowledgement ends the transfer.
            served = n == static_cast<ssize_t>(4 + content.size()) && reply[1] == 3 &&
                     reply[3] == 1 && content.compare(0, content.size(), reply + 4, n - 4) == 0;
            if (served) {
                const char ack[4] = {0, 4, 0, 1};
                ::sendto(fd, ack, sizeof ack, 0, reinterpret_cast<sockaddr*>(&from), fromSize);
            }
        }
        ::close(fd);
        std::remove(m_dir.File(token).c_str());
        return served;
    }

    TempDir m_dir;
    uint16_t m_port = 0;
    pid_t m_pid = -1;
    bool m_ready = false;
};
