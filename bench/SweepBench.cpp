// Measures the real sweep: the real main window on Qt's offscreen platform,
// real ICMP and the real resolver, with only the confirmation box answered
// (OK), the viewer not started and the log written to a folder of its own.
// Meant to run inside tests/lab/in_lab.sh; scripts/bench.sh drives it.
//
//   tobrik_sweep_bench sweep PREFIX FIRST LAST names|nonames REPEAT EXPECT [PAUSE_MS]
//       REPEAT sweeps of PREFIX.FIRST..PREFIX.LAST through the window,
//       PAUSE_MS apart (default 0).
//       Prints "address_ms V" for every address of every sweep (from the
//       sweep loop's per-address event processing to the next one, so log
//       line, label repaint and look-up are included), "sweep_ms V" per
//       sweep (the click until the sweep has finished), "events_ms V" per
//       address (the part spent processing window events). EXPECT is ok or ng:
//       what every logged result must be; anything else fails the run.
//   tobrik_sweep_bench probe PREFIX FIRST LAST REPEAT
//       The network procedure alone (PingHost), no window: "probe_ms V" per
//       address.
//   tobrik_sweep_bench resources SWEEPS
//       SWEEPS consecutive sweeps of 127.0.0.1..255 in one window: resident
//       memory and open descriptors before the first sweep and after each.

#include "EchoData.h"
#include "QtWindowServices.h"
#include "UserTexts.h"
#include "frmMain.h"
#include "mdlKorvantiser.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// The echo path this process takes: a ping socket where the kernel allows
// one, the echo helper otherwise.
const char* echoPath() {
    const int ping = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (ping < 0)
        return "helper";
    close(ping);
    return "datagram";
}

using Clock = std::chrono::steady_clock;

double msBetween(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

// The real services, except what would need a person or leave the
// benchmark. Every event processing of the sweep loop (once per address)
// is time-stamped.
class BenchServices : public tobrik::app::QtWindowServices {
  public:
    QString directory;
    std::vector<Clock::time_point> ticks;
    std::vector<double> eventsMs; // time spent processing events, per address
    QStringList unexpectedMessages;

    int messageBox(const QString& text, int, const QString&) override {
        if (text != tobrik::text::kConfirmPrompt)
            unexpectedMessages << text;
        return tobrik::app::kAnswerOk;
    }
    void processEvents() override {
        ticks.push_back(Clock::now());
        QtWindowServices::processEvents();
        eventsMs.push_back(msBetween(ticks.back(), Clock::now()));
    }
    void startProgram(const QString&, const QString&,
                      const std::function<void(const QString&)>&) override {}
    void endProgram() override {}
    QString executableDirectory() override { return directory; }
};

struct SweepTiming {
    double sweepMs = 0;
    std::vector<double> addressMs;
    std::vector<double> eventsMs;
};

class Bench {
  public:
    // The window opens as the program opens it: loaded, then shown.
    Bench() {
        services.directory = QDir::toNativeSeparators(dir.path());
        form.Form_Load();
        form.show();
        QApplication::processEvents();
    }

    // One sweep through the window, as a click on Start answered with OK.
    SweepTiming sweep(const QString& prefix, int first, int last, bool names) {
        const auto octets = prefix.split('.');
        for (int i = 0; i < 3; ++i)
            form.txtSIP[i]->setText(octets[i]);
        form.txtSIP[3]->setText(QString::number(first));
        form.txtEIP[3]->setText(QString::number(last));
        form.optPCName[names ? 0 : 1]->setChecked(true);
        QApplication::processEvents();

        services.ticks.clear();
        services.eventsMs.clear();
        const auto start = Clock::now();
        form.cmdStart->click();
        const auto end = Clock::now();

        SweepTiming timing;
        timing.sweepMs = msBetween(start, end);
        // The loop processes events once before each address; the last
        // address ends with the sweep.
        const auto& ticks = services.ticks;
        for (std::size_t i = 0; i < ticks.size(); ++i)
            timing.addressMs.push_back(
                msBetween(ticks[i], i + 1 < ticks.size() ? ticks[i + 1] : end));
        timing.eventsMs = services.eventsMs;
        return timing;
    }

    // The logged results; fails when they are not all `expect` or their
    // number is not `count`, or a message other than the confirmation came.
    bool check(int count, const QString& expect, bool names) {
        QFile file(dir.path() + "/tobrik.log");
        if (!file.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "sweep bench: no log written\n");
            return false;
        }
        const auto lines = QString::fromUtf8(file.readAll()).split("\r\n", Qt::SkipEmptyParts);
        bool good = lines.size() == count && services.unexpectedMessages.isEmpty();
        for (const auto& line : lines) {
            const auto fields = line.split(',');
            const bool resultOk = fields.value(2) == expect;
            const bool nameOk =
                !names || expect != tobrik::text::kAnswered || !fields.value(3).isEmpty();
            if (!resultOk || !nameOk) {
                std::fprintf(stderr, "sweep bench: unexpected log line: %s\n", qPrintable(line));
                good = false;
            }
        }
        if (lines.size() != count)
            std::fprintf(stderr, "sweep bench: %lld log lines, expected %d\n",
                         static_cast<long long>(lines.size()), count);
        for (const auto& text : services.unexpectedMessages)
            std::fprintf(stderr, "sweep bench: message box: %s\n", qPrintable(text));
        return good;
    }

  private:
    QTemporaryDir dir;
    BenchServices services;
    frmMain form{services};
};

