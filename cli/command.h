// kv58ctl's commands. Each command lives in its own file and registers itself with a
// CommandRegistrar at static-initialisation time; main() parses the global options and hands
// the remaining arguments to the command.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "settings/settings.h"

namespace kv58::cli {

class ConsoleUi;

// Exit codes of kv58ctl.
constexpr int kExitOk = 0;        // done; a write confirmed by its reread
constexpr int kExitFailure = 1;   // failed, and the transmitter is unchanged
constexpr int kExitSettings = 2;  // settings could not be loaded, as the desktop program
constexpr int kExitDamaged = 3;   // the transmitter is damaged or its state is unknown

struct Context {
    std::vector<std::string> args;            // arguments after the command name, globals removed
    std::string iniPath;                      // --ini, or the desktop program's settings file
    bool iniGiven = false;                    // --ini was on the command line
    std::vector<std::string> settingsPlaces;  // where the settings file was looked for
    std::optional<std::string> port;          // --port (the first, when given more than once)
    std::vector<std::string> ports;           // every --port and the ports of --ports FILE
    std::optional<std::string> logFile;       // --log: the production log
    bool json = false;                        // --json
    bool trace = false;                       // --trace
    bool yes = false;                         // --yes: answer the write questions with Yes
    ConsoleUi* ui = nullptr;
};

struct Command {
    const char* name;      // "settings", "ini", …
    const char* synopsis;  // one line for the overview
    const char* help;      // the command's own --help text (usage first)
    int (*run)(Context&);
};

struct CommandRegistrar {
    explicit CommandRegistrar(const Command& command);
};

const std::vector<Command>& commands();

// Reports a usage error of a command on stderr and returns kExitFailure.
int usageError(const Command& command, const std::string& problem);

// How the commands load the settings file: --port replaces its port, and `failure` is filled
// when the load fails.
SettingsLoadOptions settingsLoadOptions(const Context& ctx, SettingsLoadFailure& failure);
// Reports a failed load on stderr ("kv58ctl: FILE: [SECTION] KEY: REASON") and returns
// kExitSettings.
int reportSettingsFailure(const SettingsLoadFailure& failure);

}  // namespace kv58::cli
