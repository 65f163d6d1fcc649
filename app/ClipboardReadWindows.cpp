// Reading the clipboard's text on Windows: the system hands it over from
// its own copy, so Qt's clipboard serves.

#include "ClipboardRead.h"

namespace tobrik::app {

std::unique_ptr<ClipboardRead> StartClipboardRead() {
    return QtClipboardRead();
}

} // namespace tobrik::app
