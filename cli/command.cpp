#include "command.h"

#include <cstdio>

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
    std::fprintf(stderr, "kv58ctl %s: %s\n\n%s", command.name, problem.c_str(), command.help);
    return kExitFailure;
}

}  // namespace kv58::cli
