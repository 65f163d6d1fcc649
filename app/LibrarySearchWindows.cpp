// The library search on Windows: the program's folder and the system folder.

#include "LibrarySearch.h"

#include <windows.h>

namespace tobrik::app {

void LimitLibrarySearch() {
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
}

} // namespace tobrik::app
