// tftp_fault_server: the fault-playing TFTP server of FaultServer.h as a program, for the
// window tests of the real Zamri.exe under Wine.
//
//   tftp_fault_server [--duplicate-acks] [--error-at BLOCK CODE TEXT] [--delay BLOCK]
//                     [--stranger] FOLDER
//
// Prints "port N" once it listens on 127.0.0.1, then one line per write request, error
// datagram and completed write. On SIGTERM or SIGINT it prints its tally and ends:
//   tally writes W data D blocks B after-error A strays S complete 0|1
#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "FaultServer.h"

namespace {

std::atomic<bool> g_stop{false};

void OnSignal(int) {
    g_stop = true;
}

int Usage() {
    std::fprintf(stderr, "usage: tftp_fault_server [--duplicate-acks] [--error-at BLOCK CODE "
                         "TEXT] [--delay BLOCK] [--stranger] FOLDER\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    FaultPlan plan;
    const char* folder = nullptr;
    for (int i = 1; i < argc; ++i) {
        const auto left = argc - i - 1;
        if (!std::strcmp(argv[i], "--duplicate-acks")) {
            plan.duplicateAcks = true;
        } else if (!std::strcmp(argv[i], "--stranger")) {
            plan.stranger = true;
        } else if (!std::strcmp(argv[i], "--error-at") && left >= 3) {
            plan.errorAtBlock = static_cast<uint32_t>(std::strtoul(argv[++i], nullptr, 10));
            plan.errorCode = static_cast<uint16_t>(std::strtoul(argv[++i], nullptr, 10));
            plan.errorText = argv[++i];
        } else if (!std::strcmp(argv[i], "--delay") && left >= 1) {
            plan.delayBlock = static_cast<uint32_t>(std::strtoul(argv[++i], nullptr, 10));
        } else if (argv[i][0] != '-' && !folder) {
            folder = argv[i];
        } else {
            return Usage();
        }
    }
    if (!folder)
        return Usage();

    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    FaultServer server(plan, folder, stdout);
    if (!server.Ready()) {
        std::fprintf(stderr, "tftp_fault_server: no loopback socket\n");
        return 1;
    }
    std::signal(SIGTERM, OnSignal);
    std::signal(SIGINT, OnSignal);
    std::printf("port %u\n", server.Port());
    server.Serve(g_stop);
    const FaultTally& t = server.Tally();
    std::printf("tally writes %u data %u blocks %u after-error %u strays %u complete %d\n",
                t.writes, t.data, t.blocks, t.afterError, t.strays, t.complete ? 1 : 0);
    return 0;
}
