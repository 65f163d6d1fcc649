#pragma once
// The one-instance lock that refuses a second copy of the program: a lock
// file per log, in a folder of the user's own. What differs between the
// systems is in AppPlatformLinux.cpp and AppPlatformWindows.cpp.

#include <QLockFile>
#include <QString>
#include <map>
#include <memory>

namespace tobrik::app {

class InstanceLock {
  public:
    // Takes the lock of the log at logPath, beside those this instance holds
    // already (the log it chose, and one it moved to); true when another
    // running instance holds it. Where no lock can be had (no folder of the
    // user's own, a full or read-only folder) the program goes on without
    // one rather than refuse the user for good.
    bool heldByAnother(const QString& logPath);
    // Gives the locks up, as the program ends.
    void release();

  private:
    std::map<QString, std::unique_ptr<QLockFile>> locks_; // by the lock file's path
};

// ---- Each system's part ---------------------------------------------------

// The folder of the locks: one that only this user can write, so that a
// lock left there by an instance that died can be taken over; empty when
// none can be had.
QString InstanceLockFolder();

// The path as this system tells files apart: one text for every spelling of
// one file (on Windows, whatever the case of its letters).
QString PathKey(const QString& path);

} // namespace tobrik::app
