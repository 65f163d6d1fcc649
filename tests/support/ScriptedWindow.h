#pragma once
// The real main window over a scripted network, with recorded window
// services and a log folder of its own. A test class derives from it; the
// window opens once per test function and is reset for each further row.

#include "ApplicationSetup.h"
#include "FakeNetPlatform.h"
#include "FakeWindowServices.h"
#include "SweepDriver.h"
#include "frmMain.h"
#include "mdlKorvantiser.h"

#include <QApplication>
#include <QDir>
#include <QRadioButton>
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

    // Builds and shows the window for the test function's first row (the
    // network module's messages going to the recorded boxes), and resets it
    // for every further row: a new log folder, network and services, empty
    // boxes, しない chosen, the focus in the last start box. False when the
    // window did not become active.
    bool openWindow() {
        const QByteArray function = QTest::currentTestFunction();
        if (form && function == windowFunction_) {
            resetWindow();
            return true;
        }
        closeWindow();
        windowFunction_ = function;
        net = std::make_unique<FakeNetPlatform>();
        netGuard = std::make_unique<net::ScopedPlatform>(*net);
        services = std::make_unique<FakeWindowServices>();
        newLogFolder();
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
        windowFunction_.clear();
    }

  private:
    QByteArray windowFunction_; // the test function the window was opened for

    void newLogFolder() {
        dir = std::make_unique<QTemporaryDir>();
        services->directory = QDir::toNativeSeparators(dir->path());
    }

    void resetWindow() {
        *net = FakeNetPlatform();
        services->reset();
        newLogFolder();
        EnterRange(*form, {"", "", "", ""}, "");
        form->optPCName[1]->setChecked(true);
        form->txtSIP[3]->setFocus();
    }
};

} // namespace tobrik::test
