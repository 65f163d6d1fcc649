// The real main window sweeping the lab (real ICMP on the raw-socket path:
// root, default ping group range) while other traffic disturbs it: another
// program flooding echo requests at other addresses, and a host whose
// replies come late. Results and the time per address must be those of a
// quiet lab, and the flood must not even reach the echo socket. Only
// message boxes and the viewer are recorded.
// Meaningful inside tests/lab/in_lab.sh only; fails elsewhere.

#include "FakeWindowServices.h"
#include "LabWindow.h"
#include "ObservedPlatform.h"
#include "SweepDriver.h"
#include "frmMain.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString kScripts = QStringLiteral(TOBRIK_FAULT_SCRIPTS);
// How long a helper lives should the test die without ending it.
const QString kHelperLifetimeSeconds = QStringLiteral("120");

// Records when each probe of a sweep begins: the sweep processes events
// once before every address.
class TimingServices : public tobrik::test::FakeWindowServices {
  public:
    QElapsedTimer clock;
    QList<qint64> marks;
    void processEvents() override {
        marks << clock.elapsed();
        FakeWindowServices::processEvents();
    }
};

// A helper process of the test, ended (and reaped) when it goes out of scope.
class Helper {
  public:
    Helper(const QString& script, const QStringList& arguments) {
        process.setProgram("python3");
        process.setArguments(QStringList{kScripts + "/" + script} + arguments);
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start();
    }
    ~Helper() { stop(); }

    // Waits at most timeoutMs for a whole output line starting with prefix.
    bool waitForLine(const QString& prefix, int timeoutMs) {
        QElapsedTimer waited;
        waited.start();
        while (waited.elapsed() < timeoutMs) {
            if (output().contains(QRegularExpression("(^|\n)" + prefix + "[^\n]*\n")))
                return true;
            if (process.state() == QProcess::NotRunning)
                return false;
            process.waitForReadyRead(50);
        }
        return false;
    }
    QString output() {
        seen += QString::fromUtf8(process.readAllStandardOutput());
        return seen;
    }
    void stop() {
        if (process.state() == QProcess::NotRunning)
            return;
        process.terminate();
        if (!process.waitForFinished(3000)) {
            process.kill();
            process.waitForFinished(3000);
        }
        output();
    }

    QProcess process;

  private:
    QString seen;
};

struct Sweep {
    QStringList records;       // the log's lines without their time stamps
    QList<qint64> timesMs;     // how long each address took
    std::uint64_t packetsRead; // packets that reached the echo sockets while waiting
};

} // namespace

class LabTrafficTest : public QObject, protected tobrik::test::LabWindow<TimingServices> {
    Q_OBJECT

  private:
    tobrik::test::ObservedPlatform net;
    tobrik::net::ScopedPlatform netGuard{net};

    Sweep sweep(int first, int last) {
        tobrik::test::EnterRange(*form, {"10", "77", "0", QString::number(first)},
                                 QString::number(last));
        form->optPCName[1]->setChecked(true);
        services.marks.clear();
        const auto packetsBefore = net.packetsRead;
        services.clock.start();
        QTest::mouseClick(form->cmdStart, Qt::LeftButton);
        services.marks << services.clock.elapsed();

        Sweep result;
        result.packetsRead = net.packetsRead - packetsBefore;
        for (int i = 1; i < services.marks.size(); ++i)
            result.timesMs << services.marks[i] - services.marks[i - 1];
        result.records = tobrik::test::LogRecords(logPath());
        return result;
    }

    static QString describe(const Sweep& sweep) {
        QStringList times;
        for (auto ms : sweep.timesMs)
            times << QString::number(ms);
        return sweep.records.join(" | ") + " ; ms: " + times.join(" ") +
               " ; packets read: " + QString::number(sweep.packetsRead);
    }

    // A silent address waits out the 500 ms time-out and no more (the bound
    // is generous for a loaded machine); an answering or rejecting one is
    // quick.
    static void checkTimes(const Sweep& sweep, const QList<bool>& silent) {
        QCOMPARE(sweep.timesMs.size(), silent.size());
        for (int i = 0; i < silent.size(); ++i) {
            const auto ms = sweep.timesMs[i];
            if (silent[i])
                QVERIFY2(ms >= 490 && ms < 1200, qPrintable(describe(sweep)));
            else
                QVERIFY2(ms < 400, qPrintable(describe(sweep)));
        }
    }

