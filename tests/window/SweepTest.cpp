// The Start/Stop command of the real main window, driven with QTest on the
// offscreen platform. The network is scripted; the window, the clipboard,
// event processing and the log file are real.

#include "ScriptedWindow.h"

#include <QApplication>
#include <QClipboard>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <cerrno>
#include <cstring>
#include <filesystem>

#ifdef __linux__
#include <unistd.h>
#endif

namespace {
const QString kStart = QStringLiteral("開始");
const QString kStop = QStringLiteral("中止");
const QString kStopText = QStringLiteral("Tobrik STOP");

// A message box as the user sees it: icon, buttons and title.
QString BoxShown(int icon, int buttons, const QString& title) {
    return QString("icon %1, buttons %2, %3").arg(icon).arg(buttons, 0, 16).arg(title);
}
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

    // Runs change at the next event processing, as a user's click or edit
    // arrives while the sweep runs.
    void later(std::function<void()> change) {
        QMetaObject::invokeMethod(form.get(), change, Qt::QueuedConnection);
    }

    void expectIdle() {
        QCOMPARE(form->cmdStart->text(), kStart);
        QVERIFY(!form->lblChkIP->isVisible());
        QVERIFY(!form->lblResult->isVisible());
    }

    // Nothing of a sweep happened: no probe, log, viewer or clipboard change.
    void expectNoSweep() {
        expectIdle();
        QCOMPARE(QGuiApplication::clipboard()->text(), QString("left by another program"));
        QVERIFY(!QFile::exists(logPath()));
        QCOMPARE(net->echoes, 0);
        QVERIFY(services->viewerStarts.isEmpty());
    }

    // Runs act on the real message box once it shows.
    void onRealBox(std::function<void(QWidget*)> act) {
        services->realBoxes = true;
        auto* poll = new QTimer(form.get());
        connect(poll, &QTimer::timeout, poll, [poll, act] {
            if (QWidget* box = QApplication::activeModalWidget()) {
                poll->deleteLater();
                act(box);
            }
        });
        poll->start(10);
    }

  private slots:
    void init() {
        QVERIFY(openWindow());
        QGuiApplication::clipboard()->setText("left by another program");
    }

    void cleanupTestCase() { closeWindow(); }

    // Text in an octet box that the rules refuse (tests/logic) is refused
    // after the confirmation with the validation message; only the focus
    // moves, to the refused start box (the last one for the end box). A
    // start box keeps the text whole, past a line edit's 32767 characters,
    // and mirrors it into its end box. A corrected range then sweeps.
    void refusedRangeChangesNothingButTheFocus_data() {
        QTest::addColumn<int>("box");
        QTest::addColumn<QString>("text");
        QTest::newRow("letter after 32767 zeros in start 1") << 0 << QString(32767, '0') + "x";
        QTest::newRow("100000 full-width digits in start 2") << 1 << QString(100000, QChar(0xFF11));
        QTest::newRow("NUL after digit in start 3") << 2 << QString("1") + QChar(0);
        QTest::newRow("minus sign in start 4") << 3 << QString("-1");
        QTest::newRow("lone surrogate in end") << 4 << QString(QChar(0xD800));
    }

    void refusedRangeChangesNothingButTheFocus() {
        QFETCH(int, box);
        QFETCH(QString, text);
        setRange({"10", "0", "0", "1"}, "2");
        QLineEdit* edit = box == 4 ? form->txtEIP[3] : form->txtSIP[box];
        edit->setText(text);
        QCOMPARE(edit->text(), text);
        QCOMPARE(form->txtEIP[box == 4 ? 3 : box]->text(), text);
        form->txtEIP[3]->setFocus();
        click();
        QCOMPARE(services->messages.size(), size_t(2));
        QCOMPARE(services->messages[1].text, QString(box == 4 ? "終了IPアドレスの指定が不正です"
                                                              : "開始IPアドレスの指定が不正です"));
        QCOMPARE(services->messages[1].title, QString("入力の確認"));
        QCOMPARE(services->messages[1].style, 0x10);
        QVERIFY(form->txtSIP[box == 4 ? 3 : box]->hasFocus());
        expectNoSweep();
        setRange({"10", "0", "0", "1"}, "2");
        click();
        QCOMPARE(logLines().size(), 2);
        QCOMPARE(services->viewerStarts.size(), 1);
    }

    // The confirmation "チェックを開始します。" cancelled: by its Cancel
    // button, and on the real message box by Esc or by closing it.
    void cancelChangesNothing_data() {
        QTest::addColumn<int>("how");
        QTest::newRow("Cancel") << 0;
        QTest::newRow("Esc on the real box") << 1;
        QTest::newRow("closing the real box") << 2;
    }

