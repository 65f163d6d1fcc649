// The log's viewer on Linux and the other Unix systems: the desktop's own
// program for the file, through xdg-open.

#include "LogViewer.h"

namespace tobrik::app {

QString ViewerProgram() {
    return "xdg-open";
}

} // namespace tobrik::app
