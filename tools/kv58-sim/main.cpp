// kv58-sim: the simulated KV58 transmitter for programs outside this process.
//
//   kv58-sim --pty [options]   serve on a new pseudo-terminal until interrupted
//   kv58-sim --listen [HOST:]PORT [options]   serve as a network serial port (listen.h)
//   kv58-sim --write-password FILE | --write-patch FILE   write a shipped data file
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "base/clock.h"
#include "base/version.h"
#include "listen.h"
#include "sim/device_options.h"
#include "sim/faults.h"
#include "sim/option_values.h"
#include "sim/pty_server.h"
#include "sim/shipped_images.h"
#include "sim/sim_device.h"

using namespace kv58;
using namespace kv58::sim;

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;

struct Arguments {
    bool help = false;
    bool version = false;
    bool pty = false;
    std::string listen;
    int64_t idleTimeoutMs = 60'000;
    std::string passwordOut, patchOut;
    DeviceOptions device;
};

// Prints `text` indented by `indent` columns, broken at blanks before column 80.
void printWrapped(const std::string& text, size_t indent) {
    const size_t width = 80 - indent;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = std::min(text.size(), start + width);
        if (end < text.size()) {
            const size_t blank = text.rfind(' ', end);
            if (blank != std::string::npos && blank > start)
                end = blank;
        }
        std::printf("%*s%s\n", static_cast<int>(indent), "",
                    text.substr(start, end - start).c_str());
        start = end + (end < text.size() && text[end] == ' ');
    }
}

void printHelp() {
    std::printf(
        "Usage: kv58-sim --pty [options]\n"
        "       kv58-sim --listen [HOST:]PORT [options]\n"
        "       kv58-sim --write-password FILE | --write-patch FILE\n\n"
        "A simulated KV58 transmitter: an MSP430 with its flash and ROM bootstrap loader.\n\n"
        "Modes:\n"
        "  --pty                 create a pseudo-terminal, print the path of its slave end on\n"
        "                        the first line of standard output, and serve the device\n"
        "                        there until interrupted (Ctrl-C, SIGTERM). A pseudo-terminal\n"
        "                        carries no modem lines and no parity: the loader runs from\n"
        "                        the start and a quiet line restarts it, so a synchronisation\n"
        "                        byte 0x80 is always answered with 0x90.\n"
        "%s"
        "  --write-password FILE write the password file of the simulated firmware (%s)\n"
        "  --write-patch FILE    write the loader patch image (%s)\n"
        "  --help                this text\n"
        "  --version             the version and the commit it was built from\n\n"
        "Device options (the same keys as in sim:?key=value port names):\n",
        kListenHelp, kPasswordFileName, kPatchFileName);
    for (const OptionHelp& o : deviceOptionHelp()) {
        std::printf("  --%s %s\n", o.key, o.value);
        printWrapped(o.text, 8);
    }
    std::printf(
        "  With --pty the defaults differ: --start loader --quiet-reset 400 --line 9600,8E1\n"
        "  (the character time of every byte follows --line).\n\n"
        "Faults (--fault, comma-separated, may be repeated):\n%s\n"
        "Example: kv58-sim --pty --loader 1.10 --state kv58-sim.state\n",
        faultHelpText());
}

