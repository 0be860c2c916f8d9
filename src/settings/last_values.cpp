#include "settings/last_values.h"

#include "base/text.h"
#include "settings/profile.h"

namespace kv58 {

namespace {
constexpr const char* kSection = "LastValue";
}

bool SaveLastValues(const std::string& lastValuePath, const LastValues& values) {
    bool allWritten = true;
    const auto put = [&](const char* key, const std::string& text) {
        allWritten = writeProfileString(lastValuePath, kSection, key, text) && allWritten;
    };
    const auto putSelection = [&](const char* key, const std::optional<std::string>& text) {
        if (text)
            put(key, *text);
    };
    putSelection("Transmitter", values.transmitter);
    putSelection("Output", values.output);
    putSelection("TUnit", values.tUnit);
    put("TMin", strprintf("%d", values.tMin));
    put("TMax", strprintf("%d", values.tMax));
    putSelection("Display", values.display);
    putSelection("AlarmRelay", values.alarmRelay);
    put("WriteProg", values.writeProg ? "1" : "0");
    put("ProduktCode", values.produktCode);
    return allWritten;
}

}  // namespace kv58
