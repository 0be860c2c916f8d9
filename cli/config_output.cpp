#include "config_output.h"

#include <cstdio>

#include "base/text.h"
#include "core/dialog_ids.h"
#include "device/infomem.h"
#include "json_text.h"

namespace kv58::cli {

namespace {

struct Field {
    const char* jsonKey;
    const char* label;
    int controlId;
};

// The actual-configuration column, top to bottom.
constexpr Field kFields[] = {
    {"type", "Transmitter type", ids::kTypeText},
    {"version", "Software version", ids::kVersionText},
    {"serial", "Serial number", ids::kSerialText},
    {"output", "Output signal", ids::kOutputText},
    {"unit", "T unit", ids::kUnitText},
    {"tmin", "T min", ids::kTMinText},
    {"tmax", "T max", ids::kTMaxText},
    {"display", "Display reading", ids::kDisplayText},
    {"alarmRelay", "Alarm relay", ids::kRelayText},
    {"factoryCalibration", "Factory calibration", ids::kFactoryText},
};

// T min and T max are numbers, the relay and the factory calibration booleans (from the
// word the texts were made of), the rest texts.
std::string jsonValue(const DialogModel& model, int controlId, int32_t word) {
    const std::string& value = model.control(controlId).text;
    switch (controlId) {
        case ids::kTMinText:
        case ids::kTMaxText:
            return strprintf("%d", leadingInt(value));
        case ids::kRelayText:
            return (word & config_bits::kRelay) != 0 ? "true" : "false";
        case ids::kFactoryText:
            return (word & config_bits::kFactoryCalibration) != 0 ? "true" : "false";
        default:
            return jsonCp1252(value);
    }
}

}  // namespace

void printConfiguration(const DialogModel& model, int32_t word, bool json,
                        const std::string& extraJson) {
    if (!json) {
        for (const Field& f : kFields) {
            // The texts come from the transmitter: control characters are shown, not sent.
            std::printf("%-20s %s\n", (std::string(f.label) + ":").c_str(),
                        cp1252ToTerminal(model.control(f.controlId).text).c_str());
        }
        std::printf("%-20s %04X\n", "Configuration word:", static_cast<unsigned>(word));
        return;
    }
    std::string out = "{";
    for (const Field& f : kFields) {
        out += strprintf("\"%s\": %s, ", f.jsonKey, jsonValue(model, f.controlId, word).c_str());
    }
    out += strprintf("\"word\": %d", word);
    out += (extraJson.empty() ? "" : ", " + extraJson) + "}";
    std::printf("%s\n", out.c_str());
}

}  // namespace kv58::cli