long residentKb() {
    std::ifstream status("/proc/self/status");
    std::string key;
    long value = 0;
    while (status >> key) {
        if (key == "VmRSS:") {
            status >> value;
            return value;
        }
        status.ignore(4096, '\n');
    }
    return -1;
}

// Open descriptors, and how many of them are sockets.
std::pair<int, int> descriptors() {
    int all = 0, sockets = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        ++all;
        std::error_code error;
        const auto target = std::filesystem::read_symlink(entry.path(), error);
        if (!error && target.string().rfind("socket:", 0) == 0)
            ++sockets;
    }
    return {all - 1, sockets}; // less the directory iterator's own
}

int usage() {
    std::fprintf(stderr,
                 "usage: tobrik_sweep_bench sweep PREFIX FIRST LAST names|nonames REPEAT "
                 "ok|ng [PAUSE_MS]\n       tobrik_sweep_bench probe PREFIX FIRST LAST REPEAT\n"
                 "       tobrik_sweep_bench resources SWEEPS\n");
    return 2;
}

int runSweeps(const QStringList& args) {
    if (args.size() != 7 && args.size() != 8)
        return usage();
    const auto pause = std::chrono::milliseconds(args.value(7, "0").toInt());
    const QString prefix = args[1];
    const int first = args[2].toInt(), last = args[3].toInt(), repeat = args[5].toInt();
    const bool names = args[4] == "names";
    const QString expect = args[6] == "ok" ? tobrik::text::kAnswered : tobrik::text::kNotAnswered;
    Bench bench;
    // The pause before each sweep is a user's, who types a range first.
    for (int run = 0; run < repeat; ++run) {
        std::this_thread::sleep_for(pause);
        const auto timing = bench.sweep(prefix, first, last, names);
        if (!bench.check(last - first + 1, expect, names))
            return 1;
        for (const double ms : timing.addressMs)
            std::printf("address_ms %.4f\n", ms);
        for (const double ms : timing.eventsMs)
            std::printf("events_ms %.4f\n", ms);
        std::printf("sweep_ms %.3f\n", timing.sweepMs);
    }
    return 0;
}

int runProbes(const QStringList& args) {
    if (args.size() != 5)
        return usage();
    const auto prefix = args[1].toStdString();
    const int first = args[2].toInt(), last = args[3].toInt(), repeat = args[4].toInt();
    tobrik::mdlKorvantiser::EchoReplyRecord reply;
    for (int run = 0; run < repeat; ++run) {
        for (int octet = first; octet <= last; ++octet) {
            const auto start = Clock::now();
            tobrik::mdlKorvantiser::PingHost(prefix + "." + std::to_string(octet),
                                             tobrik::net::kEchoData, reply);
            std::printf("probe_ms %.4f\n", msBetween(start, Clock::now()));
        }
    }
    return 0;
}

int runResources(const QStringList& args) {
    if (args.size() != 2)
        return usage();
    const int sweeps = args[1].toInt();
    Bench bench;
    auto report = [](int done) {
        const auto [all, sockets] = descriptors();
        std::printf("after %d rss_kb %ld fds %d sockets %d\n", done, residentKb(), all, sockets);
    };
    report(0);
    for (int done = 1; done <= sweeps; ++done) {
        bench.sweep("127.0.0", 1, 255, false);
        if (!bench.check(255, tobrik::text::kAnswered, false))
            return 1;
        report(done);
    }
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    // Offscreen unless a platform is asked for (xcb, to include an X server).
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const QStringList args = application.arguments().mid(1);
    if (args.isEmpty())
        return usage();
    // The echo service must be there: without it every address would fail
    // at once and the figures would mean nothing.
    tobrik::mdlKorvantiser::EchoReplyRecord first;
    if (tobrik::mdlKorvantiser::PingHost("127.0.0.1", tobrik::net::kEchoData, first) != 0) {
        std::fprintf(stderr, "sweep bench: %s\n",
                     tobrik::mdlKorvantiser::EchoServiceProblem().c_str());
        return 1;
    }
    std::printf("echo_socket %s\n", echoPath());
    int status = 2;
    if (args[0] == "sweep")
        status = runSweeps(args);
    else if (args[0] == "probe")
        status = runProbes(args);
    else if (args[0] == "resources")
        status = runResources(args);
    else
        return usage();
    std::fflush(stdout);
    return status;
}
