// The library search on Linux and the other Unix systems: left as it is,
// since the dynamic loader never searches the current folder by itself.

#include "LibrarySearch.h"

namespace tobrik::app {

void LimitLibrarySearch() {}

} // namespace tobrik::app