  private slots:
    void initTestCase() { QVERIFY2(inLab(), kOutsideTheLab); }

    void init() { openWindow(); }
    void cleanupTestCase() { closeWindow(); }

    // 10.77.0.1-2 answer, .3 rejects, .4-.8 are silent. The flood goes to
    // 10.77.0.1 (an address of the sweep, answering) and 127.0.0.1. The raw
    // socket's filters keep the flood's requests and the replies to them
    // away from it: it reads what it read in the quiet lab.
    void floodOfOtherEchoTrafficChangesNothing() {
        const QList<bool> silent{false, false, false, true, true, true, true, true};
        const Sweep quiet = sweep(1, 8);
        QCOMPARE(quiet.records,
                 (QStringList{"10.77.0.1,--> OK,", "10.77.0.2,--> OK,", "10.77.0.3,--> NG,",
                              "10.77.0.4,--> NG,", "10.77.0.5,--> NG,", "10.77.0.6,--> NG,",
                              "10.77.0.7,--> NG,", "10.77.0.8,--> NG,"}));
        checkTimes(quiet, silent);
        QVERIFY(quiet.packetsRead > 0); // the count is real: the answers were read

        Helper flood("flood.py", {kHelperLifetimeSeconds, "10.77.0.1", "127.0.0.1"});
        QVERIFY2(flood.waitForLine("flooding", 10000), qPrintable(flood.output()));
        const Sweep flooded = sweep(1, 8);
        flood.stop();
        QVERIFY(flood.waitForLine("sent", 1000));
        const qint64 sent =
            QRegularExpression("sent (\\d+)").match(flood.output()).captured(1).toLongLong();
        qInfo("flood: %lld requests during and around a sweep; quiet: %s; flooded: %s", sent,
              qPrintable(describe(quiet)), qPrintable(describe(flooded)));
        QVERIFY2(sent >= 2000, qPrintable(flood.output())); // it was a flood

        QCOMPARE(flooded.records, quiet.records);
        QCOMPARE(flooded.packetsRead, quiet.packetsRead);
        checkTimes(flooded, silent);
        QCOMPARE(services.viewerStarts.size(), 2);
        QCOMPARE(services.messages.size(), size_t(2)); // the two confirmations alone
    }

    // 10.77.0.4 answers through a responder of the test's own after the
    // given delay; .5 and .6 are silent. A reply within the time-out counts;
    // a late one does not, and arriving during the probe of .5 it does not
    // make .5 answer either.
    void lateRepliesCountForNothing_data() {
        QTest::addColumn<int>("delayMs");
        QTest::addColumn<QString>("result");
        QTest::newRow("reply after 100 ms") << 100 << "--> OK";
        QTest::newRow("reply after 600 ms") << 600 << "--> NG";
    }

    void lateRepliesCountForNothing() {
        QFETCH(int, delayMs);
        QFETCH(QString, result);
        Helper responder("late_responder.py",
                         {"10.77.0.4", QString::number(delayMs), kHelperLifetimeSeconds});
        QVERIFY2(responder.waitForLine("ready", 10000), qPrintable(responder.output()));
        const Sweep swept = sweep(4, 6);
        // The late reply to the last address may still be on its way.
        QVERIFY(responder.waitForLine("replied", 2000));
        responder.stop();
        qInfo("%s; responder: %s", qPrintable(describe(swept)),
              qPrintable(responder.output().simplified()));
        QCOMPARE(swept.records, (QStringList{"10.77.0.4," + result + ",", "10.77.0.5,--> NG,",
                                             "10.77.0.6,--> NG,"}));
        QCOMPARE(responder.output().count("replied"), 1); // .4 alone was answered
        checkTimes(swept, {delayMs > 500, true, true});
    }
};

QTEST_MAIN(LabTrafficTest)
#include "LabTrafficTest.moc"
