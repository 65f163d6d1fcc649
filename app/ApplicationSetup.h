#pragma once
// Application-wide set-up that happens before the main window exists.

#include <QApplication>
#include <QTranslator>
#include <memory>
#include <string>
#include <vector>

namespace tobrik::app {

class WindowServices;

// False, after one clear line on standard error, when no display can be
// reached; Qt would otherwise abort with a stack of messages.
bool DisplayAvailable(const char* program);

// The window system to ask Qt for, from the environment the program was
// started in: nullptr leaves the choice to Qt (QT_QPA_PLATFORM set, or no
// display at all). A Wayland session that also offers X11 (XWayland) runs
// on X11, where the window can centre itself, keep off the taskbar and
// watch the clipboard while another program has the focus; a session with
// Wayland alone runs on Wayland.
const char* ChoosePlatform(const char* qpaPlatform, const char* waylandDisplay,
                           const char* display);

// The command line handed to QApplication: the program's own, with
// "-platform NAME" added when ChoosePlatform names one. Qt takes the option
// as it would QT_QPA_PLATFORM, but unlike the variable it is not inherited
// by the viewer that the program starts.
class QtArguments {
  public:
    QtArguments(int argc, char** argv);
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
// lays out on Windows (on Debian a list of the per-module ones), else
// qtbase_<language>.qm alone. Null when neither loads.
std::unique_ptr<QTranslator> LoadQtTranslation(const QString& folder);

// Name, version, font and translations of the application.
void SetUpApplication(QApplication& application);

// Lets the network module show its messages through the window services.
void RouteNetworkMessages(WindowServices& services);

} // namespace tobrik::app
