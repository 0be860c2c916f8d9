#include "device/config_changes.h"

#include "base/text.h"
#include "device/choices.h"

namespace kv58 {

namespace {

void addIfChanged(std::vector<std::string>& out, const char* field, const std::string& before,
                  const std::string& after) {
    if (before != after)
        out.push_back(strprintf("%s %s -> %s", field, before.c_str(), after.c_str()));
}

std::string yesNo(bool on) {
    return on ? "yes" : "no";
}

}  // namespace

std::vector<std::string> configChanges(const SegmentData& before, const SegmentData& after,
                                       char degreeSign) {
    std::vector<std::string> out;
    if (before == after)
        return out;
    const TransmitterConfig a = decodeSegmentA(before);
    const TransmitterConfig b = decodeSegmentA(after);
    const ConfigTexts ta = describeConfigWord(a.nBitMaske, degreeSign);
    const ConfigTexts tb = describeConfigWord(b.nBitMaske, degreeSign);
    addIfChanged(out, "type", ta.type, tb.type);
    addIfChanged(out, "output", ta.output, tb.output);
    addIfChanged(out, "T unit", ta.unit, tb.unit);
    if (a.nTempVon != b.nTempVon)
        out.push_back(strprintf("T min %d -> %d %s", a.nTempVon, b.nTempVon, tb.unit.c_str()));
    if (a.nTempBis != b.nTempBis)
        out.push_back(strprintf("T max %d -> %d %s", a.nTempBis, b.nTempBis, tb.unit.c_str()));
    addIfChanged(out, "display", ta.display, tb.display);
    addIfChanged(out, "alarm relay", ta.relay, tb.relay);
    addIfChanged(out, "factory calibration", yesNo(ta.factoryCalibration),
                 yesNo(tb.factoryCalibration));
    if (out.empty() && a.nBitMaske != b.nBitMaske) {
        out.push_back(strprintf("configuration word %04X -> %04X",
                                static_cast<unsigned>(a.nBitMaske),
                                static_cast<unsigned>(b.nBitMaske)));
    }
    if (out.empty())
        out.push_back("stored range rewritten in whole degrees (the fields stay as shown)");
    return out;
}

}  // namespace kv58
