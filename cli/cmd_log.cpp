// kv58ctl log FILE: prints the production log, or exports it as CSV.
#include <cstdio>
#include <string>
#include <vector>

#include "base/text.h"
#include "base/timestamp.h"
#include "command.h"
#include "device/production_log.h"
#include "diagnostics.h"

namespace kv58::cli {

namespace {

int run(Context& ctx);

const Command kCommand{
    "log", "print the production log, or export it as CSV",
    "Usage: kv58ctl log FILE [--serial S] [--since DATE] [--csv]\n"
    "\n"
    "Prints the production log FILE (written with --log FILE or LogFile in [Program] of the\n"
    "settings file), one line per device operation, oldest first: time, station, operation,\n"
    "port, serial number, configuration word before and after, outcome with its exit code.\n"
    "  --serial S    only the operations on the transmitter with serial number S\n"
    "  --since DATE  only the operations at or after DATE: YYYY-MM-DD or\n"
    "                YYYY-MM-DDTHH:MM[:SS], local time unless a zone follows (Z, +01:00)\n"
    "  --csv         CSV (a header row, then one row per operation, every field of the log)\n"
    "                on standard output, for a spreadsheet; text fields that a spreadsheet\n"
    "                would take for a formula (=, +, -, @ first) get a leading apostrophe\n"
    "With --json the operations' lines as they are in the log, as a JSON array.\n"
    "Lines that are not operations (cut off or damaged) are named on stderr with their line\n"
    "number and skipped; the others are printed all the same.\n",
    run};
const CommandRegistrar kRegistrar(kCommand);

enum class Format { Text, Csv, Json };

struct Request {
    std::string file;
    LogFilter filter;
    Format format = Format::Text;
};

bool parseArgs(const Context& ctx, Request& r, std::string& error) {
    r.format = ctx.json ? Format::Json : Format::Text;
    const std::vector<std::string>& args = ctx.args;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == "--csv") {
            r.format = Format::Csv;
        } else if (arg == "--serial" && hasValue) {
            r.filter.serial = args[++i];
        } else if (arg == "--since" && hasValue) {
            r.filter.sinceUnixMs = parseIso8601(args[++i]);
            if (!r.filter.sinceUnixMs) {
                error = "--since " + args[i] +
                        ": expected a date YYYY-MM-DD or a time YYYY-MM-DDTHH:MM[:SS][zone]";
                return false;
            }
        } else if ((arg == "--serial" || arg == "--since") && !hasValue) {
            error = arg + " needs a value";
            return false;
        } else if (r.file.empty() && !arg.starts_with("--")) {
            r.file = arg;
        } else {
            error = "unexpected argument " + arg;
            return false;
        }
    }
    if (r.file.empty())
        error = "which log file?";
    return error.empty();
}

std::string wordText(const std::optional<LoggedConfiguration>& c) {
    return c ? strprintf("%04X", static_cast<unsigned>(c->word)) : "-";
}

std::string textLine(const LogRecord& r) {
    return strprintf("%s  %s  %-12s %s  %s  %s -> %s  %s (exit %d)\n", r.time.c_str(),
                     r.station.c_str(), r.operation.c_str(), r.port.c_str(),
                     r.serial.empty() ? "-" : r.serial.c_str(), wordText(r.before).c_str(),
                     wordText(r.after).c_str(), r.outcome.c_str(), r.exitCode);
}

// One CSV text field: quoted where it must be (RFC 4180), and kept from being a formula.
std::string csvText(const std::string& text) {
    std::string value = text;
    if (!value.empty() && std::string("=+-@\t\r").find(value[0]) != std::string::npos)
        value.insert(0, "'");
    if (value.find_first_of(",\"\r\n") == std::string::npos)
        return value;
    std::string quoted = "\"";
    for (char c : value)
        quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

constexpr const char* kCsvHeader =
    "time,station,program,operation,port,serial,type,softwareVersion,"
    "beforeWord,beforeOutput,beforeUnit,beforeTmin,beforeTmax,beforeDisplay,beforeAlarmRelay,"
    "beforeFactoryCalibration,"
    "afterWord,afterOutput,afterUnit,afterTmin,afterTmax,afterDisplay,afterAlarmRelay,"
    "afterFactoryCalibration,"
    "outcome,exitCode,attempts,durationMs,backupFile,backupEntry\n";

std::string csvConfiguration(const std::optional<LoggedConfiguration>& c) {
    if (!c)
        return ",,,,,,,,";
    return strprintf("%04X,%s,%s,%d,%d,%s,%s,%s,", static_cast<unsigned>(c->word),
                     csvText(c->output).c_str(), csvText(c->unit).c_str(), c->tMin, c->tMax,
                     csvText(c->display).c_str(), c->alarmRelay ? "Yes" : "No",
                     c->factoryCalibration ? "yes" : "no");
}

std::string csvRow(const LogRecord& r) {
    std::string row;
    for (const std::string* text : {&r.time, &r.station, &r.program, &r.operation, &r.port,
                                    &r.serial, &r.type, &r.softwareVersion}) {
        row += csvText(*text) + ",";
    }
    row += csvConfiguration(r.before) + csvConfiguration(r.after);
    row += csvText(r.outcome);
    row += strprintf(",%d,%d,%lld,", r.exitCode, r.attempts, static_cast<long long>(r.durationMs));
    return row + csvText(r.backupFile) + strprintf(",%d\r\n", r.backupEntry);
}

int run(Context& ctx) {
    Request request;
    std::string error;
    if (!parseArgs(ctx, request, error))
        return usageError(kCommand, error);
    if (request.format == Format::Csv)
        std::fputs(kCsvHeader, stdout);
    bool first = true;
    const auto onRecord = [&](const LogRecord& record, std::string_view) {
        switch (request.format) {
            case Format::Text:
                std::fputs(textLine(record).c_str(), stdout);
                break;
            case Format::Csv:
                std::fputs(csvRow(record).c_str(), stdout);
                break;
            case Format::Json:
                // Written anew, so that lines of older versions give today's types too.
                std::fputs(first ? "[\n  " : ",\n  ", stdout);
                std::string json = formatLogLine(record);
                json.pop_back();  // its line end
                std::fputs(json.c_str(), stdout);
                break;
        }
        first = false;
    };
    const auto onDamaged = [&](long number, const std::string& fault) {
        std::fprintf(stderr, "kv58ctl: %s: line %ld is not an operation of the log (%s); skipped\n",
                     request.file.c_str(), number, fault.c_str());
    };
    if (!readProductionLog(request.file, request.filter, onRecord, onDamaged, error)) {
        printError("kv58ctl: %s\n", error.c_str());
        return kExitFailure;
    }
    if (request.format == Format::Json)
        std::fputs(first ? "[]\n" : "\n]\n", stdout);
    return std::fflush(stdout) == 0 ? kExitOk : kExitFailure;
}

}  // namespace

}  // namespace kv58::cli
