#pragma once
// The system calls of the Linux echo service behind one interface, so that
// tests can make any of them fail as the kernel rarely does on demand (an
// interrupted send, a failing receive, a refused option, a descriptor
// replaced behind the program's back). The defaults call the system; a
// replacement overrides only what it scripts.

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/types.h>

namespace tobrik::net::linux_net {

class SocketCalls {
  public:
    virtual ~SocketCalls() = default;
    virtual int openSocket(int domain, int type, int protocol);
    virtual int openPair(int domain, int type, int protocol, int fds[2]);
    virtual int setOption(int fd, int level, int name, const void* value, socklen_t length);
    virtual int getOption(int fd, int level, int name, void* value, socklen_t* length);
    // fstat: what file the descriptor refers to now.
    virtual int identify(int fd, struct stat* status);
    virtual ssize_t sendTo(int fd, const void* data, size_t length, int flags, const sockaddr* to,
                           socklen_t toLength);
    virtual int waitFor(pollfd* entries, nfds_t count, int timeoutMs);
    virtual ssize_t receiveFrom(int fd, void* buffer, size_t length, int flags, sockaddr* from,
                                socklen_t* fromLength);
    virtual ssize_t receiveMessage(int fd, msghdr* message, int flags);
    virtual int closeSocket(int fd);
    // Starts the program at path with channel as its standard input and an
    // empty environment; its process id, or -1 with errno set.
    virtual pid_t startProgram(const char* path, int channel);
    // Ends the program that startProgram started and collects its status.
    virtual void endProgram(pid_t pid);
};

// The calls of the running system.
SocketCalls& systemSocketCalls();

} // namespace tobrik::net::linux_net
