#include "write_checks.h"

#include <cstdio>

#include "base/text.h"
#include "core/dialog_ids.h"
#include "device/infomem.h"
#include "diagnostics.h"

namespace kv58::cli {

namespace {

// "-40 … 60 °C, T max at least 20 °C above T min" (UTF-8).
std::string allowedRange(const DialogModel& model) {
    const TemperatureRule rule = model.temperatureRule();
    const std::string unit = cp1252ToUtf8(model.temperatureUnit());
    std::string text =
        strprintf("T min and T max within %d \xE2\x80\xA6 %d %s, T max at least %d %s above T min",
                  rule.lowest, rule.highest, unit.c_str(), rule.minimumGap, unit.c_str());
    // Limits of 0 come from a settings file without a valid key: no range passes the check.
    if (rule.lowest == rule.highest)
        text += "; the settings file holds no valid Key01 in [Program], which sets the limits";
    return text;
}

// The value of a field: the given text, else the field's own.
bool valueOf(const DialogModel& model, int editId, const std::optional<std::string>& given,
             const char* what, int32_t& value) {
    const std::string& text = given ? *given : model.control(editId).text;
    if (parseIntegerEntry(text, value))
        return true;
    printError("kv58ctl write: %s \"%s\" is not an integer (%s); nothing was written\n", what,
               given ? given->c_str() : cp1252ToTerminal(text).c_str(),
               allowedRange(model).c_str());
    return false;
}

}  // namespace

bool rangeIsAllowed(const DialogModel& model, const GivenRange& given) {
    TemperatureRange chosen;
    if (!valueOf(model, ids::kTMinEdit, given.tMin, "T min", chosen.tMin) ||
        !valueOf(model, ids::kTMaxEdit, given.tMax, "T max", chosen.tMax)) {
        return false;
    }
    const TemperatureRange checked = checkedRange(model.temperatureRule(), chosen);
    if (checked == chosen)
        return true;
    const std::string unit = cp1252ToUtf8(model.temperatureUnit());
    printError(
        "kv58ctl write: T min %d %s and T max %d %s are not allowed (%s); the range check "
        "would write %d and %d %s instead. Nothing was written: give an allowed range, or "
        "--accept-corrections to write the corrected one\n",
        chosen.tMin, unit.c_str(), chosen.tMax, unit.c_str(), allowedRange(model).c_str(),
        checked.tMin, checked.tMax, unit.c_str());
    return false;
}

std::optional<SegmentData> plannedSegmentA(MainDialog& dialog) {
    const DialogModel& model = dialog.model();
    const TemperatureRange range =
        checkedRange(model.temperatureRule(), TemperatureRange{model.tMin(), model.tMax()});
    const TransmitterData& data = dialog.data();
    return encodeSegmentA(data.segmentARead, model.buildConfigWord(), data.actual.nBitMaske,
                          range.tMin, range.tMax, model.relayChosenByProductCode());
}

void printChanges(const std::string& serial, const std::vector<std::string>& changes) {
    const std::string who = cp1252ToTerminal(serial);
    for (const std::string& change : changes)
        std::fprintf(stderr, "kv58ctl: %s: %s\n", who.c_str(), cp1252ToUtf8(change).c_str());
}

}  // namespace kv58::cli