    void cancelChangesNothing() {
        QFETCH(int, how);
        setRange({"10", "0", "0", "1"}, "3");
        if (how == 0)
            services->answers = {tobrik::app::kAnswerCancel};
        else if (how == 1)
            onRealBox([](QWidget* box) { QTest::keyClick(box, Qt::Key_Escape); });
        else
            onRealBox([](QWidget* box) { box->windowHandle()->close(); });
        click();
        QCOMPARE(services->messages.size(), size_t(1)); // no validation message either
        QCOMPARE(services->messages[0].text, QString("チェックを開始します。"));
        QCOMPARE(services->messages[0].title, QString("処理の確認"));
        expectNoSweep();
    }

    // The boxes as shown: the icon and buttons of their style, Enter
    // answering OK, and their title or else the application's.
    void boxesShowTheirStyleAndTitle_data() {
        QTest::addColumn<QString>("lastOctet");
        QTest::addColumn<int>("cleanupResult");
        QTest::addColumn<QStringList>("shown");
        const int ok = QMessageBox::Ok;
        const QString confirmation =
            BoxShown(QMessageBox::Information, ok | QMessageBox::Cancel, "処理の確認");
        QTest::newRow("0x41, then 0x10 for a refused range")
            << "x" << 0
            << QStringList{confirmation, BoxShown(QMessageBox::Critical, ok, "入力の確認")};
        QTest::newRow("0x41, then 0x30 untitled for a failed stop")
            << "1" << 10093
            << QStringList{confirmation, BoxShown(QMessageBox::Warning, ok, "dorIzezovedivu")};
    }

