#pragma once
// The one owner of a socket descriptor that the echo service keeps: it
// remembers which socket the descriptor was opened for and, before each
// use, checks that it still is. A descriptor closed behind the program's
// back may already name another file of the process; that one is never
// read from, written to or closed.

#include "linux/SocketCalls.h"

#include <sys/types.h>

namespace tobrik::net::linux_net {

class OwnedSocket {
  public:
    OwnedSocket() = default;
    // Takes fd (or -1: none) from calls' openSocket or openPair.
    OwnedSocket(int fd, SocketCalls& calls);
    ~OwnedSocket();
    OwnedSocket(OwnedSocket&& other) noexcept;
    OwnedSocket& operator=(OwnedSocket&& other) noexcept;
    OwnedSocket(const OwnedSocket&) = delete;
    OwnedSocket& operator=(const OwnedSocket&) = delete;

    // The descriptor while it still is the socket it was opened as; -1
    // once it is not (then it is let go, never closed).
    int usable();
    bool empty() const { return fd_ < 0; }
    // Closes the socket if it still is ours.
    void close();

  private:
    int fd_ = -1;
    dev_t device_ = 0;
    ino_t inode_ = 0;
    SocketCalls* calls_ = nullptr;
};

} // namespace tobrik::net::linux_net
