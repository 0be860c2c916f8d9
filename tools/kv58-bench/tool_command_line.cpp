#include "tool_command_line.h"

#include <cstdio>

#include "base/version.h"

namespace kv58::tools {

namespace {

int refuse(const char* program, const std::string& error) {
    std::fprintf(stderr, "%s: %s (%s --help shows the options)\n", program, error.c_str(), program);
    return kExitUsage;
}

}  // namespace

int runWithOptions(const char* program, int argc, char** argv, const OptionTaker& take,
                   const std::function<void()>& printHelp, const std::function<int()>& run) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            printHelp();
            return 0;
        }
        if (arg == "--version") {
            std::printf("%s\n", versionLine(program).c_str());
            return 0;
        }
        if (i + 1 >= argc) {
            return refuse(program, arg.rfind("--", 0) == 0 ? arg + " needs a value"
                                                           : "unexpected '" + arg + "'");
        }
        std::string error;
        if (!take(arg, argv[++i], error))
            return refuse(program, error);
    }
    return run();
}

}  // namespace kv58::tools