    void boxesShowTheirStyleAndTitle() {
        QFETCH(QString, lastOctet);
        QFETCH(int, cleanupResult);
        QFETCH(QStringList, shown);
        net->cleanupResult = cleanupResult;
        setRange({"10", "0", "0", lastOctet}, "1");
        services->realBoxes = true;
        QStringList seen;
        QTimer poll;
        connect(&poll, &QTimer::timeout, [&seen] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || !box->isVisible())
                return;
            seen << BoxShown(box->icon(), box->standardButtons(), box->windowTitle());
            QTest::keyClick(box, Qt::Key_Return);
        });
        poll.start(10);
        click();
        QCOMPARE(seen, shown);
    }

    void sweepProbesLogsAndShowsTheLogOnce() {
        net->echoStatus = {{"10.0.0.1", 0}, {"10.0.0.3", 0}};
        net->names = {{"10.0.0.1", "alpha"}, {"10.0.0.2", "beta"}};
        setRange({"10", "0", "0", "1"}, "3");
        form->optPCName[0]->setChecked(true);
        QStringList shownDuringProbe;
        // During a sweep only the caption swaps: every control stays as usable as before.
        const auto enabled = [&] {
            QStringList names;
            for (const QWidget* widget : form->findChildren<QWidget*>())
                names << widget->objectName() + (widget->isEnabled() ? "+" : "-");
            return names;
        };
        const QStringList enabledBefore = enabled();
        net->beforeEcho = [&](const std::string&) {
            shownDuringProbe << form->lblChkIP->text() + "|" +
                                    (form->lblChkIP->isVisible() ? "shown" : "hidden") + "|" +
                                    form->cmdStart->text() +
                                    (enabled() == enabledBefore ? "" : "|controls changed");
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
        QCOMPARE(tobrik::test::Spoken(form->lblChkIP), QString("確認中のIPアドレス 10.0.0.3"));
        QCOMPARE(tobrik::test::Spoken(form->lblResult), QString("確認結果 --> OK"));
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

    // A sweep of 10.0.0.1-5 stopped while 10.0.0.2 is probed ends before the
    // next address with the lines so far, one viewer, no second sweep and
    // the clipboard as the stop left it. The stop text must be exact.
    void stopEndsTheSweepAtTheNextAddress_data() {
        QTest::addColumn<int>("how");
        QTest::addColumn<int>("lines");
        QTest::addColumn<QString>("clipboard");
        QTest::newRow("click on 中止") << 0 << 2 << kStopText;
        QTest::newRow("click while the stop finishes") << 1 << 2 << kStopText;
        QTest::newRow("start box made non-numeric, then 中止") << 2 << 2 << kStopText;
        QTest::newRow("clipboard rewritten after 中止") << 3 << 2 << "other";
        QTest::newRow("another program's Tobrik STOP") << 4 << 2 << kStopText;
        QTest::newRow("Tobrik STOP and a line break") << 5 << 5 << kStopText + "\n";
    }

    void stopEndsTheSweepAtTheNextAddress() {
        QFETCH(int, how);
        QFETCH(int, lines);
        QFETCH(QString, clipboard);
        setRange({"10", "0", "0", "1"}, "5");
        bool done = false;
        net->beforeEcho = [&](const std::string& address) {
            if (address != "10.0.0.2" || std::exchange(done, true))
                return;
            if (how == 1)
                later([&] {
                    later([this] { click(); }); // arrives while the stop runs its own loop
                    click();                    // stops
                });
            if (how == 2)
                later([&] { form->txtSIP[3]->setText("x"); }); // mirrored into the end
            if (how <= 3 && how != 1)
                later([this] { click(); });
            if (how == 3) // another program, right after the click
                later([] { QGuiApplication::clipboard()->setText("other"); });
            if (how >= 4)
                QGuiApplication::clipboard()->setText(clipboard);
        };
        click();
        QCOMPARE(net->echoes, lines);
        QCOMPARE(logLines().size(), lines);
        QCOMPARE(services->countTitled("処理の確認"), 1);
        QCOMPARE(services->viewerStarts.size(), 1);
        QCOMPARE(QGuiApplication::clipboard()->text(), clipboard);
        expectIdle();
    }

    void staleStopTextDoesNotPreventASweep() {
        QGuiApplication::clipboard()->setText(kStopText);
        setRange({"10", "0", "0", "1"}, "3");
        click();
        QCOMPARE(logLines().size(), 3);
        QCOMPARE(QGuiApplication::clipboard()->text(), QString());
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
        QCOMPARE(services->countTitled(""), 2); // the text: net_test
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

    // No echo service, or one that replaced a failed socket after every
    // probe: the user hears of it once per sweep, and every address still
    // gets its line.
    void echoServiceProblemIsToldOncePerSweep_data() {
        QTest::addColumn<bool>("available");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("result");
        QTest::newRow("missing") << false
                                 << "ICMP エコーを送信できません。結果はすべて NG "
                                    "になります。\n\nno ICMP for this test"
                                 << "--> NG";
        QTest::newRow("socket replaced") << true << "socket replaced"
                                         << "--> OK";
    }

    void echoServiceProblemIsToldOncePerSweep() {
        QFETCH(bool, available);
        QFETCH(QString, message);
        QFETCH(QString, result);
        net->echoAvailable = available;
        net->echoStatus = {{"10.0.0.1", 0}, {"10.0.0.2", 0}, {"10.0.0.3", 0}};
        if (available)
            net->beforeEcho = [this](const std::string&) { net->echoNotice = "socket replaced"; };
        setRange({"10", "0", "0", "1"}, "3");
        click();
        QCOMPARE(services->countTitled("PingError"), 1);
        QCOMPARE(services->messages.back().text, message);
        QCOMPARE(logRecords(), (QStringList{"10.0.0.1," + result + ",", "10.0.0.2," + result + ",",
                                            "10.0.0.3," + result + ","}));
        click();
        QCOMPARE(services->countTitled("PingError"), 2);
    }

    void logThatCannotBeOpenedLeavesTheWindowAsItWas() {
        QDir(dir->path()).mkdir("tobrik.log");
        setRange({"10", "0", "0", "1"}, "3");
        click();
        QCOMPARE(services->countTitled("ログエラー"), 1);
        QCOMPARE(services->messages.back().text,
                 "次のログファイルは通常のファイルではないため、使用しません。\n" + logPath());
        expectIdle();
        QCOMPARE(QGuiApplication::clipboard()->text(), QString("left by another program"));
        QCOMPARE(net->echoes, 0);
    }

    // The log's volume (8 KiB, mounted by the test's fixture) fills up
    // before the first line or after some lines: those stay whole, the user
    // is told once, and the sweep ends there with its viewer.
    void fullVolumeEndsTheSweepWithOneMessage_data() {
        QTest::addColumn<int>("freeBytes");
        QTest::newRow("full from the start") << 0;
        QTest::newRow("fills after some lines") << 4096;
    }

    void fullVolumeEndsTheSweepWithOneMessage() {
        QFETCH(int, freeBytes);
        const QString volume = qEnvironmentVariable("TOBRIK_FULL_VOLUME");
        QVERIFY2(!volume.isEmpty(), "TOBRIK_FULL_VOLUME names no volume");
        QFile filler(volume + "/filler");
        QVERIFY(filler.open(QIODevice::WriteOnly));
        QCOMPARE(filler.write(QByteArray(8192 - freeBytes, 'x')), 8192 - freeBytes);
        filler.close();
        const auto removeFiles = qScopeGuard([&] {
            filler.remove();
            QFile::remove(volume + "/tobrik.log");
        });
        services->directory = QDir::toNativeSeparators(volume);
        const QString path = QDir::toNativeSeparators(volume + "/tobrik.log");
        setRange({"127", "0", "0", "1"}, "255");
        click();
        const auto records = tobrik::test::LogRecords(path);
        QStringList whole;
        for (int i = 1; i <= records.size(); ++i)
            whole << QString("127.0.0.%1,--> NG,").arg(i);
        QCOMPARE(records, whole);
        QCOMPARE(records.isEmpty(), freeBytes == 0);
        QVERIFY(records.size() < 255);
        QCOMPARE(net->echoes, records.size() + 1);
        QCOMPARE(services->countTitled("ログエラー"), 1);
        const QStringList message = services->messages.back().text.split('\n');
        QCOMPARE(message.mid(0, 2),
                 (QStringList{"ログファイルに書き込めません。チェックを終了します。", path}));
#ifdef _WIN32
        // Wine's C library reports a full volume as EINVAL, Windows' as ENOSPC.
        QVERIFY(!message.value(2).isEmpty());
#else
        QCOMPARE(message.value(2), QString::fromLocal8Bit(std::strerror(ENOSPC)));
#endif
        QCOMPARE(services->viewerStarts.size(), 1);
        expectIdle();
    }

#ifdef __linux__
    // The log's descriptor closed behind the window's back, after the first
    // line (then the sweep is stopped) or before any (the write fails
    // first): one message, the viewer still opens, the window stays usable.
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

    // A viewer that cannot start, or a launcher that says by its status that it
    // found none (xdg-open's 3; "false"'s 1): one message with the log's path.
    void viewerThatCannotStartIsToldWithThePath_data() {
        QTest::addColumn<QString>("viewer");
        QTest::newRow("no such program") << "/no/such/viewer";
#ifndef _WIN32
        QTest::newRow("the launcher ends with status 1") << "false";
#endif
    }

    void viewerThatCannotStartIsToldWithThePath() {
        QFETCH(QString, viewer);
        const QString reason = viewer == "false" ? "終了コード 1" : "";
        services->realViewer = viewer;
        setRange({"10", "0", "0", "1"}, "1");
        click();
        QTRY_COMPARE(services->countTitled("ログエラー"), 1);
        const QString text = services->messages.back().text;
        QVERIFY2(text.startsWith("ログを表示するプログラムを起動できません。\n") &&
                     text.endsWith("\n\nログファイルは次の場所にあります。\n" + logPath()) &&
                     text.contains(reason),
                 qPrintable(text));
        expectIdle();
        services->realViewer.clear();
        click();
        QCOMPARE(services->viewerStarts.size(), 2);
        QCOMPARE(services->countTitled("ログエラー"), 1);
    }

    // A folder put in the log's place after a sweep: the next one tells of
    // both paths and takes the user's log, unless another instance writes it.
    void linkInTheLogsPlaceIsToldAndLeftAlone_data() {
        QTest::addColumn<bool>("otherInstance");
        QTest::newRow("the user's log is free") << false;
        QTest::newRow("another instance writes the user's log") << true;
    }

    void linkInTheLogsPlaceIsToldAndLeftAlone() {
        QFETCH(bool, otherInstance);
        const QString own = QDir::toNativeSeparators(dir->path() + "/own");
#ifdef _WIN32
        services->places.environment["LOCALAPPDATA"] = own.toStdString();
        const QString ownLog = own + "\\Tobrik\\tobrik.log";
#else
        services->places.environment["XDG_STATE_HOME"] = own.toStdString();
        const QString ownLog = own + "/tobrik/tobrik.log";
#endif
        setRange({"10", "0", "0", "1"}, "1");
        click();
        QFile::remove(logPath());
        QDir().mkdir(logPath());
        services->logOfAnother = otherInstance ? ownLog : QString();
        click();
        QCOMPARE(services->countTitled("ログエラー"), 1);
        const auto& told = services->messages.back();
        QCOMPARE(told.text.section("\n\n", 0, 0),
                 "次のログファイルは通常のファイルではないため、使用しません。\n" + logPath());
        QVERIFY(told.text.endsWith("\n" + ownLog));
        QCOMPARE(told.style, otherInstance ? 0x10 : 0x30);
        QCOMPARE(tobrik::test::LogRecords(ownLog).size(), otherInstance ? 0 : 1);
        QCOMPARE(services->viewerStarts.size(), otherInstance ? 1 : 2);
        expectIdle();
    }
};

QTEST_MAIN(SweepTest)
#include "SweepTest.moc"
