// A Qt style plugin such as any user could put in a folder of their own and
// load into the program through QT_PLUGIN_PATH and -style: it tries to open
// a packet socket, which would read every frame on the machine's
// interfaces, and writes what it got into the file that
// TOBRIK_PROBE_REPORT names. It makes no style, so the program goes on.

#include <QStylePlugin>

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <linux/if_ether.h>
#include <sys/socket.h>
#include <unistd.h>

class PacketProbeStyle : public QStylePlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QStyleFactoryInterface_iid FILE "packet_probe.json")

  public:
    QStyle* create(const QString&) override {
        const int fd = socket(AF_PACKET, SOCK_RAW, htons(ETH_P_ALL));
        const int error = errno;
        const char* path = std::getenv("TOBRIK_PROBE_REPORT");
        if (FILE* report = path ? std::fopen(path, "w") : nullptr) {
            if (fd >= 0)
                std::fprintf(report, "packet socket opened\n");
            else
                std::fprintf(report, "packet socket refused: %s\n", std::strerror(error));
            std::fclose(report);
        }
        if (fd >= 0)
            close(fd);
        return nullptr;
    }
};

#include "PacketProbeStyle.moc"
