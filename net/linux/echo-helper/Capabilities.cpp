// Raising the echo helper's capability to open its raw socket, and clearing
// every capability once it is open.

#include "linux/echo-helper/Capabilities.h"

#include <cerrno>
#include <cstring>
#include <memory>
#include <sys/capability.h>

namespace tobrik::net::linux_net {

namespace {

struct CapFree {
    void operator()(cap_t caps) const { cap_free(caps); }
};
using Caps = std::unique_ptr<std::remove_pointer_t<cap_t>, CapFree>;

std::string failure(const char* call) {
    return std::string(call) + ": " + std::strerror(errno);
}

// The first ambient capability still raised, or -1.
int raisedAmbient() {
    if (!CAP_AMBIENT_SUPPORTED())
        return -1; // a kernel without ambient capabilities has none raised
    for (cap_value_t value = 0; value < static_cast<cap_value_t>(cap_max_bits()); ++value)
        if (cap_get_ambient(value) > 0)
            return value;
    return -1;
}

} // namespace

bool RaiseNetRaw() {
    const Caps caps(cap_get_proc());
    const cap_value_t netRaw[] = {CAP_NET_RAW};
    return caps && cap_set_flag(caps.get(), CAP_EFFECTIVE, 1, netRaw, CAP_SET) == 0 &&
           cap_set_proc(caps.get()) == 0;
}

std::string ClearAllCapabilities() {
    if (CAP_AMBIENT_SUPPORTED() && cap_reset_ambient() != 0)
        return failure("cap_reset_ambient");
    const Caps none(cap_init());
    if (!none)
        return failure("cap_init");
    if (cap_set_proc(none.get()) != 0)
        return failure("cap_set_proc");
    const Caps left(cap_get_proc());
    if (!left)
        return failure("cap_get_proc");
    if (cap_compare(left.get(), none.get()) != 0)
        return "capabilities are still set after clearing them";
    if (const int ambient = raisedAmbient(); ambient >= 0)
        return "the ambient capability " + std::to_string(ambient) + " is still raised";
    return {};
}

} // namespace tobrik::net::linux_net
