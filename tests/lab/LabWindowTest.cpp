// The real main window sweeping the lab with real ICMP and the real
// resolver. Only message boxes and the viewer are recorded instead of shown.
// Meaningful inside tests/lab/in_lab.sh only; fails elsewhere.

#include "LabWindow.h"
#include "FakeWindowServices.h"
#include "SweepDriver.h"
#include "frmMain.h"

#include <QRadioButton>
#include <QTest>

using tobrik::test::FakeWindowServices;

namespace {

const QString kLongName = "lab-host-with-a-very-long-name-that-needs-more-than-fifteen-bytes-0070";

} // namespace

class LabWindowTest : public QObject, protected tobrik::test::LabWindow<FakeWindowServices> {
    Q_OBJECT

  private:
    QStringList sweep(const QString& start, int last, bool names) {
        tobrik::test::EnterRange(*form, start.split('.'), QString::number(last));
        form->optPCName[names ? 0 : 1]->setChecked(true);
        tobrik::test::ClickStart(*form);
        return tobrik::test::LogRecords(logPath());
    }

  private slots:
    void initTestCase() { QVERIFY2(inLab(), kOutsideTheLab); }

    void init() { openWindow(); }
    void cleanupTestCase() { closeWindow(); }

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
        QStringList loopback;
        for (int octet = 1; octet <= 40; ++octet)
            loopback << QString("127.0.0.%1,--> OK,").arg(octet);
        QTest::newRow("loopback range") << "127.0.0.1" << 40 << false << loopback;
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
};

QTEST_MAIN(LabWindowTest)
#include "LabWindowTest.moc"
