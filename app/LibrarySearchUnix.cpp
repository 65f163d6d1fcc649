// The library search on Linux and the other Unix systems: left as it is;
// the dynamic loader searches the current folder only where
// LD_LIBRARY_PATH names it.

#include "LibrarySearch.h"

namespace tobrik::app {

void LimitLibrarySearch() {}

} // namespace tobrik::app
