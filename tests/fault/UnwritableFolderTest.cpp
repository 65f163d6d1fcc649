// The window run as nobody from a folder of root's (as_nobody.sh), over the
// scripted network. Where the state folder cannot be written either, the
// sweep is refused with one message naming the log and the reason, and
// nothing is probed, logged or put on the clipboard; else the log goes into
// the state folder, made private, or beside a writable program again.

#include "FakeNetPlatform.h"
#include "FakeWindowServices.h"
#include "SweepDriver.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <cerrno>
#include <cstring>
#include <unistd.h>

using tobrik::test::FakeNetPlatform;
using tobrik::test::FakeWindowServices;

class UnwritableFolderTest : public QObject {
    Q_OBJECT

  private slots:
    void refusedSweepLeavesTheWindowUsable() {
        // Root may write every folder: the case needs an unprivileged user.
        QVERIFY2(geteuid() != 0, "run as an unprivileged user (tests/lab/as_nobody.sh)");
        const QString folder = QCoreApplication::applicationDirPath();
        QVERIFY2(!QFileInfo(folder).isWritable(), qPrintable(folder));
        QTemporaryDir home; // nobody's own

        FakeNetPlatform net;
        tobrik::net::ScopedPlatform netGuard(net);
        FakeWindowServices services;
        services.directory = folder;
        // The state folder lies in the same folder nobody may not write.
        services.places.environment["XDG_STATE_HOME"] = folder.toStdString();
        frmMain form(services);
        form.show();
        tobrik::test::EnterRange(form, {"10", "0", "0", "1"}, "3");
        QGuiApplication::clipboard()->setText("left by another program");
        tobrik::test::ClickStart(form);

        QCOMPARE(services.messages.size(), size_t(2)); // the confirmation, then the error
        const auto& error = services.messages[1];
        QCOMPARE(error.title, QString("ログエラー"));
        QCOMPARE(error.style, 0x10);
        const QString stateLog = folder + "/tobrik/tobrik.log";
        QCOMPARE(error.text, QString("ログファイルを開けません。\n%1\n%2")
                                 .arg(stateLog, QString::fromLocal8Bit(std::strerror(EACCES))));
        QCOMPARE(form.cmdStart->text(), QString("開始"));
        QVERIFY(!form.lblChkIP->isVisible());
        QCOMPARE(net.echoes, 0);
        QVERIFY(!QFile::exists(folder + "/tobrik.log"));
        QVERIFY(!QFile::exists(stateLog));
        QVERIFY(services.viewerStarts.isEmpty());
        QCOMPARE(QGuiApplication::clipboard()->text(), QString("left by another program"));

        // A state folder nobody may write: the log goes there, into folders
        // made for nobody alone, and the viewer opens it.
        const QString state = home.path() + "/state";
        services.places.environment["XDG_STATE_HOME"] = state.toStdString();
        services.forgetLogPlace(); // chosen anew, as by a new start
        tobrik::test::ClickStart(form);
        expectLog(state + "/tobrik/tobrik.log", services, 3);
        QCOMPARE(services.viewerStarts, QStringList{"xdg-open " + state + "/tobrik/tobrik.log"});
        const auto privateFolder = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                   QFile::ReadUser | QFile::WriteUser | QFile::ExeUser;
        QCOMPARE(QFileInfo(state).permissions(), privateFolder);
        QCOMPARE(QFileInfo(state + "/tobrik").permissions(), privateFolder);
        QVERIFY(!QFile::exists(folder + "/tobrik.log"));

        // A program folder that may be written: the log is beside it again.
        services.directory = home.path();
        services.forgetLogPlace();
        tobrik::test::ClickStart(form);
        expectLog(home.path() + "/tobrik.log", services, 4);
        QCOMPARE(net.echoes, 6);
    }

  private:
    // The log holds the sweep's 3 lines, and messages were shown in all.
    static void expectLog(const QString& path, const FakeWindowServices& services,
                          std::size_t messages) {
        QFile written(path);
        QVERIFY2(written.open(QIODevice::ReadOnly), qPrintable(path));
        QCOMPARE(written.readAll().count("\r\n"), 3);
        QCOMPARE(services.messages.size(), messages); // one more confirmation each
    }
};

QTEST_MAIN(UnwritableFolderTest)
#include "UnwritableFolderTest.moc"
