// Tobrik: an IPv4 ping sweep. The main window is the start-up object; main
// only creates the application. The process holds no privilege: where ICMP
// needs one, the echo helper holds it (net/linux/EchoService.h).

#include "AppPlatform.h"
#include "ApplicationSetup.h"
#include "QtWindowServices.h"
#include "frmMain.h"

#include <QApplication>
#include <QWindow>
#include <memory>

int main(int argc, char* argv[]) {
    // On Windows, every DLL loaded from here on comes from the program's
    // folder or the system's, none from the current folder or PATH.
    const tobrik::app::PlatformChoice platform = tobrik::app::PrepareSession();
    if (!tobrik::app::DisplayAvailable(platform, argv[0]))
        return 1;
    tobrik::app::QtArguments arguments(argc, argv, platform.platform);
    QApplication application(arguments.count(), arguments.values());
    tobrik::app::SetUpApplication(application);
    tobrik::app::QtWindowServices services;
    std::unique_ptr<QWindow> taskbarOwner; // outlives the window it owns
    frmMain form(services);
    services.setMessageParent(&form);
    tobrik::app::RouteNetworkMessages(services);
    if (!form.Form_Initialize())
        return 0;
    form.Form_Load();
    taskbarOwner = tobrik::app::KeepOffTaskbar(form);
    form.show();
    return application.exec();
}
