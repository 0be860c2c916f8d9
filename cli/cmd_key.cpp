// kv58ctl key decode|encode: the limits key of "Program"/"Key01", for checking a settings file
// and for installers that write one.
#include <array>
#include <charconv>
#include <cstdio>
#include <string>

#include "base/text.h"
#include "command.h"
#include "diagnostics.h"
#include "json_text.h"
#include "outcome_output.h"
#include "settings/limits_key.h"

namespace kv58::cli {

namespace {

int run(Context& ctx);

const Command kCommand{
    "key", "decode or make the limits key (Key01)",
    "Usage: kv58ctl key decode KEY\n"
    "       kv58ctl key encode MINC MAXC DIFFC MINF MAXF DIFFF\n"
    "\n"
    "decode prints the plain text of KEY, e.g. v-040b+120d+020v-040b+248d+036, or an empty\n"
    "line and exit code 1 when its checksum does not match (the program then takes all\n"
    "limits as 0). With --json it also gives the six limits and whether they are valid.\n"
    "encode prints a key for the temperature limits: minimum, maximum and minimum\n"
    "difference in degrees C, then in degrees F, each from -999 to 999. Limits whose\n"
    "range is smaller than the minimum difference are refused, since the program would not\n"
    "start with them.\n",
    run};

const CommandRegistrar kRegistrar(kCommand);

int runDecode(Context& ctx) {
    if (ctx.args.size() != 2)
        return usageError(kCommand, "key decode needs one KEY");
    const std::string plain = DecodeKey(ctx.args[1]);
    const bool matches = !plain.empty();
    constexpr const char* kMismatch = "the key's checksum does not match";
    if (ctx.json) {
        const TemperatureLimits l = limitsFromPlainText(plain);
        // A key that does not match is a failure with what it decodes to, in one object.
        const std::string failure = matches
                                        ? std::string()
                                        : strprintf(", \"ok\": false, \"error\": \"%s\", %s",
                                                    kMismatch, outcomeJson(ctx, Outcome{}).c_str());
        std::printf(
            "{\"plain\": %s, \"checksumOk\": %s, \"Limits\": [%d, %d, %d, %d, %d, "
            "%d], \"valid\": %s%s}\n",
            jsonCp1252(plain).c_str(), matches ? "true" : "false", l.minC, l.maxC, l.minDiffC,
            l.minF, l.maxF, l.minDiffF, l.isValid() ? "true" : "false", failure.c_str());
        markJsonResultPrinted();
    } else {
        std::printf("%s\n", cp1252ToUtf8(plain).c_str());
    }
    if (!matches) {
        printError("kv58ctl: %s\n", kMismatch);
        return kExitFailure;
    }
    return kExitOk;
}

bool parseLimit(const std::string& text, int32_t& value) {
    const char* begin = text.data();
    if (!text.empty() && text[0] == '+')
        ++begin;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(begin, end, value);
    return ec == std::errc() && ptr == end && begin != end;
}

int runEncode(Context& ctx) {
    if (ctx.args.size() != 7)
        return usageError(kCommand, "key encode needs six limits");
    std::array<int32_t, 6> v{};
    for (size_t i = 0; i < v.size(); ++i) {
        if (!parseLimit(ctx.args[i + 1], v[i]) || v[i] < -999 || v[i] > 999) {
            return usageError(kCommand,
                              "'" + ctx.args[i + 1] + "' is no whole number from -999 to 999");
        }
    }
    const TemperatureLimits limits{v[0], v[1], v[2], v[3], v[4], v[5]};
    if (!limits.isValid()) {
        printError(
            "kv58ctl: these limits are not valid: maximum - minimum must be at least the "
            "minimum difference on both scales\n");
        return kExitFailure;
    }
    if (ctx.json)
        std::printf("{\"key\": %s}\n", jsonString(EncodeKey(limits)).c_str());
    else
        std::printf("%s\n", EncodeKey(limits).c_str());
    return kExitOk;
}

int run(Context& ctx) {
    if (ctx.args.empty())
        return usageError(kCommand, "decode or encode is missing");
    if (ctx.args[0] == "decode")
        return runDecode(ctx);
    if (ctx.args[0] == "encode")
        return runEncode(ctx);
    return usageError(kCommand, "unknown subcommand '" + ctx.args[0] + "'");
}

}  // namespace

}  // namespace kv58::cli
