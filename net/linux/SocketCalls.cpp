// The echo service's system calls as the running system makes them.

#include "linux/SocketCalls.h"

#include <cerrno>
#include <csignal>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tobrik::net::linux_net {

int SocketCalls::openSocket(int domain, int type, int protocol) {
    return ::socket(domain, type, protocol);
}

int SocketCalls::openPair(int domain, int type, int protocol, int fds[2]) {
    return ::socketpair(domain, type, protocol, fds);
}

int SocketCalls::setOption(int fd, int level, int name, const void* value, socklen_t length) {
    return ::setsockopt(fd, level, name, value, length);
}

int SocketCalls::getOption(int fd, int level, int name, void* value, socklen_t* length) {
    return ::getsockopt(fd, level, name, value, length);
}

int SocketCalls::identify(int fd, struct stat* status) {
    return ::fstat(fd, status);
}

ssize_t SocketCalls::sendTo(int fd, const void* data, size_t length, int flags, const sockaddr* to,
                            socklen_t toLength) {
    return ::sendto(fd, data, length, flags, to, toLength);
}

int SocketCalls::waitFor(pollfd* entries, nfds_t count, int timeoutMs) {
    return ::poll(entries, count, timeoutMs);
}

ssize_t SocketCalls::receiveFrom(int fd, void* buffer, size_t length, int flags, sockaddr* from,
                                 socklen_t* fromLength) {
    return ::recvfrom(fd, buffer, length, flags, from, fromLength);
}

ssize_t SocketCalls::receiveMessage(int fd, msghdr* message, int flags) {
    return ::recvmsg(fd, message, flags);
}

int SocketCalls::closeSocket(int fd) {
    return ::close(fd);
}

pid_t SocketCalls::startProgram(const char* path, int channel) {
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attributes);
    // dup2 onto standard input also clears the close-on-exec flag there.
    posix_spawn_file_actions_adddup2(&actions, channel, STDIN_FILENO);
    // No signal blocked or ignored by this process carries over.
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    char* const arguments[] = {const_cast<char*>(path), nullptr};
    char* const environment[] = {nullptr};
    pid_t pid = -1;
    const int error = posix_spawn(&pid, path, &actions, &attributes, arguments, environment);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (error == 0)
        return pid;
    errno = error;
    return -1;
}

void SocketCalls::endProgram(pid_t pid) {
    ::kill(pid, SIGKILL);
    while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
    }
}

SocketCalls& systemSocketCalls() {
    static SocketCalls calls;
    return calls;
}

} // namespace tobrik::net::linux_net
