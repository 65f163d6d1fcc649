// The log cannot be opened because the program runs as a user who may not
// write its folder: run as nobody from a folder of root's (as_nobody.sh),
// with the scripted network. The sweep is refused with one message naming
// the log and the reason; nothing is probed, logged or put on the
// clipboard, and the window sweeps normally once the log can be written.

#include "FakeNetPlatform.h"
#include "FakeWindowServices.h"
#include "frmMain.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
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
        if (geteuid() == 0)
            QSKIP("root may write every folder; run through as_nobody.sh");
        const QString folder = QCoreApplication::applicationDirPath();
        QVERIFY2(!QFileInfo(folder).isWritable(), qPrintable(folder));
        const QString log = folder + "/tobrik.log";

        FakeNetPlatform net;
        tobrik::net::ScopedPlatform netGuard(net);
        FakeWindowServices services;
        services.directory = folder;
        frmMain form(services);
        form.show();
        const QStringList start{"10", "0", "0", "1"};
        for (int i = 0; i < 4; ++i)
            form.txtSIP[i]->setText(start[i]);
        form.txtEIP[3]->setText("3");
        QGuiApplication::clipboard()->setText("left by another program");

        QTest::mouseClick(form.cmdStart, Qt::LeftButton);

        QCOMPARE(services.messages.size(), size_t(2)); // the confirmation, then the error
        const auto& error = services.messages[1];
        QCOMPARE(error.title, QString("ログエラー"));
        QCOMPARE(error.style, 0x10);
        QCOMPARE(error.text, QString("ログファイルを開けません。\n%1\n%2")
                                 .arg(log, QString::fromLocal8Bit(std::strerror(EACCES))));
        QCOMPARE(form.cmdStart->text(), QString("開始"));
        QVERIFY(!form.lblChkIP->isVisible());
        QCOMPARE(net.echoes, 0);
        QVERIFY(!QFile::exists(log));
        QVERIFY(services.viewerStarts.isEmpty());
        QCOMPARE(QGuiApplication::clipboard()->text(), QString("left by another program"));

        // A folder that may be written: the same window sweeps.
        QTemporaryDir writable;
        services.directory = writable.path();
        QTest::mouseClick(form.cmdStart, Qt::LeftButton);
        QCOMPARE(net.echoes, 3);
        QFile written(writable.path() + "/tobrik.log");
        QVERIFY(written.open(QIODevice::ReadOnly));
        QCOMPARE(written.readAll().count("\r\n"), 3);
        QCOMPARE(services.viewerStarts.size(), 1);
        QCOMPARE(services.messages.size(), size_t(3)); // one more confirmation
    }
};

QTEST_MAIN(UnwritableFolderTest)
#include "UnwritableFolderTest.moc"
