// The display platform on Windows: always there, and Qt chooses it.

#include "ApplicationSetup.h"

namespace tobrik::app {

PlatformChoice SessionPlatform() {
    return {true, nullptr};
}

} // namespace tobrik::app
