// The Start/Stop command of the real main window, driven with QTest on the
// offscreen platform. The network is scripted; the window, the clipboard,
// event processing and the log file are real.

#include "FakeNetPlatform.h"
#include "FakeWindowServices.h"
#include "ScriptedWindow.h"
#include "SweepDriver.h"
#include "frmMain.h"
#include "mdlKorvantiser.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#ifdef __linux__
#include <csignal>
#include <sys/resource.h>
#include <unistd.h>
#endif

using tobrik::test::FakeNetPlatform;
using tobrik::test::FakeWindowServices;

namespace {
const QString kStart = QStringLiteral("開始");
const QString kStop = QStringLiteral("中止");
const QString kStopText = QStringLiteral("Tobrik STOP");
} // namespace

class SweepTest : public QObject, protected tobrik::test::ScriptedWindow {
    Q_OBJECT

  private:
    QStringList logLines() const { return tobrik::test::LogLines(logPath()); }
    QStringList logRecords() const { return tobrik::test::LogRecords(logPath()); }

    void setRange(const QStringList& start, const QString& end) {
        tobrik::test::EnterRange(*form, start, end);
    }

    void click() { tobrik::test::ClickStart(*form); }

    // Clicks cmdStart at the next event processing, as a user would while
    // the sweep runs.
    void clickLater() {
        QMetaObject::invokeMethod(
            form.get(), [this] { click(); }, Qt::QueuedConnection);
    }

    // Runs change at the next event processing, as a user's edit arrives.
    void later(std::function<void()> change) {
        QMetaObject::invokeMethod(form.get(), change, Qt::QueuedConnection);
    }

    void expectIdle() {
        QCOMPARE(form->cmdStart->text(), kStart);
        QVERIFY(!form->lblChkIP->isVisible());
        QVERIFY(!form->lblResult->isVisible());
    }

  private slots:
    void init() {
        QVERIFY(openWindow());
        QGuiApplication::clipboard()->setText("left by another program");
    }

    void cleanup() { closeWindow(); }

    void refusedRangeChangesNothingButTheFocus_data() {
        QTest::addColumn<QStringList>("start");
        QTest::addColumn<QString>("end");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("focusBox");
        const QString startBad = "開始IPアドレスの指定が不正です";
        const QString endBad = "終了IPアドレスの指定が不正です";
        QTest::newRow("first empty") << QStringList{"", "1", "1", "1"} << "1" << startBad << 0;
        QTest::newRow("third letters") << QStringList{"1", "1", "abc", "1"} << "1" << startBad << 2;
        QTest::newRow("second 256, third empty")
            << QStringList{"1", "256", "", "1"} << "1" << startBad << 1;
        QTest::newRow("last octet 0") << QStringList{"1", "1", "1", "0"} << "1" << startBad << 3;
        QTest::newRow("full-width digit")
            << QStringList{"1", "1", "1", "５"} << "5" << startBad << 3;
        QTest::newRow("end below start") << QStringList{"1", "1", "1", "10"} << "9" << endBad << 3;
        QTest::newRow("end 256") << QStringList{"1", "1", "1", "10"} << "256" << endBad << 3;
        QTest::newRow("end empty") << QStringList{"1", "1", "1", "10"} << "" << endBad << 3;
        QTest::newRow("end very long")
            << QStringList{"1", "1", "1", "10"} << QString(10000, '9') << endBad << 3;
    }

    void refusedRangeChangesNothingButTheFocus() {
        QFETCH(QStringList, start);
        QFETCH(QString, end);
        QFETCH(QString, message);
        QFETCH(int, focusBox);
        setRange(start, end);
        form->txtEIP[3]->setFocus();
        click();
        QCOMPARE(services->messages.size(), size_t(2));
        QCOMPARE(services->messages[0].title, QString("処理の確認"));
        QCOMPARE(services->messages[0].style, 0x41);
        QCOMPARE(services->messages[1].text, message);
        QCOMPARE(services->messages[1].title, QString("入力の確認"));
        QCOMPARE(services->messages[1].style, 0x10);
        QVERIFY(form->txtSIP[focusBox]->hasFocus());
        expectIdle();
        QCOMPARE(QGuiApplication::clipboard()->text(), QString("left by another program"));
        QVERIFY(!QFile::exists(logPath()));
        QCOMPARE(net->echoes, 0);
        // The window stays usable: a corrected range sweeps.
        setRange({"10", "0", "0", "1"}, "1");
        click();
        QCOMPARE(logLines().size(), 1);
    }

