// A Qt style plugin any user could load into the program (QT_PLUGIN_PATH,
// -style). It tries to open a packet socket, which would read every frame;
// then, while the program runs, looks for a raw socket among the program's
// descriptors and its children's (pidfd_getfd, as far as the kernel lets
// it), writing a line per finding ("raw socket ...") and per child looked
// into to the file TOBRIK_PROBE_REPORT names. It makes no style.

#include <QStylePlugin>

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <linux/if_ether.h>
#include <set>
#include <string>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>
#include <utility>

namespace {

void report(const std::string& line) {
    const char* path = std::getenv("TOBRIK_PROBE_REPORT");
    if (FILE* file = path ? std::fopen(path, "a") : nullptr) {
        std::fprintf(file, "%s\n", line.c_str());
        std::fclose(file);
    }
}

// A raw IP or packet socket in the plugin's hands sends packets with any
// source address (IP_HDRINCL) and, its filter detached, reads every ICMP
// packet. (Netlink sockets are of type SOCK_RAW too, and harmless.)
bool usableRaw(int fd) {
    int type = 0, domain = 0;
    socklen_t length = sizeof type;
    if (getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &length) != 0 || type != SOCK_RAW)
        return false;
    length = sizeof domain;
    return getsockopt(fd, SOL_SOCKET, SO_DOMAIN, &domain, &length) == 0 &&
           (domain == AF_INET || domain == AF_INET6 || domain == AF_PACKET);
}

std::set<int> numbersIn(const char* folder) {
    std::set<int> numbers;
    if (DIR* listing = opendir(folder)) {
        while (const dirent* entry = readdir(listing))
            if (entry->d_name[0] >= '0' && entry->d_name[0] <= '9')
                numbers.insert(std::atoi(entry->d_name));
        closedir(listing);
    }
    return numbers;
}

std::set<int> children() {
    std::set<int> found;
    for (const int task : numbersIn("/proc/self/task")) {
        std::ifstream list("/proc/self/task/" + std::to_string(task) + "/children");
        for (int pid; list >> pid;)
            found.insert(pid);
    }
    return found;
}

// Takes each of a child's first descriptors; the first refusal's error.
int searchChild(int pid, std::set<std::pair<int, int>>& found) {
    const int pidfd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    if (pidfd < 0)
        return errno;
    int refusal = 0;
    for (int target = 0; target < 64; ++target) {
        const int fd = static_cast<int>(syscall(SYS_pidfd_getfd, pidfd, target, 0));
        if (fd < 0) {
            refusal = refusal ? refusal : (errno == EBADF ? 0 : errno);
            continue;
        }
        if (usableRaw(fd) && found.insert({pid, target}).second)
            report("raw socket in child " + std::to_string(pid) + ", descriptor " +
                   std::to_string(target));
        close(fd);
    }
    close(pidfd);
    return refusal;
}

void search() {
    std::set<std::pair<int, int>> found;
    std::set<std::string> seen; // "pid name": a child is told again once it has run a program
    for (;;) {
        for (const int fd : numbersIn("/proc/self/fd"))
            if (usableRaw(fd) && found.insert({0, fd}).second)
                report("raw socket in the program, descriptor " + std::to_string(fd));
        for (const int pid : children()) {
            const int refusal = searchChild(pid, found);
            std::string name;
            std::ifstream("/proc/" + std::to_string(pid) + "/comm") >> name;
            if (!seen.insert(std::to_string(pid) + " " + name).second)
                continue;
            report("child " + std::to_string(pid) + " " + name + ": " +
                   (refusal ? std::strerror(refusal) : "descriptors taken"));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

} // namespace

class PacketProbeStyle : public QStylePlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QStyleFactoryInterface_iid FILE "packet_probe.json")

  public:
    QStyle* create(const QString&) override {
        const int fd = socket(AF_PACKET, SOCK_RAW, htons(ETH_P_ALL));
        const int error = errno;
        report(fd >= 0 ? "packet socket opened"
                       : std::string("packet socket refused: ") + std::strerror(error));
        if (fd >= 0)
            close(fd);
        std::thread(search).detach();
        return nullptr;
    }
};

#include "PacketProbeStyle.moc"
