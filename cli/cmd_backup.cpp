// kv58ctl backup list FILE and backup restore FILE: the entries of an InfoMemory backup file,
// and putting one of them back into the transmitter.
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "app_session.h"
#include "base/clock.h"
#include "base/paths.h"
#include "base/text.h"
#include "command.h"
#include "config_output.h"
#include "console_ui.h"
#include "device/backup_reader.h"
#include "device/backup_restore.h"
#include "device/choices.h"
#include "device/outcomes.h"
#include "device/production_log.h"
#include "device/segment_state.h"
#include "diagnostics.h"
#include "json_text.h"
#include "outcome_output.h"

namespace kv58::cli {

namespace {

int run(Context& ctx);

const Command kCommand{
    "backup", "list the entries of a backup file, or restore one into the transmitter",
    "Usage: kv58ctl backup list FILE\n"
    "       kv58ctl backup restore FILE [--entry N] [--with-segment-b]\n"
    "                              [--force-serial | --match-segment-b] --yes\n"
    "\n"
    "FILE is a backup file as the Configurator appends to before every write (SavePath,\n"
    "one file per serial number, e.g. backup/K58-104711.dat).\n"
    "\n"
    "list prints one line per entry, oldest first: its index, date and time, and the\n"
    "configuration its Segment A holds (type, output, unit, T min, T max, display, relay,\n"
    "serial number), and when a segment of it is not a transmitter's own, that its\n"
    "Segment A is erased or implausible, or its Segment B erased. With --json an array of\n"
    "objects with the keys index, line, date (ISO 8601 local time, 2026-12-07T13:19),\n"
    "damaged, erased, segmentA, segmentB, type, output, unit, tmin, tmax, display,\n"
    "alarmRelay (a boolean), serial and word (a damaged entry: index,\n"
    "line, damaged, damageLine and error). A damaged entry is listed with the line where the\n"
    "fault was found; the others are read on. Indexes count every entry, damaged ones\n"
    "included, so they never shift.\n"
    "\n"
    "restore reads the transmitter, checks that its serial number is the entry's, appends\n"
    "the transmitter's present information memory to its own backup file (SavePath, even\n"
    "with SaveData off; restoring that newest entry undoes the restore), writes the entry's\n"
    "Segment A (and Segment B with --with-segment-b) as a configuration write does, with the\n"
    "attempts of MaxWriteCnt, rereads and compares byte for byte.\n"
    "  --entry N         the entry by its index in list (default: the newest)\n"
    "  --with-segment-b  also write the entry's Segment B (calibration)\n"
    "  --force-serial    write even when the serial numbers differ; needed when the\n"
    "                    transmitter's Segment A is erased and so has no serial number\n"
    "  --match-segment-b know the transmitter by its Segment B (calibration), which must be\n"
    "                    the entry's byte for byte, instead of its serial number: for a\n"
    "                    transmitter whose Segment A is erased or damaged\n"
    "  --yes             answers the question \"restore the backup of ...?\"\n"
    "An entry whose Segment A is erased or implausible is never restored, nor with\n"
    "--with-segment-b one whose Segment B is erased. Ctrl-C, SIGTERM and SIGHUP are held\n"
    "from the first erase to the closing line, and honoured right after it.\n"
    "Exits with 0 only when the reread matches the entry; 1 when nothing was written; 3\n"
    "when the transmitter is left damaged or unverified (the way back is printed).\n",
    run};
const CommandRegistrar kRegistrar(kCommand);

constexpr char kDegreeSign = '\xB0';

struct Request {
    std::string action;  // "list" or "restore"
    std::string file;
    std::optional<int> entry;
    RestoreOptions options;
};

bool parseEntryIndex(const std::string& text, int& index) {
    if (text.empty() || text.size() > 6 || text.find_first_not_of("0123456789") != text.npos)
        return false;
    index = leadingInt(text);
    return index >= 1;
}

bool parseArgs(const std::vector<std::string>& args, Request& r, std::string& error) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool restore = r.action == "restore";
        if (restore && arg == "--entry") {
            int index = 0;
            if (i + 1 >= args.size() || !parseEntryIndex(args[i + 1], index)) {
                error = "--entry needs an index from 1 on";
                return false;
            }
            r.entry = index;
            ++i;
        } else if (restore && arg == "--with-segment-b") {
            r.options.withSegmentB = true;
        } else if (restore && arg == "--force-serial") {
            r.options.forceSerial = true;
        } else if (restore && arg == "--match-segment-b") {
            r.options.matchSegmentB = true;
        } else if (r.action.empty() && (arg == "list" || arg == "restore")) {
            r.action = arg;
        } else if (!r.action.empty() && r.file.empty() && !arg.starts_with("--")) {
            r.file = arg;
        } else {
            error = "unexpected argument " + arg;
            return false;
        }
    }
    if (r.options.forceSerial && r.options.matchSegmentB)
        error = "--force-serial and --match-segment-b exclude each other";
    else if (r.action.empty())
        error = "list or restore?";
    else if (r.file.empty())
        error = "which backup file?";
    return error.empty();
}