    void cancelChangesNothing() {
        setRange({"10", "0", "0", "1"}, "3");
        services->answers = {tobrik::app::kAnswerCancel};
        click();
        QCOMPARE(services->messages.size(), size_t(1)); // no validation message either
        expectIdle();
        QCOMPARE(QGuiApplication::clipboard()->text(), QString("left by another program"));
        QVERIFY(!QFile::exists(logPath()));
    }

    void sweepProbesLogsAndShowsTheLogOnce() {
        net->echoStatus = {{"10.0.0.1", 0}, {"10.0.0.3", 0}};
        net->names = {{"10.0.0.1", "alpha"}, {"10.0.0.2", "beta"}};
        setRange({"10", "0", "0", "1"}, "3");
        form->optPCName[0]->setChecked(true);
        QStringList shownDuringProbe;
        net->beforeEcho = [&](const std::string&) {
            shownDuringProbe << form->lblChkIP->text() + "|" +
                                    (form->lblChkIP->isVisible() ? "shown" : "hidden") + "|" +
                                    form->cmdStart->text();
        };
        const auto clickedAt = QDateTime::currentDateTime();
        click();
        const auto endedAt = QDateTime::currentDateTime();
        QCOMPARE(shownDuringProbe, (QStringList{"10.0.0.1|shown|中止", "10.0.0.2|shown|中止",
                                                "10.0.0.3|shown|中止"}));
        QCOMPARE(logRecords(),
                 (QStringList{"10.0.0.1,--> OK,alpha", "10.0.0.2,--> NG,", "10.0.0.3,--> OK,"}));
        // Each line's local time, to the second, within the sweep.
        const QString format = "yyyy/MM/dd HH:mm:ss";
        for (const auto& line : logLines()) {
            const QString text = line.section(',', 0, 0);
            const auto stamp = QDateTime::fromString(text, format);
            QVERIFY2(stamp.toString(format) == text && stamp >= clickedAt.addSecs(-1) &&
                         stamp <= endedAt.addSecs(1),
                     qPrintable(line));
        }
        QCOMPARE(services->viewerStarts.size(), 1);
        QVERIFY(services->viewerStarts[0].endsWith(" " + logPath()));
        expectIdle();
        QCOMPARE(form->lblResult->text(), QString("--> OK"));
        // A screen reader hears the last address and result with what they are.
        auto spoken = [](QWidget* widget) {
            return QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name);
        };
        QCOMPARE(spoken(form->lblChkIP), QString("確認中のIPアドレス 10.0.0.3"));
        QCOMPARE(spoken(form->lblResult), QString("確認結果 --> OK"));
        // Each probe is bracketed by exactly one start and stop; the name
        // look-up (one, for the answering host with a name) brings its own.
        QCOMPARE(net->reverseLookups, 2);
        QCOMPARE(net->startups, 3 + 2);
        QCOMPARE(net->cleanups, net->startups);
        QVERIFY(services->messages.size() == 1);
    }

    void singleAddressAndLeadingZerosAsTyped() {
        net->echoStatus = {{"10.10.0.255", 0}};
        setRange({"10", "010", "0", "255"}, "255");
        click();
        QCOMPARE(logRecords(), QStringList{"10.010.0.255,--> OK,"});
        QCOMPARE(net->probed, std::vector<std::string>{"10.10.0.255"});
        QCOMPARE(services->viewerStarts.size(), 1);
    }

    void newSweepEmptiesTheLog() {
        setRange({"10", "0", "0", "1"}, "3");
        click();
        setRange({"10", "0", "0", "7"}, "7");
        click();
        QCOMPARE(logRecords(), QStringList{"10.0.0.7,--> NG,"});
    }

    void widestSweepProbes255Addresses() {
        setRange({"127", "0", "0", "1"}, "255");
        click();
        QCOMPARE(logLines().size(), 255);
        QCOMPARE(net->probed.back(), std::string("127.0.0.255"));
    }

    void reentrantStopKeepsTheLinesBeforeItAndOpensOneViewer() {
        setRange({"10", "0", "0", "1"}, "5");
        net->beforeEcho = [&](const std::string& address) {
            if (address == "10.0.0.2")
                clickLater();
        };
        click();
        QCOMPARE(logRecords(), (QStringList{"10.0.0.1,--> NG,", "10.0.0.2,--> NG,"}));
        QCOMPARE(services->viewerStarts.size(), 1);
        QCOMPARE(QGuiApplication::clipboard()->text(), kStopText);
        expectIdle();
        QCOMPARE(net->echoes, 2);
    }

    void clickWhileAStopFinishesStartsNoSweep() {
        setRange({"10", "0", "0", "1"}, "5");
        bool clicked = false;
        net->beforeEcho = [&](const std::string& address) {
            if (address != "10.0.0.2" || std::exchange(clicked, true))
                return;
            later([&] {
                clickLater(); // arrives while the stop runs its own loop
                click();      // stops
            });
        };
        click();
        QCOMPARE(services->countTitled("処理の確認"), 1);
        QCOMPARE(net->echoes, 2);
        QCOMPARE(services->viewerStarts.size(), 1);
        expectIdle();
    }

    void stopWithNonNumericBoundsStillStops() {
        setRange({"10", "0", "0", "1"}, "5");
        net->beforeEcho = [&](const std::string& address) {
            if (address == "10.0.0.2") {
                later([&] { form->txtSIP[3]->setText("x"); }); // mirrored into the end
                clickLater();
            }
        };
        click();
        QCOMPARE(net->echoes, 2);
        QCOMPARE(logLines().size(), 2);
        expectIdle();
    }

    void staleStopTextDoesNotPreventASweep() {
        QGuiApplication::clipboard()->setText(kStopText);
        setRange({"10", "0", "0", "1"}, "3");
        click();
        QCOMPARE(logLines().size(), 3);
        QCOMPARE(QGuiApplication::clipboard()->text(), QString());
    }

    void stopTextFromAnotherProgramEndsTheSweep() {
        setRange({"10", "0", "0", "1"}, "5");
        net->beforeEcho = [&](const std::string& address) {
            if (address == "10.0.0.3")
                QGuiApplication::clipboard()->setText(kStopText);
        };
        click();
        QCOMPARE(logLines().size(), 3);
        QCOMPARE(services->viewerStarts.size(), 1);
        expectIdle();
    }

    void stopTakesEffectEvenWhenTheClipboardIsRewritten() {
        setRange({"10", "0", "0", "1"}, "5");
        net->beforeEcho = [&](const std::string& address) {
            if (address != "10.0.0.2")
                return;
            clickLater();
            // Another program overwrites the stop text right after the click.
            later([] { QGuiApplication::clipboard()->setText("other"); });
        };
        click();
        QCOMPARE(net->echoes, 2);
        expectIdle();
    }

    void socketsStartFailureLeavesTheSweepOpenUntilTheNextClick() {
        net->startupResults = {0, 10091};
        setRange({"10", "0", "0", "1"}, "3");
        click();
        QCOMPARE(services->countTitled("PingError"), 1);
        QCOMPARE(services->messages.back().text,
                 QString("Windows Sockets for 32 bit Windows environments is not successfully "
                         "responding."));
        QCOMPARE(services->messages.back().style, 0x10);
        QCOMPARE(form->cmdStart->text(), kStop);
        QVERIFY(form->lblChkIP->isVisible());
        QCOMPARE(form->lblChkIP->text(), QString("10.0.0.2"));
        QCOMPARE(services->viewerStarts.size(), 0);
        QCOMPARE(logLines().size(), 1);
        QCOMPARE(net->cleanups, 1); // the failed start is not matched by a stop

        click(); // takes the stop path: closes and shows the log
        QCOMPARE(services->viewerStarts.size(), 1);
        QCOMPARE(logLines().size(), 1);
        expectIdle();
        QCOMPARE(services->countTitled("処理の確認"), 1);
    }

    void socketsStopFailureWarnsOncePerProbeAndGoesOn() {
        net->cleanupResult = 10093;
        setRange({"10", "0", "0", "1"}, "2");
        click();
        QCOMPARE(logLines().size(), 2);
        int warnings = 0;
        for (const auto& message : services->messages)
            if (message.text == "Windows Sockets error occurred in Cleanup.") {
                ++warnings;
                QCOMPARE(message.style, 0x30);
                QVERIFY(message.title.isEmpty()); // the application's title
            }
        QCOMPARE(warnings, 2);
    }

    void optionAndPrefixEditsTakeEffectFromTheNextAddress() {
        net->echoStatus = {{"10.0.0.1", 0}, {"10.0.0.2", 0}, {"10.0.9.3", 0}, {"10.0.9.4", 0}};
        net->names = {{"10.0.0.1", "a"}, {"10.0.0.2", "b"}, {"10.0.9.3", "c"}, {"10.0.9.4", "d"}};
        setRange({"10", "0", "0", "1"}, "6");
        net->beforeEcho = [&](const std::string& address) {
            if (address == "10.0.0.1")
                later([&] { form->optPCName[0]->setChecked(true); });
            if (address == "10.0.0.2")
                later([&] {
                    form->txtSIP[2]->setText("9");
                    form->txtEIP[3]->setText("3"); // the running range does not change
                });
            if (address == "10.0.9.3")
                later([&] { form->optPCName[1]->setChecked(true); });
            if (address == "10.0.9.4")
                later([&] {
                    form->txtSIP[0]->setText("<s>10");
                    form->txtSIP[1]->setText("x");
                });
        };
        click();
        QCOMPARE(logRecords(),
                 (QStringList{"10.0.0.1,--> OK,", "10.0.0.2,--> OK,b", "10.0.9.3,--> OK,c",
                              "10.0.9.4,--> OK,", "<s>10.x.9.5,--> NG,", "<s>10.x.9.6,--> NG,"}));
        // The last address stays shown as typed, not as markup.
        QCOMPARE(tobrik::test::ShownText(form->lblChkIP), QString("<s>10.x.9.6"));
    }

    void missingEchoServiceWarnsOncePerSweep() {
        net->echoAvailable = false;
        setRange({"10", "0", "0", "1"}, "3");
        click();
        QCOMPARE(services->countTitled("PingError"), 1);
        QVERIFY(services->messages.back().text.contains("no ICMP for this test"));
        QCOMPARE(logRecords(),
                 (QStringList{"10.0.0.1,--> NG,", "10.0.0.2,--> NG,", "10.0.0.3,--> NG,"}));
        click();
        QCOMPARE(services->countTitled("PingError"), 2);
    }

    // The echo service replaced a failed socket after every probe: the user
    // hears of it once per sweep, and every address still gets its line.
    void replacedEchoSocketIsToldOncePerSweep() {
        net->beforeEcho = [&](const std::string&) { net->echoNotice = "socket replaced"; };
        net->echoStatus = {{"10.0.0.1", 0}, {"10.0.0.2", 0}, {"10.0.0.3", 0}};
        setRange({"10", "0", "0", "1"}, "3");
        click();
        QCOMPARE(services->countTitled("PingError"), 1);
        QCOMPARE(services->messages.back().text, QString("socket replaced"));
        QCOMPARE(logRecords(),
                 (QStringList{"10.0.0.1,--> OK,", "10.0.0.2,--> OK,", "10.0.0.3,--> OK,"}));
    }

    void logThatCannotBeOpenedLeavesTheWindowAsItWas() {
        QDir(dir->path()).mkdir("tobrik.log");
        setRange({"10", "0", "0", "1"}, "3");
        click();
        QCOMPARE(services->countTitled("ログエラー"), 1);
        QVERIFY(services->messages.back().text.contains(logPath()));
        expectIdle();
        QCOMPARE(QGuiApplication::clipboard()->text(), QString("left by another program"));
        QCOMPARE(net->echoes, 0);
    }

    void logWriteFailureEndsTheSweepWithOneMessage() {
#ifndef __linux__
        QSKIP("needs a file size limit, so that the log takes no data");
#else
        rlimit saved{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
        const auto previous = std::signal(SIGXFSZ, SIG_IGN);
        const auto restore = qScopeGuard([&] {
            setrlimit(RLIMIT_FSIZE, &saved);
            std::signal(SIGXFSZ, previous);
        });
        rlimit none = saved;
        none.rlim_cur = 0;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &none), 0);
        setRange({"10", "0", "0", "1"}, "5");
        click();
        QCOMPARE(services->countTitled("ログエラー"), 1);
        QCOMPARE(net->echoes, 1);
        expectIdle();
