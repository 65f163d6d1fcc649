#pragma once
// Where the program's DLLs may be loaded from; each system's part is in
// LibrarySearchUnix.cpp or LibrarySearchWindows.cpp.

namespace tobrik::app {

// Windows: DLLs are loaded from the program's folder and the system folder
// alone, never from the current folder or PATH. Called first in main.
// Elsewhere nothing.
void LimitLibrarySearch();

} // namespace tobrik::app
