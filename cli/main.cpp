// kv58ctl: the command-line face of every capability of the Configurator.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "base/critical_section.h"
#include "base/data_files.h"
#include "base/paths.h"
#include "base/version.h"
#include "command.h"
#include "console_code_page.h"
#include "console_ui.h"
#include "diagnostics.h"
#include "every_port.h"
#include "json_text.h"
#include "outcome_output.h"
#include "port_list_file.h"
#include "settings/settings_location.h"
#include "sim/sim_port.h"

using namespace kv58;
using namespace kv58::cli;

namespace {

// The desktop program's file name; its settings file is found by the same rule.
constexpr const char* kDesktopProgram = "KV58";

const char* const kGlobalHelp =
    "Global options (anywhere on the line):\n"
    "  --ini FILE    settings file (default: the desktop program's, KV58.ini beside kv58ctl,\n"
    "                or installed: ~/.config/kv58/, /etc/kv58/, the sample in share/kv58/)\n"
    "  --port NAME   serial port instead of the settings file's: COM3, /dev/ttyUSB0,\n"
    "                rfc2217://host:port, sim: or sim:?key=value&..., auto (the one USB\n"
    "                serial adapter present) or usb:SERIAL (the adapter with that USB serial\n"
    "                number)\n"
    "                Given more than once (or with --ports), read, write, dump, program and\n"
    "                backup restore run on every port at once, each port with its own\n"
    "                outcome, then a summary table (with --json an array, one object a\n"
    "                port); the exit code is the worst of the ports'\n"
    "  --ports FILE  the ports, one a line (blank lines and lines starting with # skipped)\n"
    "  --log FILE    append a line per device operation to the production log FILE\n"
    "                (instead of LogFile in [Program] of the settings file); when FILE\n"
    "                cannot be written, no device operation starts\n"
    "  --json        machine-readable output: stdout holds JSON only (every other line\n"
    "                goes to stderr); a failed command prints {\"ok\": false, \"error\": ...,\n"
    "                \"outcome\": ..., \"wayBack\": ...}; yes/no values are booleans, dates\n"
    "                ISO 8601\n"
    "  --trace       print every byte on the link, with its time, on stderr\n"
    "  --yes         answer the program's questions with Yes\n"
    "  --help        this text, or a command's own help after the command\n"
    "  --version     the version and the commit it was built from\n"
    "Exit codes:\n"
    "  0  success (a write, restore or programming run confirmed by its reread)\n"
    "  1  failure, and the transmitter is unchanged\n"
    "  2  the settings could not be loaded\n"
    "  3  the transmitter is damaged or its state is unknown (a segment erased or\n"
    "     half-written, a change that could not be verified); the way back is printed\n";

void printOverview(FILE* out) {
    std::fprintf(out,
                 "Usage: kv58ctl [options] COMMAND [arguments]\n\n"
                 "Reads and changes the configuration of KV58 transmitters.\n\nCommands:\n");
    for (const Command& c : commands())
        std::fprintf(out, "  %-14s %s\n", c.name, c.synopsis);
    std::fprintf(out, "\n%s", kGlobalHelp);
}

const Command* findCommand(const std::string& name) {
    for (const Command& c : commands()) {
        if (name == c.name)
            return &c;
    }
    return nullptr;
}

// With --json a failed command ends with one object on stdout: its reasons and what it left
// on the transmitter (a command that touched none left it unchanged).
void printFailureObject(const Context& ctx, int code) {
    std::string outcome = failureOutcome();
    if (outcome.empty()) {
        Outcome left;
        left.state = code == kExitDamaged ? TransmitterState::Unknown : TransmitterState::Unchanged;
        outcome = outcomeJson(ctx, left);
    }
    std::string error = errorsSoFar();
    if (error.empty())
        error = strprintf("kv58ctl ended with exit code %d", code);
    std::printf("{\"ok\": false, \"error\": %s, %s}\n", jsonString(error).c_str(), outcome.c_str());
}

// A command given several ports runs on each at once (every_port.h).
int severalPorts(const Context& ctx, const Command& command) {
    if (!runsOnSeveralPorts(command.name, ctx.args)) {
        printError(
            "kv58ctl: %s runs on one port; several ports are for read, write, dump, "
            "program and backup restore\n",
            command.name);
        return kExitFailure;
    }
    if (const std::string twice = portGivenTwice(ctx.ports); !twice.empty()) {
        printError("kv58ctl: port %s is given twice\n", twice.c_str());
        return kExitFailure;
    }
    const bool asks = std::string(command.name) != "read" && std::string(command.name) != "dump";
    if (asks && !ctx.yes) {
        printError(
            "kv58ctl: %s on several ports asks no questions: give --yes to answer them "
            "for every port\n",
            command.name);
        return kExitFailure;
    }
    const int code = runOnEveryPort(ctx, command.name, ctx.ports);
#ifndef _WIN32
    if (ctx.json)
        markJsonResultPrinted();  // the array of the ports' objects is the result
#endif
    return code;
}

int runCommand(Context& ctx, const std::string& commandName, bool help) {
    if (commandName.empty()) {
        // Under --json the overview is no result: stdout stays for JSON.
        printOverview(help && !ctx.json ? stdout : stderr);
        return help ? kExitOk : kExitFailure;
    }
    const Command* command = findCommand(commandName);
    if (!command) {
        printError("kv58ctl: unknown command '%s' (kv58ctl --help lists them)\n",
                   commandName.c_str());
        return kExitFailure;
    }
    if (help) {
        std::printf("%s\n%s", command->help, kGlobalHelp);
        return kExitOk;
    }
    if (!ctx.ports.empty())
        ctx.port = ctx.ports.front();
    if (ctx.ports.size() > 1)
        return severalPorts(ctx, *command);
    return command->run(ctx);
}

int failedBeforeTheCommand(const Context& ctx) {
    if (ctx.json)
        printFailureObject(ctx, kExitFailure);
    return kExitFailure;
}

// The desktop program's settings file, found as the desktop program finds it; when there is
// none, the place beside kv58ctl, which the load then reports as missing.
void findDefaultSettings(Context& ctx) {
    const std::string dir = dirName(programPath());
    const SettingsSearch search =
        findSettingsFile((dir.empty() ? std::string() : dir + "/") + kDesktopProgram);
    ctx.iniPath = search.path.empty() ? search.places.front() : search.path;
    ctx.settingsPlaces = search.places;
}

}  // namespace

