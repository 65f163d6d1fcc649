#pragma once
// Application-wide set-up that happens before the main window exists.

#include <QApplication>
#include <QTranslator>
#include <memory>
#include <string>
#include <vector>

namespace tobrik::app {

class WindowServices;

// How the program reaches a display, decided once from the three variables
// QT_QPA_PLATFORM, WAYLAND_DISPLAY and DISPLAY.
struct PlatformChoice {
    // False when no platform that Qt would try finds its display: without
    // QT_QPA_PLATFORM, neither DISPLAY nor WAYLAND_DISPLAY is set; with it,
    // no entry of its list is usable (xcb needs DISPLAY, wayland and its
    // variants WAYLAND_DISPLAY, the others, such as offscreen, nothing).
    bool displayFound = false;
    // The platform list to ask Qt for; nullptr leaves the choice to Qt
    // (QT_QPA_PLATFORM set, or no display at all). X11 comes first, so a
    // Wayland session that also offers it (XWayland) runs on X11, where the
    // window can centre itself, keep off the taskbar and watch the clipboard
    // while another program has the focus; Wayland follows, so a DISPLAY
    // left behind by an X server that is gone does not stop the program.
    const char* platform = nullptr;
};

PlatformChoice ChoosePlatform(const char* qpaPlatform, const char* waylandDisplay,
                              const char* display);

// The process's first step, before Qt loads anything: ChoosePlatform for
// the environment the program was started in. On Windows it first limits
// where DLLs load from to the program's folder and the system folder, never
// the current folder or PATH; a display is always there and Qt chooses.
// Each system's part is in AppPlatformLinux.cpp and AppPlatformWindows.cpp.
PlatformChoice PrepareSession();

// False, after one clear line on standard error, when the choice found no
// display; Qt would otherwise abort with a stack of messages.
bool DisplayAvailable(const PlatformChoice& choice, const char* program);

// The command line handed to QApplication: the program's own, with
// "-platform LIST" added when the choice names a platform. Qt takes the
// option as it would QT_QPA_PLATFORM, but unlike the variable it is not
// inherited by the viewer that the program starts.
class QtArguments {
  public:
    QtArguments(int argc, char** argv, const char* platform);
    QtArguments(const QtArguments&) = delete;
    QtArguments& operator=(const QtArguments&) = delete;
    int& count() { return count_; }
    char** values() { return values_.data(); }

  private:
    std::string option_ = "-platform";
    std::string platform_;
    std::vector<char*> values_;
    int count_ = 0;
};

// Qt's own texts (the message-box buttons) in the user's language from
// FOLDER: the one merged catalog qt_<language>.qm that Qt's deployment tool
// lays out (on Debian a list of the per-module ones), else
// qtbase_<language>.qm alone; where neither loads, for a Japanese user, the
// program's own Japanese for the texts the window shows. Null otherwise.
std::unique_ptr<QTranslator> LoadQtTranslation(const QString& folder);

// Name, version, font and translations of the application.
void SetUpApplication(QApplication& application);

// Lets the network module show its messages through the window services.
void RouteNetworkMessages(WindowServices& services);

} // namespace tobrik::app
