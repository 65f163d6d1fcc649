// The kept socket descriptor and its identity check.

#include "linux/OwnedSocket.h"

#include <utility>

namespace tobrik::net::linux_net {

OwnedSocket::OwnedSocket(int fd, SocketCalls& calls) : fd_(fd), calls_(&calls) {
    struct stat status {};
    if (fd_ >= 0 && calls.identify(fd_, &status) == 0 && S_ISSOCK(status.st_mode)) {
        device_ = status.st_dev;
        inode_ = status.st_ino;
    } else if (fd_ >= 0) {
        calls.closeSocket(fd_); // just opened, so still ours, yet no socket to keep
        fd_ = -1;
    }
}

OwnedSocket::~OwnedSocket() {
    close();
}

OwnedSocket::OwnedSocket(OwnedSocket&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), device_(other.device_), inode_(other.inode_),
      calls_(other.calls_) {}

OwnedSocket& OwnedSocket::operator=(OwnedSocket&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = std::exchange(other.fd_, -1);
        device_ = other.device_;
        inode_ = other.inode_;
        calls_ = other.calls_;
    }
    return *this;
}

int OwnedSocket::usable() {
    if (fd_ < 0)
        return -1;
    struct stat status {};
    if (calls_->identify(fd_, &status) != 0 || status.st_dev != device_ || status.st_ino != inode_)
        fd_ = -1; // no longer ours: let go without closing
    return fd_;
}

void OwnedSocket::close() {
    if (usable() >= 0)
        calls_->closeSocket(std::exchange(fd_, -1));
}

} // namespace tobrik::net::linux_net
