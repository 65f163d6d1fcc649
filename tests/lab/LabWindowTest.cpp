// The real main window sweeping the lab with real ICMP and the real
// resolver; message boxes and the viewer are recorded. While another
// program floods echo requests or a host replies late, results and time per
// address are those of a quiet lab, and the flood does not even reach the
// echo socket (the helper's raw socket: root, default ping group range).
// Fails outside tests/lab/in_lab.sh.

#include "FakeWindowServices.h"
#include "ObservedPlatform.h"
#include "SweepDriver.h"
#include "frmMain.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

namespace {

const QString kLongName = "lab-host-with-a-very-long-name-that-needs-more-than-fifteen-bytes-0070";
const QString kScripts = QStringLiteral(TOBRIK_FAULT_SCRIPTS);
// How long a helper lives should the test die without ending it.
const QString kHelperLifetimeSeconds = QStringLiteral("120");

// When each probe begins: the sweep processes events before every address.
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

class LabWindowTest : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir dir;
    TimingServices services;
    std::unique_ptr<frmMain> form;
    tobrik::test::ObservedPlatform observed; // the platform of the traffic tests

    Sweep sweep(const QString& start, int last, bool names = false) {
        tobrik::test::EnterRange(*form, start.split('.'), QString::number(last));
        form->optPCName[names ? 0 : 1]->setChecked(true);
        services.marks.clear();
        const auto packetsBefore = observed.packetsRead;
        services.clock.start();
        tobrik::test::ClickStart(*form);
        services.marks << services.clock.elapsed();

        Sweep result;
        result.packetsRead = observed.packetsRead - packetsBefore;
        for (int i = 1; i < services.marks.size(); ++i)
            result.timesMs << services.marks[i] - services.marks[i - 1];
        result.records = tobrik::test::LogRecords(dir.path() + "/tobrik.log");
        return result;
    }

    static QString describe(const Sweep& sweep) {
        QStringList times;
        for (auto ms : sweep.timesMs)
            times << QString::number(ms);
        return sweep.records.join(" | ") + " ; ms: " + times.join(" ") +
               " ; packets read: " + QString::number(sweep.packetsRead);
    }

    // A silent address waits out the 500 ms time-out and no more (generously,
    // for a loaded machine); an answering or rejecting one is quick.
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
    void initTestCase() {
        QVERIFY2(qEnvironmentVariable("TOBRIK_LAB") == "1",
                 "runs only inside the network namespace lab (tests/lab/in_lab.sh)");
        services.directory = dir.path();
        form = std::make_unique<frmMain>(services);
        form->show();
    }
    void init() {
        services.messages.clear();
        services.viewerStarts.clear();
    }
    void cleanupTestCase() { form.reset(); }

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
        QCOMPARE(sweep(start, last, names).records, records);
        QCOMPARE(services.viewerStarts.size(), 1);
        QCOMPARE(services.messages.size(), size_t(1)); // the confirmation alone
    }

    // 10.77.0.1-2 answer, .3 rejects, .4-.8 are silent. The flood goes to
    // 10.77.0.1 (in the sweep) and 127.0.0.1; the raw socket's filters keep
    // it and its replies away: the socket reads what it read in quiet.
    void floodOfOtherEchoTrafficChangesNothing() {
        tobrik::net::ScopedPlatform guard(observed);
        const QList<bool> silent{false, false, false, true, true, true, true, true};
        const Sweep quiet = sweep("10.77.0.1", 8);
        QCOMPARE(quiet.records,
                 (QStringList{"10.77.0.1,--> OK,", "10.77.0.2,--> OK,", "10.77.0.3,--> NG,",
                              "10.77.0.4,--> NG,", "10.77.0.5,--> NG,", "10.77.0.6,--> NG,",
                              "10.77.0.7,--> NG,", "10.77.0.8,--> NG,"}));
        checkTimes(quiet, silent);
        QVERIFY(quiet.packetsRead > 0); // the count is real: the answers were read

        Helper flood("flood.py", {kHelperLifetimeSeconds, "10.77.0.1", "127.0.0.1"});
        QVERIFY2(flood.waitForLine("flooding", 10000), qPrintable(flood.output()));
        const Sweep flooded = sweep("10.77.0.1", 8);
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

    // 10.77.0.4 answers through the test's responder after the delay; .5
    // and .6 are silent. A reply within the time-out counts; a late one,
    // arriving during the probe of .5, does not, nor makes .5 answer.
    void lateRepliesCountForNothing_data() {
        QTest::addColumn<int>("delayMs");
        QTest::addColumn<QString>("result");
        QTest::newRow("reply after 100 ms") << 100 << "--> OK";
        QTest::newRow("reply after 600 ms") << 600 << "--> NG";
    }

    void lateRepliesCountForNothing() {
        QFETCH(int, delayMs);
        QFETCH(QString, result);
        tobrik::net::ScopedPlatform guard(observed);
        Helper responder("late_responder.py",
                         {"10.77.0.4", QString::number(delayMs), kHelperLifetimeSeconds});
        QVERIFY2(responder.waitForLine("ready", 10000), qPrintable(responder.output()));
        const Sweep swept = sweep("10.77.0.4", 6);
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

    // A lab host answers every request it sees from its own address: ignored.
    void impostorRepliesCountForNothing() {
        Helper impostor("late_responder.py",
                        {"0.0.0.0", "0", kHelperLifetimeSeconds, "10.77.0.60"});
        QVERIFY2(impostor.waitForLine("ready", 10000), qPrintable(impostor.output()));
        QCOMPARE(sweep("10.77.0.1", 6).records,
                 (QStringList{"10.77.0.1,--> OK,", "10.77.0.2,--> OK,", "10.77.0.3,--> NG,",
                              "10.77.0.4,--> NG,", "10.77.0.5,--> NG,", "10.77.0.6,--> NG,"}));
        impostor.stop();
        QVERIFY2(impostor.output().count("replied") >= 6, qPrintable(impostor.output()));
    }
};

QTEST_MAIN(LabWindowTest)
#include "LabWindowTest.moc"