#endif
    }

#ifdef __linux__
    // The system reports a failure when the log is closed (here: its
    // descriptor is closed behind the window's back, after the first line
    // and then the sweep is stopped, or before any line, so that the write
    // fails first): one message, like a failed write; the viewer still
    // opens and the window stays usable.
    void logThatFailsToCloseIsReportedOnce_data() {
        QTest::addColumn<bool>("beforeFirstLine");
        QTest::addColumn<QStringList>("records");
        QTest::newRow("close fails") << false << QStringList{"10.0.0.1,--> NG,"};
        QTest::newRow("write and close fail") << true << QStringList{};
    }

    void logThatFailsToCloseIsReportedOnce() {
        QFETCH(bool, beforeFirstLine);
        QFETCH(QStringList, records);
        const auto breakLog = [this] {
            for (const auto& entry : QDir("/proc/self/fd").entryInfoList(QDir::Files)) {
                if (entry.symLinkTarget() == QFileInfo(logPath()).canonicalFilePath())
                    ::close(entry.fileName().toInt());
            }
        };
        setRange({"10", "0", "0", "1"}, "3");
        if (beforeFirstLine)
            later(breakLog);
        else
            later([this, breakLog] {
                later([this, breakLog] {
                    breakLog();
                    click();
                });
            });
        click();
        QCOMPARE(services->countTitled("ログエラー"), 1);
        QVERIFY(services->messages.back().text.contains(logPath()));
        QCOMPARE(logRecords(), records);
        QCOMPARE(services->viewerStarts.size(), 1);
        expectIdle();
        click();
        QCOMPARE(services->countTitled("ログエラー"), 1);
        QCOMPARE(logRecords().size(), 3);
    }
#endif

    void viewerThatCannotStartIsReported() {
        services->viewerFails = true;
        setRange({"10", "0", "0", "1"}, "1");
        click();
        QCOMPARE(services->countTitled("ログエラー"), 1);
        QVERIFY(services->messages.back().text.contains(logPath()));
        expectIdle();
        // Still usable.
        services->viewerFails = false;
        click();
        QCOMPARE(services->viewerStarts.size(), 2);
    }

    void enterAndEscapeInABoxPressNoButton() {
        setRange({"10", "0", "0", "1"}, "1");
        form->txtSIP[3]->setFocus();
        QTest::keyClick(form->txtSIP[3], Qt::Key_Return);
        QTest::keyClick(form->txtSIP[3], Qt::Key_Escape);
        QCOMPARE(services->messages.size(), size_t(0));
    }
};

QTEST_MAIN(SweepTest)
#include "SweepTest.moc"