// Seconds, with a fraction if need be, as whole milliseconds.
bool parseSeconds(const std::string& text, int64_t& ms) {
    char* end = nullptr;
    const double seconds = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !(seconds >= 0 && seconds <= 86'400))
        return false;
    ms = static_cast<int64_t>(seconds * 1000 + 0.5);
    return true;
}

bool parseArguments(int argc, char** argv, Arguments& args, std::string& error) {
    std::vector<std::pair<std::string, std::string>> deviceOptions;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            args.help = true;
            continue;
        }
        if (arg == "--version") {
            args.version = true;
            continue;
        }
        if (arg == "--pty") {
            args.pty = true;
            continue;
        }
        if (arg.rfind("--", 0) != 0 || i + 1 >= argc) {
            error = arg.rfind("--", 0) == 0 ? arg + " needs a value"
                                            : "unexpected argument '" + arg + "'";
            return false;
        }
        const std::string value = argv[++i];
        if (arg == "--idle-timeout" && !parseSeconds(value, args.idleTimeoutMs)) {
            error = "--idle-timeout " + value +
                    ": expected seconds from 0 to 86400 (0: never), e.g. 60 or 0.5";
            return false;
        }
        if (arg == "--idle-timeout")
            continue;
        if (arg == "--listen")
            args.listen = value;
        else if (arg == "--write-password")
            args.passwordOut = value;
        else if (arg == "--write-patch")
            args.patchOut = value;
        else
            deviceOptions.emplace_back(arg.substr(2), value);
    }
    if (args.pty) {
        args.device.start = StartMode::Loader;
        args.device.quietResetUs = 400'000;
        args.device.line = LineSettings{};
    }
    for (const auto& [key, value] : deviceOptions) {
        if (!setDeviceOption(args.device, key, value, error))
            return false;
    }
    return finishDeviceOptions(args.device, error);
}

bool writeTextFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out)
        std::fprintf(stderr, "kv58-sim: cannot write '%s'\n", path.c_str());
    return static_cast<bool>(out);
}

PtyServer* volatile g_server = nullptr;

extern "C" void onSignal(int) {
    if (g_server)
        g_server->stop();
}

int servePty(const DeviceOptions& options) {
    std::string error;
    std::unique_ptr<SimDevice> device = SimDevice::create(options, error);
    if (!device) {
        std::fprintf(stderr, "kv58-sim: %s\n", error.c_str());
        return kExitFailure;
    }
    device->setHostLine(*options.line);
    std::unique_ptr<PtyServer> server = PtyServer::open(*device, error);
    if (!server) {
        std::fprintf(stderr, "kv58-sim: %s\n", error.c_str());
        return kExitFailure;
    }
    std::printf("%s\n", server->slavePath().c_str());
    std::fflush(stdout);
    std::fprintf(stderr, "kv58-sim: serving on %s at %s, loader %s; Ctrl-C ends\n",
                 server->slavePath().c_str(), describe(*options.line).c_str(),
                 formatLoaderVersion(options.loaderVersion).c_str());
    g_server = server.get();
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    const bool ok = server->serve(realClock(), error);
    g_server = nullptr;
    if (!ok)
        std::fprintf(stderr, "kv58-sim: %s\n", error.c_str());
    return ok ? kExitOk : kExitFailure;
}

}  // namespace

int main(int argc, char** argv) {
    Arguments args;
    std::string error;
    if (!parseArguments(argc, argv, args, error)) {
        std::fprintf(stderr, "kv58-sim: %s (kv58-sim --help lists the options)\n", error.c_str());
        return kExitFailure;
    }
    if (args.help) {
        printHelp();
        return kExitOk;
    }
    if (args.version) {
        std::printf("%s\n", versionLine("kv58-sim").c_str());
        return kExitOk;
    }
    const bool writes = !args.passwordOut.empty() || !args.patchOut.empty();
    if (!args.passwordOut.empty() && !writeTextFile(args.passwordOut, passwordFileText())) {
        return kExitFailure;
    }
    if (!args.patchOut.empty() && !writeTextFile(args.patchOut, patchFileText())) {
        return kExitFailure;
    }
    if (args.pty && !args.listen.empty()) {
        std::fprintf(stderr, "kv58-sim: --pty and --listen exclude each other\n");
        return kExitFailure;
    }
    if (args.pty)
        return servePty(args.device);
    if (!args.listen.empty())
        return serveListen(args.device, args.listen, args.idleTimeoutMs);
    if (writes)
        return kExitOk;
    printHelp();
    return kExitFailure;
}
