#include "listen.h"

#include <csignal>
#include <cstdio>
#include <memory>

#include "base/clock.h"
#include "sim/option_values.h"
#include "sim/rfc2217_server.h"
#include "sim/sim_device.h"

namespace kv58::sim {

const char* const kListenHelp =
    "  --listen [HOST:]PORT  serve the device as a network serial port (RFC 2217) on PORT of\n"
    "                        HOST (default 127.0.0.1, loopback only; 0.0.0.0 for every\n"
    "                        interface; PORT 0 lets the system choose). The first line of\n"
    "                        standard output is the port name to open, for example\n"
    "                        rfc2217://127.0.0.1:4000. DTR and RTS drive the entry sequence;\n"
    "                        the wire timing follows the line settings the client sets. One\n"
    "                        client at a time; Ctrl-C or SIGTERM ends.\n"
    "  --idle-timeout S      with --listen: drop a client that sends nothing for S seconds\n"
    "                        and serve the next one (default 60; 0: never). A client that\n"
    "                        holds the port for RUN sends nothing and is dropped too.\n";

namespace {

Rfc2217Server* volatile g_listening = nullptr;

extern "C" void onListenSignal(int) {
    if (g_listening)
        g_listening->stop();
}

void logLine(const std::string& line) {
    std::fprintf(stderr, "kv58-sim: %s\n", line.c_str());
}

}  // namespace

int serveListen(const DeviceOptions& options, const std::string& endpointText,
                int64_t idleTimeoutMs) {
    std::string error;
    ListenEndpoint endpoint;
    if (!parseListenEndpoint(endpointText, endpoint, error)) {
        logLine("--listen " + error);
        return 1;
    }
    std::unique_ptr<SimDevice> device = SimDevice::create(options, error);
    if (!device) {
        logLine(error);
        return 1;
    }
    std::unique_ptr<Rfc2217Server> server = Rfc2217Server::open(*device, endpoint, error);
    if (!server) {
        logLine(error);
        return 1;
    }
    std::printf("%s\n", server->portName().c_str());
    std::fflush(stdout);
    logLine("serving " + server->portName() + " at " +
            (options.line ? describe(*options.line) + " (the device's own line)"
                          : std::string("the line settings the client sets")) +
            ", loader " + formatLoaderVersion(options.loaderVersion) + "; Ctrl-C ends");
    server->setLog(logLine);
    server->setIdleTimeoutMs(idleTimeoutMs);
    g_listening = server.get();
    std::signal(SIGINT, onListenSignal);
    std::signal(SIGTERM, onListenSignal);
#ifdef SIGPIPE
    std::signal(SIGPIPE, SIG_IGN);
#endif
    const bool ok = server->serve(realClock(), error);
    g_listening = nullptr;
    if (!ok)
        logLine(error);
    return ok ? 0 : 1;
}

}  // namespace kv58::sim
