// kv58ctl ini get|set: one key of a profile file, read or written exactly as the program's
// own profile calls do it.
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "base/text.h"
#include "command.h"
#include "diagnostics.h"
#include "json_text.h"
#include "settings/profile.h"

namespace kv58::cli {

namespace {

int run(Context& ctx);

const Command kCommand{
    "ini", "read or write one key of a settings or last-values file",
    "Usage: kv58ctl ini get FILE SECTION KEY [--default TEXT] [--size N]\n"
    "       kv58ctl ini set FILE SECTION KEY VALUE\n"
    "\n"
    "get prints what the program's own read of that key returns: the text on the first line,\n"
    "the number of characters returned on the second. A missing file, section or key gives\n"
    "TEXT (default empty) without its trailing blanks; the text is cut to N - 1 characters\n"
    "(N is the buffer size, default 1024). With --json: {\"text\": ..., \"count\": ...}.\n"
    "set writes VALUE to the key, creating the file and the section when missing and keeping\n"
    "every other line of the file as it is.\n"
    "Texts are UTF-8 on the terminal; the files may be Windows-1252 or UTF-8.\n",
    run};

const CommandRegistrar kRegistrar(kCommand);

struct GetOptions {
    std::string defaultText;
    size_t bufferSize = 1024;
};

// Takes --default and --size out of `args`; false (with `problem`) on a malformed option.
bool takeOptions(std::vector<std::string>& args, GetOptions& options, std::string& problem) {
    std::vector<std::string> rest;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg != "--default" && arg != "--size") {
            rest.push_back(arg);
            continue;
        }
        if (i + 1 >= args.size()) {
            problem = arg + " needs a value";
            return false;
        }
        const std::string& value = args[++i];
        if (arg == "--default") {
            options.defaultText = utf8ToCp1252(value);
            continue;
        }
        const char* end = value.data() + value.size();
        const auto [ptr, ec] = std::from_chars(value.data(), end, options.bufferSize);
        if (ec != std::errc() || ptr != end) {
            problem = "--size needs a number of characters, not '" + value + "'";
            return false;
        }
    }
    args = rest;
    return true;
}

int runGet(Context& ctx, std::vector<std::string> args) {
    GetOptions options;
    std::string problem;
    if (!takeOptions(args, options, problem))
        return usageError(kCommand, problem);
    if (args.size() != 3)
        return usageError(kCommand, "ini get needs FILE SECTION KEY");
    std::error_code ec;
    if (!std::filesystem::exists(args[0], ec)) {
        std::fprintf(stderr, "kv58ctl: note: %s does not exist; the default applies\n",
                     args[0].c_str());
    }
    std::string text;
    const size_t count = getProfileString(args[0], utf8ToCp1252(args[1]), utf8ToCp1252(args[2]),
                                          options.defaultText, text, options.bufferSize);
    if (ctx.json) {
        std::printf("{\"text\": %s, \"count\": %zu}\n", jsonCp1252(text).c_str(), count);
    } else {
        std::printf("%s\n%zu\n", cp1252ToUtf8(text).c_str(), count);
    }
    return kExitOk;
}

int runSet(std::vector<std::string> args) {
    if (args.size() != 4)
        return usageError(kCommand, "ini set needs FILE SECTION KEY VALUE");
    if (!writeProfileString(args[0], utf8ToCp1252(args[1]), utf8ToCp1252(args[2]),
                            utf8ToCp1252(args[3]))) {
        printError(
            "kv58ctl: cannot write [%s] %s to %s (the folder must exist and be "
            "writable; names must not be empty, values hold no line ends; a "
            "Windows-1252 file is left alone where the write would make its other "
            "lines read as UTF-8: save it as UTF-8 first)\n",
            args[1].c_str(), args[2].c_str(), args[0].c_str());
        return kExitFailure;
    }
    return kExitOk;
}

int run(Context& ctx) {
    if (ctx.args.empty())
        return usageError(kCommand, "get or set is missing");
    const std::vector<std::string> rest(ctx.args.begin() + 1, ctx.args.end());
    if (ctx.args[0] == "get")
        return runGet(ctx, rest);
    if (ctx.args[0] == "set")
        return runSet(rest);
    return usageError(kCommand, "unknown subcommand '" + ctx.args[0] + "'");
}

}  // namespace

}  // namespace kv58::cli
