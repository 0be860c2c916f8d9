// kv58ctl backup list FILE and backup restore FILE: the entries of an InfoMemory backup file,
// and putting one of them back into the transmitter.
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "app_session.h"
#include "base/paths.h"
#include "base/text.h"
#include "command.h"
#include "config_output.h"
#include "console_ui.h"
#include "device/backup_reader.h"
#include "device/backup_restore.h"
#include "device/choices.h"
#include "json_text.h"

namespace kv58::cli {

namespace {

int run(Context& ctx);

const Command kCommand{
    "backup", "list the entries of a backup file, or restore one into the transmitter",
    "Usage: kv58ctl backup list FILE\n"
    "       kv58ctl backup restore FILE [--entry N] [--with-segment-b] [--force-serial] --yes\n"
    "\n"
    "FILE is a backup file as the Configurator appends to before every write (SavePath,\n"
    "one file per serial number, e.g. backup/K58-104711.dat).\n"
    "\n"
    "list prints one line per entry, oldest first: its index, date and time, and the\n"
    "configuration its Segment A holds (type, output, unit, T min, T max, display, relay,\n"
    "serial number). With --json an array of objects with the keys index, line, date,\n"
    "damaged, erased, type, output, unit, tmin, tmax, display, alarmRelay, serial and word\n"
    "(a damaged entry: index, line, damaged, damageLine and error). A damaged entry is\n"
    "listed with the line where the fault was found; the others are read on. Indexes count\n"
    "every entry, damaged ones included, so they never shift.\n"
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
    "  --yes             answers the question \"restore the backup of ...?\"\n"
    "Exits with 0 only when the reread matches the entry.\n",
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
        } else if (r.action.empty() && (arg == "list" || arg == "restore")) {
            r.action = arg;
        } else if (!r.action.empty() && r.file.empty() && !arg.starts_with("--")) {
            r.file = arg;
        } else {
            error = "unexpected argument " + arg;
            return false;
        }
    }
    if (r.action.empty())
        error = "list or restore?";
    else if (r.file.empty())
        error = "which backup file?";
    return error.empty();
}

bool loadEntries(const std::string& file, std::vector<BackupEntry>& entries) {
    std::string error;
    if (!readBackupFile(file, entries, error)) {
        std::fprintf(stderr, "kv58ctl: %s\n", error.c_str());
        return false;
    }
    if (entries.empty()) {
        std::fprintf(stderr, "kv58ctl: %s holds no backup entries\n", file.c_str());
        return false;
    }
    return true;
}

// Texts of a backup entry come from a transmitter's memory: control characters are shown, not
// sent to the terminal.
std::string orDash(const std::string& cp1252) {
    return cp1252.empty() ? "-" : cp1252ToTerminal(cp1252);
}

// "type KV58-FT; output 0 - 10 V; ..." for an entry's Segment A.
std::string configurationText(const SegmentData& segmentA) {
    if (isErased(segmentA))
        return "Segment A erased";
    const TransmitterConfig c = decodeSegmentA(segmentA);
    const ConfigTexts t = describeConfigWord(c.nBitMaske, kDegreeSign);
    return strprintf(
        "type %s; output %s; unit %s; T min %d; T max %d; display %s; relay %s; "
        "serial %s",
        orDash(t.type).c_str(), orDash(t.output).c_str(), orDash(t.unit).c_str(), c.nTempVon,
        c.nTempBis, orDash(t.display).c_str(), orDash(t.relay).c_str(), orDash(c.strID).c_str());
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
    out += "\"date\": " + jsonString(e.dateTime) + ", \"damaged\": false, ";
    if (isErased(e.segmentA))
        return out + "\"erased\": true}";
    const TransmitterConfig c = decodeSegmentA(e.segmentA);
    const ConfigTexts t = describeConfigWord(c.nBitMaske, kDegreeSign);
    out += strprintf("\"erased\": false, \"type\": %s, \"output\": %s, \"unit\": %s, ",
                     jsonCp1252(t.type).c_str(), jsonCp1252(t.output).c_str(),
                     jsonCp1252(t.unit).c_str());
    out +=
        strprintf("\"tmin\": %d, \"tmax\": %d, \"display\": %s, \"alarmRelay\": %s, ", c.nTempVon,
                  c.nTempBis, jsonCp1252(t.display).c_str(), jsonCp1252(t.relay).c_str());
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
            std::printf("%3d  %-16s  %s\n", e.index, e.dateTime.c_str(),
                        (e.intact() ? configurationText(e.segmentA) : damageText(e)).c_str());
        }
    }
    return kExitOk;
}

