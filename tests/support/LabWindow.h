#pragma once
// The real main window over the real network of the namespace lab, with
// recorded window services (Services: FakeWindowServices or a subclass) and
// a log folder of its own. A test class derives from it and fails outside
// the lab; the window opens once per test function, and each row starts
// with nothing recorded.

#include "frmMain.h"

#include <QTemporaryDir>
#include <QTest>
#include <memory>

namespace tobrik::test {

template <typename Services> class LabWindow {
  protected:
    QTemporaryDir dir;
    Services services;
    std::unique_ptr<frmMain> form;

    static constexpr const char* kOutsideTheLab =
        "runs only inside the network namespace lab (tests/lab/in_lab.sh)";
    static bool inLab() { return qEnvironmentVariable("TOBRIK_LAB") == "1"; }
    QString logPath() const { return dir.path() + "/tobrik.log"; }

    void openWindow() {
        services.messages.clear();
        services.viewerStarts.clear();
        if (form && windowFunction_ == QTest::currentTestFunction())
            return;
        windowFunction_ = QTest::currentTestFunction();
        services.directory = dir.path();
        form = std::make_unique<frmMain>(services);
        form->show();
    }

    void closeWindow() { form.reset(); }

  private:
    QByteArray windowFunction_; // the test function the window was opened for
};

} // namespace tobrik::test