bool loadEntries(const std::string& file, std::vector<BackupEntry>& entries) {
    std::string error;
    if (!readBackupFile(file, entries, error)) {
        printError("kv58ctl: %s\n", error.c_str());
        return false;
    }
    if (entries.empty()) {
        printError("kv58ctl: %s holds no backup entries\n", file.c_str());
        return false;
    }
    return true;
}

// Texts of a backup entry come from a transmitter's memory: control characters are shown, not
// sent to the terminal.
std::string orDash(const std::string& cp1252) {
    return cp1252.empty() ? "-" : cp1252ToTerminal(cp1252);
}

// "type KV58-FT; output 0 - 10 V; ..." for an entry's Segment A, and what is wrong with its
// segments.
std::string configurationText(const SegmentData& segmentA, const SegmentData& segmentB) {
    const std::string b =
        classifySegmentB(segmentB) == SegmentState::Erased ? "; Segment B erased" : "";
    if (isErased(segmentA))
        return "Segment A erased" + b;
    if (classifySegmentA(segmentA) == SegmentState::Implausible)
        return "Segment A implausible" + b;
    const TransmitterConfig c = decodeSegmentA(segmentA);
    const ConfigTexts t = describeConfigWord(c.nBitMaske, kDegreeSign);
    return strprintf(
               "type %s; output %s; unit %s; T min %d; T max %d; display %s; relay %s; "
               "serial %s",
               orDash(t.type).c_str(), orDash(t.output).c_str(), orDash(t.unit).c_str(), c.nTempVon,
               c.nTempBis, orDash(t.display).c_str(), orDash(t.relay).c_str(),
               orDash(c.strID).c_str()) +
           b;
}

std::string damageText(const BackupEntry& e) {
    return strprintf("damaged (entry from line %d): line %d: %s", e.line, e.damageLine,
                     cp1252ToTerminal(e.damage).c_str());
}

std::string entryJson(const BackupEntry& e) {
    std::string out = strprintf("{\"index\": %d, \"line\": %d, ", e.index, e.line);
    if (!e.intact()) {
        return out + strprintf("\"damaged\": true, \"damageLine\": %d, \"error\": %s}",
                               e.damageLine, jsonCp1252(e.damage).c_str());
    }
    const std::string date = isoDateTime(e);
    out += "\"date\": " + (date.empty() ? "null" : jsonString(date)) + ", \"damaged\": false, ";
    out += strprintf("\"segmentA\": \"%s\", \"segmentB\": \"%s\", ",
                     segmentStateName(classifySegmentA(e.segmentA)),
                     segmentStateName(classifySegmentB(e.segmentB)));
    if (isErased(e.segmentA))
        return out + "\"erased\": true}";
    const TransmitterConfig c = decodeSegmentA(e.segmentA);
    const ConfigTexts t = describeConfigWord(c.nBitMaske, kDegreeSign);
    out += strprintf("\"erased\": false, \"type\": %s, \"output\": %s, \"unit\": %s, ",
                     jsonCp1252(t.type).c_str(), jsonCp1252(t.output).c_str(),
                     jsonCp1252(t.unit).c_str());
    out += strprintf("\"tmin\": %d, \"tmax\": %d, \"display\": %s, \"alarmRelay\": %s, ",
                     c.nTempVon, c.nTempBis, jsonCp1252(t.display).c_str(),
                     (c.nBitMaske & config_bits::kRelay) != 0 ? "true" : "false");
    return out +
           strprintf("\"serial\": %s, \"word\": %d}", jsonCp1252(c.strID).c_str(), c.nBitMaske);
}

int list(const Context& ctx, const Request& r) {
    std::vector<BackupEntry> entries;
    if (!loadEntries(r.file, entries))
        return kExitFailure;
    if (ctx.json) {
        std::string out = "[";
        for (const BackupEntry& e : entries)
            out += (out.size() > 1 ? ",\n " : "") + entryJson(e);
        std::printf("%s]\n", out.c_str());
    } else {
        for (const BackupEntry& e : entries) {
            std::printf(
                "%3d  %-16s  %s\n", e.index, e.dateTime.c_str(),
                (e.intact() ? configurationText(e.segmentA, e.segmentB) : damageText(e)).c_str());
        }
    }
    return kExitOk;
}

// The entry asked for, or the newest; null after reporting why none can be restored.
const BackupEntry* chooseEntry(const std::vector<BackupEntry>& entries, const Request& r) {
    if (r.entry && *r.entry > static_cast<int>(entries.size())) {
        printError("kv58ctl: %s has %zu entries; there is no entry %d\n", r.file.c_str(),
                   entries.size(), *r.entry);
        return nullptr;
    }
    const BackupEntry& e = r.entry ? entries[static_cast<size_t>(*r.entry - 1)] : entries.back();
    if (!e.intact()) {
        printError(
            "kv58ctl: %s: %s entry %d is %s; choose an intact one with "
            "--entry (kv58ctl backup list shows them)\n",
            r.file.c_str(), r.entry ? "the" : "the newest", e.index, damageText(e).c_str());
        return nullptr;
    }
    return &e;
}

