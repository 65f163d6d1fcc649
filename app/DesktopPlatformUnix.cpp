#include "DesktopPlatform.h"

namespace tobrik::app {

void LimitLibrarySearch() {}

QString ViewerProgram() {
    return "xdg-open";
}

} // namespace tobrik::app
