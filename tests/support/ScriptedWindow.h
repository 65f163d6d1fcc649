#pragma once
// The real main window over a scripted network, with recorded window
// services and a log folder of its own. A test class derives from it and
// opens a fresh window for each test function.

#include "ApplicationSetup.h"
#include "FakeNetPlatform.h"
#include "FakeWindowServices.h"
#include "frmMain.h"
#include "mdlKorvantiser.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

namespace tobrik::test {

class ScriptedWindow {
  protected:
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<FakeNetPlatform> net;
    std::unique_ptr<net::ScopedPlatform> netGuard;
    std::unique_ptr<FakeWindowServices> services;
    std::unique_ptr<frmMain> form;

    // As the program reports its folder: with the platform's separators.
    QString logPath() const { return QDir::toNativeSeparators(dir->path() + "/tobrik.log"); }

    // Builds the window and shows it active; false when it did not become
    // active. The network module's messages go to the recorded boxes.
    bool openWindow() {
        dir = std::make_unique<QTemporaryDir>();
        net = std::make_unique<FakeNetPlatform>();
        netGuard = std::make_unique<net::ScopedPlatform>(*net);
        services = std::make_unique<FakeWindowServices>();
        services->directory = QDir::toNativeSeparators(dir->path());
        app::RouteNetworkMessages(*services);
        form = std::make_unique<frmMain>(*services);
        form->show();
        QApplication::setActiveWindow(form.get());
        return QTest::qWaitForWindowActive(form.get());
    }

    void closeWindow() {
        form.reset();
        mdlKorvantiser::SetMessageBoxFunction(nullptr);
        services.reset();
        netGuard.reset();
        net.reset();
        dir.reset();
    }
};

} // namespace tobrik::test
