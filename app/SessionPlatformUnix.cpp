// The display platform on Linux and the other Unix systems: X11 or Wayland,
// as the environment offers them.

#include "ApplicationSetup.h"

#include <cstdlib>

namespace tobrik::app {

PlatformChoice SessionPlatform() {
    return ChoosePlatform(std::getenv("QT_QPA_PLATFORM"), std::getenv("WAYLAND_DISPLAY"),
                          std::getenv("DISPLAY"));
}

} // namespace tobrik::app
