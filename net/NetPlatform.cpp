// Which network platform is in use: the native one, or a test's.

#include "NetPlatform.h"

namespace tobrik::net {

namespace {
NetPlatform* installed = nullptr;
}

NetPlatform& platform() {
    return installed ? *installed : nativePlatform();
}

ScopedPlatform::ScopedPlatform(NetPlatform& replacement) : previous_(installed) {
    installed = &replacement;
}

ScopedPlatform::~ScopedPlatform() {
    installed = previous_;
}

} // namespace tobrik::net
