#include "command.h"

#include <cstdio>

#include "diagnostics.h"

namespace kv58::cli {

namespace {
std::vector<Command>& registry() {
    static std::vector<Command> r;
    return r;
}
}  // namespace

CommandRegistrar::CommandRegistrar(const Command& command) {
    registry().push_back(command);
}

const std::vector<Command>& commands() {
    return registry();
}

int usageError(const Command& command, const std::string& problem) {
    printError("kv58ctl %s: %s\n\n%s", command.name, problem.c_str(), command.help);
    return kExitFailure;
}

SettingsLoadOptions settingsLoadOptions(const Context& ctx, SettingsLoadFailure& failure) {
    SettingsLoadOptions options;
    options.port = ctx.port;
    options.logFile = ctx.logFile;
    options.failure = &failure;
    options.placesSearched = ctx.settingsPlaces;
    return options;
}

int reportSettingsFailure(const SettingsLoadFailure& failure) {
    printError("kv58ctl: %s\n", describe(failure).c_str());
    return kExitSettings;
}

}  // namespace kv58::cli
