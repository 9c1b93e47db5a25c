// What the server's tests and benchmarks share to reach a server on this machine: a free port,
// one GET on a connection of its own, and a program started beside them.
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/types.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace loopback {

// A loopback port the kernel has free now: bound, read and closed at once (a listening probe
// would share the port with the server and take half its connections). Nobody listens on it
// until someone is told it.
inline int FreePort() {
    const int probe = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (probe < 0 || bind(probe, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        getsockname(probe, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        std::fprintf(stderr, "no free loopback port\n");
        std::exit(1);
    }
    close(probe);
    return ntohs(address.sin_port);
}

// One GET on a connection of its own to 127.0.0.1:`port`, from connect to the last byte (10 s
// at most a read or write): the answer's status, or 0 for none.
inline int Get(int port, const std::string& path) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const timeval wait{10, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &wait, sizeof wait);
    sockaddr_in server{};
    server.sin_family = AF_INET;
    server.sin_port = htons(static_cast<uint16_t>(port));
    server.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int status = 0;
    if (connect(fd, reinterpret_cast<sockaddr*>(&server), sizeof server) == 0) {
        const std::string request =
            "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
        if (send(fd, request.data(), request.size(), MSG_NOSIGNAL) ==
            static_cast<ssize_t>(request.size())) {
            std::string answer;
            char chunk[8192];
            for (ssize_t n; (n = recv(fd, chunk, sizeof chunk, 0)) > 0;) answer.append(chunk, n);
            if (answer.rfind("HTTP/1.1 ", 0) == 0) status = std::atoi(answer.c_str() + 9);
        }
    }
    close(fd);
    return status;
}

// Starts `words` (found on PATH where the first has no slash) with `environment` ("NAME",
// "value") added to this process's, its standard output and error into the file `output`
// ("": this process's). Returns its process id; it exits 127 where it could not start.
// Everything is made before the fork: the child of a process with threads may only exec.
inline pid_t Spawn(const std::vector<std::string>& words, const std::string& output = "",
                   const std::vector<std::pair<std::string, std::string>>& environment = {}) {
    std::vector<std::string> assignments;
    for (char** e = environ; *e; ++e) {
        const std::string here = *e;
        bool replaced = false;
        for (const auto& [name, value] : environment) replaced |= here.rfind(name + "=", 0) == 0;
        if (!replaced) assignments.push_back(here);
    }
    for (const auto& [name, value] : environment) assignments.push_back(name + "=" + value);
    std::vector<char*> argv, envp;
    for (const std::string& w : words) argv.push_back(const_cast<char*>(w.c_str()));
    for (const std::string& a : assignments) envp.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    envp.push_back(nullptr);
    const int out =
        output.empty() ? -1 : open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    const pid_t pid = fork();
    if (pid == 0) {
        if (out >= 0) {
            dup2(out, 1);
            dup2(out, 2);
        }
        execvpe(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    if (out >= 0) close(out);
    return pid;
}

}  // namespace loopback