// The entry asked for, or the newest; null after reporting why none can be restored.
const BackupEntry* chooseEntry(const std::vector<BackupEntry>& entries, const Request& r) {
    if (r.entry && *r.entry > static_cast<int>(entries.size())) {
        std::fprintf(stderr, "kv58ctl: %s has %zu entries; there is no entry %d\n", r.file.c_str(),
                     entries.size(), *r.entry);
        return nullptr;
    }
    const BackupEntry& e = r.entry ? entries[static_cast<size_t>(*r.entry - 1)] : entries.back();
    if (!e.intact()) {
        std::fprintf(stderr,
                     "kv58ctl: %s: %s entry %d is %s; choose an intact one with "
                     "--entry (kv58ctl backup list shows them)\n",
                     r.file.c_str(), r.entry ? "the" : "the newest", e.index,
                     damageText(e).c_str());
        return nullptr;
    }
    return &e;
}

const char* outcomeText(RestoreOutcome outcome) {
    switch (outcome) {
        case RestoreOutcome::Declined:
            return "not restored: the question was not answered yes";
        case RestoreOutcome::SerialMismatch:
            return "not restored: the serial numbers differ";
        case RestoreOutcome::UndoFailed:
            return "not restored: the undo entry could not be written";
        case RestoreOutcome::NotWritten:
            return "not restored: attempts used up";
        case RestoreOutcome::Incomplete:
            return "Segment A restored, Segment B not: attempts used up";
        case RestoreOutcome::RereadFailed:
            return "written, but the reread failed";
        case RestoreOutcome::Mismatch:
            return "written, but the reread differs from the backup";
        case RestoreOutcome::ProgramChanged:
            return "written, but the program changed; the whole transmitter was restored "
                   "(check it with kv58ctl read)";
        case RestoreOutcome::ProgramUnchecked:
            return "written and matching, but the program could not be checked";
        case RestoreOutcome::Confirmed:
            return "restored and confirmed";
    }
    return "not restored";
}

std::string transmitterSerialText(const RestoreReport& report) {
    if (report.transmitterErased)
        return "(Segment A erased)";
    return report.transmitterSerial.empty() ? "(none)" : cp1252ToTerminal(report.transmitterSerial);
}

void explainSerialMismatch(const RestoreReport& report, const BackupEntry& entry) {
    const std::string serial = cp1252ToTerminal(serialForDisplay(entry.segmentA));
    if (report.transmitterErased) {
        std::fprintf(stderr,
                     "kv58ctl: Segment A of the transmitter is erased, so it has no serial number "
                     "to check. If it is the transmitter of this backup (serial number %s), "
                     "repeat with --force-serial.\n",
                     serial.c_str());
    } else {
        std::fprintf(stderr,
                     "kv58ctl: the transmitter has serial number %s, the backup entry %s; "
                     "--force-serial writes it all the same.\n",
                     transmitterSerialText(report).c_str(), serial.c_str());
    }
}

void printReport(const RestoreReport& report, const BackupEntry& entry) {
    if (report.outcome == RestoreOutcome::SerialMismatch)
        explainSerialMismatch(report, entry);
    if (report.serialForced) {
        std::fprintf(stderr, "kv58ctl: serial number check overridden: transmitter %s, backup %s\n",
                     transmitterSerialText(report).c_str(),
                     cp1252ToTerminal(serialForDisplay(entry.segmentA)).c_str());
    }
    if (!report.undoFile.empty() && report.outcome != RestoreOutcome::UndoFailed) {
        std::fprintf(stderr,
                     "kv58ctl: the information memory before the restore was appended "
                     "to %s\n",
                     report.undoFile.c_str());
    }
    std::fprintf(stderr, "kv58ctl: %s\n", outcomeText(report.outcome));
}

int restore(Context& ctx, const Request& r) {
    std::vector<BackupEntry> entries;
    if (!loadEntries(r.file, entries))
        return kExitFailure;
    const BackupEntry* entry = chooseEntry(entries, r);
    if (!entry)
        return kExitFailure;
    std::fprintf(stderr, "kv58ctl: entry %d of %s (line %d): %s\n", entry->index,
                 entry->dateTime.c_str(), entry->line, configurationText(entry->segmentA).c_str());
    AppSession session(ctx);
    if (const int code = session.start(); code != kExitOk) {
        if (code == kExitFailure)
            std::fprintf(stderr, "kv58ctl: nothing restored\n");
        return code;
    }
    MainDialog& dialog = session.dialog();
    BackupRestore restorer(dialog.settings(), dialog.link(), *ctx.ui, dialog.run(), dialog.data(),
                           dialog.flows());
    const RestoreReport report = restorer.restore(*entry, r.options);
    printReport(report, *entry);
    if (report.outcome != RestoreOutcome::Confirmed)
        return kExitFailure;
    printConfiguration(session.model(), dialog.data().actual.nBitMaske, ctx.json);
    return kExitOk;
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
