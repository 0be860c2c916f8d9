// kv58ctl write: chooses the new configuration in the dialog as a user would and runs
// "set &new configuration".
#include <cstdio>
#include <optional>
#include <string>

#include "app_session.h"
#include "base/text.h"
#include "command.h"
#include "config_output.h"
#include "core/dialog_ids.h"
#include "device/config_changes.h"
#include "device/flows.h"
#include "device/outcomes.h"
#include "device/segment_state.h"
#include "diagnostics.h"
#include "outcome_output.h"
#include "write_checks.h"

namespace kv58::cli {

namespace {

int run(Context& ctx);

const Command kCommand{
    "write", "choose a new configuration and write it to the transmitter",
    "Usage: kv58ctl write [--product-code CODE] [--output TEXT] [--display TEXT] [--tmin N]\n"
    "                     [--tmax N] [--accept-corrections] [--force] [--yes]\n"
    "\n"
    "Reads the transmitter; with --product-code, decodes the order code through the tables\n"
    "of the settings file and applies it to the new configuration as the dialog's\n"
    "product-code field does (a rejected code ends the command with its messages). Then\n"
    "selects the other given choices in the new-configuration column as a\n"
    "user would (texts as the lists show them, e.g. \"4 - 20 mA\" or \"%RH / \xC2\xB0"
    "C\"),\n"
    "checks T min and T max, saves the last values and writes: identity check, backup,\n"
    "Segment A, reread and compare.\n"
    "\n"
    "A T min or T max that is not an integer, or a range the range check would correct\n"
    "(outside the limits of the settings file's key, or T max too close to T min), is\n"
    "refused before anything is written, with the allowed range; --accept-corrections\n"
    "writes the corrected range instead (the correction is reported). A choice the\n"
    "transmitter type does not offer is refused with the choices it does offer.\n"
    "\n"
    "Before the question \"write new configuration?\" (answered by --yes, else on the\n"
    "terminal) one line per changed field says what will change, e.g.\n"
    "\"K58-104711: output 0 - 10 V -> 4 - 20 mA\". A write that changes nothing says so\n"
    "and ends with 0 without writing; --force writes it all the same.\n"
    "A transmitter whose Segment A is erased or damaged is not written (the command names\n"
    "the backup restore that puts it back).\n"
    "\n"
    "Ends with a line that says what the transmitter now holds. Exits with 0 only when the\n"
    "reread confirmed the new configuration; 1 when the transmitter is unchanged; 3 when it\n"
    "is damaged (Segment A erased or half-written) or the change could not be verified, with\n"
    "the command that puts it back (a kv58ctl backup restore of the write's backup entry, or\n"
    "kv58ctl program of the image that holds the whole transmitter). With --json the object\n"
    "holds outcome (confirmed, unchanged, segment-a-erased, segment-a-half-written,\n"
    "not-verified, unknown) and wayBack. Ctrl-C, SIGTERM and SIGHUP are held from the first\n"
    "erase to that line, and honoured right after it.\n",
    run};
const CommandRegistrar kRegistrar(kCommand);

struct Choices {
    std::optional<std::string> productCode, output, display, tMin, tMax;
    bool acceptCorrections = false;
    bool force = false;
};

bool parseArgs(const std::vector<std::string>& args, Choices& c, std::string& error) {
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--accept-corrections" || args[i] == "--force") {
            (args[i] == "--force" ? c.force : c.acceptCorrections) = true;
            continue;
        }
        std::optional<std::string>* target = nullptr;
        if (args[i] == "--product-code")
            target = &c.productCode;
        if (args[i] == "--output")
            target = &c.output;
        if (args[i] == "--display")
            target = &c.display;
        if (args[i] == "--tmin")
            target = &c.tMin;
        if (args[i] == "--tmax")
            target = &c.tMax;
        if (!target) {
            error = "unknown argument " + args[i];
            return false;
        }
        if (i + 1 >= args.size()) {
            error = args[i] + " needs a value";
            return false;
        }
        *target = args[++i];
    }
    return true;
}

std::string offered(const ListControl& list) {
    std::string out;
    for (const ListItem& item : list.items()) {
        out += (out.empty() ? "\"" : ", \"") + cp1252ToUtf8(item.text) + "\"";
    }
    return out.empty() ? "none" : out;
}

