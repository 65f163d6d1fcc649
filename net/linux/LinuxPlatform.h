#pragma once
// The Linux platform: there is no sockets library to start, echo requests
// go through the echo service (a ping socket, or the echo helper), and
// names come from the system resolver, the machine's own ones from the
// hosts file and the interfaces.

#include "NetPlatform.h"
#include "linux/EchoService.h"
#include "linux/SocketCalls.h"

#include <string>

namespace tobrik::net::linux_net {

class LinuxPlatform final : public NetPlatform {
  public:
    // Every socket call goes through calls (the system's, or a test's);
    // helperPath names the echo helper to start where no ping socket is had.
    LinuxPlatform(SocketCalls& calls, std::string helperPath);

    // Linux has no sockets library: both always succeed. Starting it
    // readies the echo service instead (the ping socket, or the echo
    // helper), so that a helper started as the window opens has filled its
    // pace by the first sweep.
    int startup(std::uint16_t) override {
        echo_.ready();
        return 0;
    }
    int cleanup() override { return 0; }
    std::unique_ptr<EchoHandle> openEcho() override;
    std::string takeEchoProblem() override;
    std::optional<std::string> hostNameOf(std::uint32_t addr) override;
    std::optional<std::string> localHostName() override;
    std::optional<std::uint32_t> firstIPv4Of(const std::string& name) override;

  private:
    class Handle;
    EchoService echo_;
};

} // namespace tobrik::net::linux_net
