// The real main window sweeping the lab with real ICMP and the real
// resolver. Only message boxes and the viewer are recorded instead of shown.
// Meaningful inside tests/lab/in_lab.sh only; skips elsewhere.

#include "LabWindow.h"
#include "FakeWindowServices.h"
#include "SweepDriver.h"
#include "frmMain.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <functional>

using tobrik::test::FakeWindowServices;

namespace {

const QString kLongName = "lab-host-with-a-very-long-name-that-needs-more-than-fifteen-bytes-0070";

// Runs a hook each time the sweep processes events (once before every
// address), ahead of the events already queued.
class HookedServices : public FakeWindowServices {
  public:
    std::function<void()> beforeEvents;
    void processEvents() override {
        if (beforeEvents)
            beforeEvents();
        FakeWindowServices::processEvents();
    }
};

} // namespace

class LabWindowTest : public QObject, protected tobrik::test::LabWindow<HookedServices> {
    Q_OBJECT

  private:
    QStringList sweep(const QString& start, int last, bool names) {
        tobrik::test::EnterRange(*form, start.split('.'), QString::number(last));
        form->optPCName[names ? 0 : 1]->setChecked(true);
        tobrik::test::ClickStart(*form);
        return tobrik::test::LogRecords(logPath());
    }

  private slots:
    void initTestCase() {
        if (!inLab())
            QSKIP("runs only inside the network namespace lab");
    }

    void init() { openWindow(); }
    void cleanup() {
        services.beforeEvents = nullptr;
        closeWindow();
    }

    // Every address gets its line, and none a message box: answering,
    // rejecting and silent hosts, a long name, routes that refuse at once
    // and a subnet's broadcast address, which sendto refuses (EACCES).
    void sweepLogsWhatTheLabAnswers_data() {
        QTest::addColumn<QString>("start");
        QTest::addColumn<int>("last");
        QTest::addColumn<bool>("names");
        QTest::addColumn<QStringList>("records");
        QTest::newRow("answering, rejecting, silent")
            << "10.77.0.1" << 5 << true
            << QStringList{"10.77.0.1,--> OK,lab-host-abcde", "10.77.0.2,--> OK,lab-host-abcdef",
                           "10.77.0.3,--> NG,", "10.77.0.4,--> NG,", "10.77.0.5,--> NG,"};
        QTest::newRow("long name whole")
            << "10.77.0.20" << 20 << true << QStringList{"10.77.0.20,--> OK," + kLongName};
        QTest::newRow("no names without look-up")
            << "10.77.0.1" << 2 << false << QStringList{"10.77.0.1,--> OK,", "10.77.0.2,--> OK,"};
        QTest::newRow("unreachable route")
            << "10.77.1.1" << 2 << true << QStringList{"10.77.1.1,--> NG,", "10.77.1.2,--> NG,"};
        QTest::newRow("prohibited route")
            << "10.77.2.1" << 1 << true << QStringList{"10.77.2.1,--> NG,"};
        QTest::newRow("subnet broadcast")
            << "10.77.0.254" << 255 << true
            << QStringList{"10.77.0.254,--> NG,", "10.77.0.255,--> NG,"};
    }

    void sweepLogsWhatTheLabAnswers() {
        QFETCH(QString, start);
        QFETCH(int, last);
        QFETCH(bool, names);
        QFETCH(QStringList, records);
        QCOMPARE(sweep(start, last, names), records);
        QCOMPARE(services.viewerStarts.size(), 1);
        QCOMPARE(services.messages.size(), size_t(1)); // the confirmation alone
    }

    void loopbackRangeAnswers() {
        const auto lines = sweep("127.0.0.1", 40, false);
        QCOMPARE(lines.size(), 40);
        for (const auto& line : lines)
            QVERIFY2(line.endsWith(",--> OK,"), qPrintable(line));
    }

    void stopKeepsTheLinesBeforeItAndOpensOneViewer() {
        // The click arrives during the second probe and is taken at the
        // event processing before the third.
        services.beforeEvents = [this, rounds = 0]() mutable {
            if (++rounds == 3)
                QMetaObject::invokeMethod(
                    form.get(), [this] { QTest::mouseClick(form->cmdStart, Qt::LeftButton); },
                    Qt::QueuedConnection);
        };
        QCOMPARE(sweep("10.77.0.50", 60, false),
                 (QStringList{"10.77.0.50,--> NG,", "10.77.0.51,--> NG,"}));
        QCOMPARE(services.viewerStarts.size(), 1);
        QCOMPARE(form->cmdStart->text(), QString("開始"));
    }

    void loadShowsTheLocalHost() {
        const QString expected = qEnvironmentVariable("TOBRIK_EXPECT_LOCAL");
        if (expected.isEmpty())
            QSKIP("no local host expected in this lab run");
        const auto address = expected.section('|', 0, 0);
        const auto name = expected.section('|', 1);
        form->Form_Load();
        QCOMPARE(form->lblMyIPAddr->text(), address);
        QCOMPARE(form->lblHostName->text(), name);
        const auto octets = address.split('.');
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(form->txtSIP[i]->text(), octets[i]);
            QCOMPARE(form->txtEIP[i]->text(), octets[i]);
        }
    }

    // The pre-filled range is the local address alone; a sweep of it with
    // look-ups logs the local host's name, as the window shows it.
    void sweepOfTheOwnAddressLogsTheHostName() {
        const QString expected = qEnvironmentVariable("TOBRIK_EXPECT_LOCAL");
        if (expected.isEmpty())
            QSKIP("no local host expected in this lab run");
        form->Form_Load();
        form->optPCName[0]->setChecked(true);
        tobrik::test::ClickStart(*form);
        QCOMPARE(tobrik::test::LogRecords(logPath()),
                 QStringList{expected.section('|', 0, 0) + ",--> OK," + expected.section('|', 1)});
    }
};

QTEST_MAIN(LabWindowTest)
#include "LabWindowTest.moc"