// Selects the item whose text is `wanted` (UTF-8), as a user picks it from the list.
bool choose(DialogModel& model, int listId, const char* what, const std::string& wanted) {
    ListControl& list = model.list(listId);
    const std::string text = utf8ToCp1252(wanted);
    for (int i = 0; i < list.count(); ++i) {
        if (list.enabled && equalsIgnoreCase(list.items()[static_cast<size_t>(i)].text, text)) {
            list.setSelected(i);
            return true;
        }
    }
    const std::string type = cp1252ToUtf8(model.control(ids::kTypeText).text);
    printError("kv58ctl write: %s \"%s\" is not offered for %s; offered: %s\n", what,
               wanted.c_str(), type.empty() ? "this transmitter" : type.c_str(),
               list.enabled ? offered(list).c_str() : "none");
    return false;
}

// Types the code into the product-code field and leaves it, which applies it. The field
// converts letters to upper case as they are typed.
bool enterProductCode(DialogModel& model, const std::string& code) {
    std::string typed = utf8ToCp1252(code);
    for (char& c : typed)
        c = toUpperAscii(c);
    model.focusChanged(ids::kProductCode);
    model.setControlText(ids::kProductCode, typed);
    model.focusChanged(0);
    return model.focused() != ids::kProductCode;
}

// Types a temperature into its field and leaves it, which runs the range check.
bool enterTemperature(DialogModel& model, int editId, const char* what, const std::string& value) {
    if (!model.control(editId).enabled) {
        printError("kv58ctl write: %s cannot be set: %s has no temperature range\n", what,
                   cp1252ToUtf8(model.control(ids::kTypeText).text).c_str());
        return false;
    }
    model.focusChanged(editId);
    model.setControlText(editId, value);
    model.focusChanged(0);
    return true;
}

bool chooseAll(DialogModel& model, const Choices& choices) {
    if (choices.productCode && !enterProductCode(model, *choices.productCode))
        return false;
    if (choices.output && !choose(model, ids::kOutputList, "output", *choices.output))
        return false;
    if (choices.display && !choose(model, ids::kDisplayList, "display", *choices.display))
        return false;
    // A damaged Segment A holds no range to check: the write refuses it with its own message.
    const bool intact = classifySegmentA(model.data().segmentARead) == SegmentState::Intact;
    if (intact && !choices.acceptCorrections &&
        !rangeIsAllowed(model, {choices.tMin, choices.tMax}))
        return false;
    if (choices.tMin && !enterTemperature(model, ids::kTMinEdit, "T min", *choices.tMin))
        return false;
    return !choices.tMax || enterTemperature(model, ids::kTMaxEdit, "T max", *choices.tMax);
}

// Says what the write will change. False when it changes nothing: the transmitter is left
// alone then.
bool worthWriting(Context& ctx, MainDialog& dialog, bool force) {
    const TransmitterData& data = dialog.data();
    if (classifySegmentA(data.segmentARead) != SegmentState::Intact)
        return true;  // the write refuses it with its own message
    const std::optional<SegmentData> planned = plannedSegmentA(dialog);
    if (!planned)
        return true;  // the write refuses the range with its own message
    const std::vector<std::string> changes =
        configChanges(data.segmentARead, *planned, dialog.settings().TSym);
    printChanges(data.actual.strID, changes);
    if (!changes.empty() || force)
        return true;
    std::fprintf(stderr,
                 "kv58ctl: %s already holds this configuration; nothing was written (--force "
                 "writes it all the same)\n",
                 cp1252ToTerminal(data.actual.strID).c_str());
    printConfiguration(dialog.model(), data.actual.nBitMaske, ctx.json,
                       outcomeJson(ctx, Outcome{}) + ", \"written\": false");
    return false;
}

int run(Context& ctx) {
    Choices choices;
    std::string error;
    if (!parseArgs(ctx.args, choices, error))
        return usageError(kCommand, error);
    AppSession session(ctx);
    if (const int code = session.start(); code != kExitOk)
        return code;
    DialogModel& model = session.model();
    if (!chooseAll(model, choices))
        return kExitFailure;
    if (!worthWriting(ctx, session.dialog(), choices.force))
        return session.finish(kExitOk);
    session.command(ids::kMenuWrite);
    const Flows& flows = session.dialog().flows();
    return session.finishWrite(describeOutcome(flows.lastWriteOutcome(), flows.lastOutcome().state),
                               flows.lastOutcome());
}

}  // namespace

}  // namespace kv58::cli