std::string transmitterSerialText(const RestoreReport& report) {
    if (report.transmitterErased)
        return "(Segment A erased)";
    return report.transmitterSerial.empty() ? "(none)" : cp1252ToTerminal(report.transmitterSerial);
}

void explainSerialMismatch(const RestoreReport& report, const BackupEntry& entry,
                           const RestoreOptions& options) {
    const std::string serial = cp1252ToTerminal(serialForDisplay(entry.segmentA));
    if (options.matchSegmentB) {
        printError(
            "kv58ctl: Segment B of the transmitter is not the entry's: it is another "
            "transmitter, or its Segment B is damaged too.\n");
    } else if (report.transmitterErased) {
        printError(
            "kv58ctl: Segment A of the transmitter is erased, so it has no serial number "
            "to check. --match-segment-b knows it by its Segment B; if that is damaged "
            "too and it is the transmitter of this backup (serial number %s), repeat "
            "with --force-serial.\n",
            serial.c_str());
    } else {
        printError(
            "kv58ctl: the transmitter has serial number %s, the backup entry %s; "
            "--force-serial writes it all the same.\n",
            transmitterSerialText(report).c_str(), serial.c_str());
    }
}

void printReport(const RestoreReport& report, const BackupEntry& entry,
                 const RestoreOptions& options) {
    if (report.outcome == RestoreOutcome::SerialMismatch)
        explainSerialMismatch(report, entry, options);
    if (report.serialForced) {
        std::fprintf(stderr, "kv58ctl: serial number check overridden: transmitter %s, backup %s\n",
                     transmitterSerialText(report).c_str(),
                     cp1252ToTerminal(serialForDisplay(entry.segmentA)).c_str());
    }
    if (!report.undoFile.empty() && report.outcome != RestoreOutcome::UndoFailed) {
        printError(
            "kv58ctl: the information memory before the restore was appended "
            "to %s\n",
            report.undoFile.c_str());
    }
}

// The restore's line in the production log: the transmitter as read before it, and after it
// what the reread showed.
class LogRestore {
public:
    LogRestore(MainDialog& dialog, const std::string& file, const BackupEntry& entry)
        : dialog_(dialog), startUs_(dialog.link().clock().nowUs()) {
        const TransmitterData& data = dialog.data();
        const char degree = dialog.settings().TSym;
        record_.operation = "restore";
        record_.port = dialog.settings().Port;
        describeTransmitter(record_, decodeSegmentA(entry.segmentA), degree);
        record_.before = loggedConfiguration(data.actual, degree);
        record_.backupFile = file;
        record_.backupEntry = entry.index;
    }

    void finish(const RestoreReport& report, const OutcomeReport& outcome) {
        record_.outcome = outcome.text;
        record_.exitCode = outcome.exitCode;
        record_.attempts = report.attempts;
        const RestoreOutcome o = report.outcome;
        if (o == RestoreOutcome::Mismatch || o == RestoreOutcome::ProgramChanged ||
            o == RestoreOutcome::ProgramUnchecked || o == RestoreOutcome::Confirmed)
            record_.after = loggedConfiguration(dialog_.data().actual, dialog_.settings().TSym);
        record_.durationMs = (dialog_.link().clock().nowUs() - startUs_) / 1000;
        dialog_.logOperation(record_);
    }

private:
    MainDialog& dialog_;
    int64_t startUs_;
    LogRecord record_;
};

int restore(Context& ctx, const Request& r) {
    std::vector<BackupEntry> entries;
    if (!loadEntries(r.file, entries))
        return kExitFailure;
    const BackupEntry* entry = chooseEntry(entries, r);
    if (!entry)
        return kExitFailure;
    std::fprintf(stderr, "kv58ctl: entry %d of %s (line %d): %s\n", entry->index,
                 entry->dateTime.c_str(), entry->line,
                 configurationText(entry->segmentA, entry->segmentB).c_str());
    AppSession session(ctx);
    if (const int code = session.start(); code != kExitOk) {
        if (code == kExitFailure)
            printError("kv58ctl: nothing restored\n");
        return code;
    }
    MainDialog& dialog = session.dialog();
    if (!dialog.logAllowsOperation()) {
        printError("kv58ctl: nothing restored\n");
        return kExitFailure;
    }
    BackupRestore restorer(dialog.settings(), dialog.link(), *ctx.ui, dialog.run(), dialog.data(),
                           dialog.flows());
    LogRestore log(dialog, r.file, *entry);
    const RestoreReport report = restorer.restore(*entry, r.options);
    const OutcomeReport outcome = describeOutcome(report.outcome, report.left.state);
    log.finish(report, outcome);
    printReport(report, *entry, r.options);
    return session.finishWrite(outcome, report.left);
}

int run(Context& ctx) {
    Request request;
    std::string error;
    if (!parseArgs(ctx.args, request, error))
        return usageError(kCommand, error);
    return request.action == "list" ? list(ctx, request) : restore(ctx, request);
}

}  // namespace

}  // namespace kv58::cli