int main(int argc, char** argv) {
    const kv58::cli::Utf8Console console;
    setHeldInterruptReporter([](const std::string& request) {
        std::fprintf(stderr, "kv58ctl: %s was held until the transmitter was safe; ending now\n",
                     request.c_str());
    });
    Context ctx;
    // Known before the line is read, so that a mistake on it is reported as JSON too.
    for (int i = 1; i < argc; ++i)
        ctx.json |= std::strcmp(argv[i], "--json") == 0;
    bool help = false;
    std::string commandName;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--ini" || arg == "--port" || arg == "--log" || arg == "--ports") {
            if (!hasValue) {
                printError("kv58ctl: %s needs a value\n", arg.c_str());
                return failedBeforeTheCommand(ctx);
            }
            if (arg == "--ini") {
                ctx.iniPath = argv[++i];
            } else if (arg == "--ports") {
                std::string error;
                if (!readPortsFile(argv[++i], ctx.ports, error)) {
                    printError("kv58ctl: %s\n", error.c_str());
                    return failedBeforeTheCommand(ctx);
                }
            } else if (arg == "--port") {
                ctx.ports.emplace_back(argv[++i]);
            } else {
                ctx.logFile.emplace(argv[++i]);
            }
            ctx.iniGiven |= arg == "--ini";
        } else if (arg == "--json") {
            ctx.json = true;
        } else if (arg == "--trace") {
            ctx.trace = true;
        } else if (arg == "--yes") {
            ctx.yes = true;
        } else if (arg == "--help" || arg == "-h") {
            help = true;
        } else if (arg == "--version") {
            std::printf("%s\n", versionLine("kv58ctl").c_str());
            return kExitOk;
        } else if (commandName.empty() && (arg.empty() || arg[0] != '-')) {
            commandName = arg;
        } else if (commandName.empty()) {
            // Before the command only global options stand; a mistyped one must not make its
            // value look like the command ("--prot sim: read").
            printError("kv58ctl: unknown option '%s' (kv58ctl --help lists them)\n", arg.c_str());
            return failedBeforeTheCommand(ctx);
        } else {
            ctx.args.push_back(arg);
        }
    }
    if (ctx.iniGiven)
        ctx.settingsPlaces = {ctx.iniPath};
    else
        findDefaultSettings(ctx);
    // The simulated transmitter's state file is a data file of the settings like any other.
    kv58::sim::registerSimPortScheme(
        [home = folderForNewFiles(ctx.iniPath, programPath())](const std::string& name) {
            return placeDataFile(name, home);
        });
    ConsoleUi ui(ctx.yes);
    ctx.ui = &ui;
    const int code = runCommand(ctx, commandName, help);
    if (ctx.json && code != kExitOk && !jsonResultPrinted())
        printFailureObject(ctx, code);
    return code;
}
