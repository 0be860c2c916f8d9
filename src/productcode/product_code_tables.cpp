// The two tables of the product code that live in the settings file rather than in the
// program: section "Output" resolves Code 12 (keys Min<c>, Max<c>, Unit<c>), section
// "Temperatur" resolves Code 14 per unit (keys <t>Min<C|F>, <t>Max<C|F>). Keys are formed by
// plain concatenation, so an empty Code 12 reads Min, Max and Unit.
#include "base/text.h"
#include "productcode/product_code_decoder.h"
#include "settings/profile.h"

namespace kv58 {

namespace {

constexpr const char* kOutputSection = "Output";
constexpr const char* kTemperatureSection = "Temperatur";
// Returned for a missing file, section or key; a stored value that begins with it is treated
// the same way, so a table row can be switched off by writing "?" into it.
constexpr const char* kUndefined = "?";

}  // namespace

bool ProductCodeDecoder::readDefined(const std::string& iniPath, const char* section,
                                     const std::string& key) {
    getProfileString(iniPath, section, key, kUndefined, readBuffer, kReadBufferSize);
    return readBuffer.empty() || readBuffer[0] != kUndefined[0];
}

// Reads in the order Min, Max, Unit and stops at the first undefined key; what was stored
// before stays, the caller drops the whole result on failure.
int ProductCodeDecoder::lookupOutput(const std::string& iniPath, const std::string& outputCode) {
    if (!readDefined(iniPath, kOutputSection, "Min" + outputCode))
        return 0;
    outputMin = leadingInt(readBuffer);
    if (!readDefined(iniPath, kOutputSection, "Max" + outputCode))
        return 0;
    outputMax = leadingInt(readBuffer);
    if (!readDefined(iniPath, kOutputSection, "Unit" + outputCode))
        return 0;
    outputUnit = readBuffer;
    return 1;
}

// The range is read in the unit the code was ordered in: suffix C, or F with the option E01.
// No range check: a minimum above the maximum is taken as it stands.
int ProductCodeDecoder::lookupTemperature(const std::string& iniPath, const std::string& code14,
                                          int celsiusFlag) {
    const std::string unit = celsiusFlag ? "C" : "F";
    if (!readDefined(iniPath, kTemperatureSection, code14 + "Min" + unit))
        return 0;
    tempMin = leadingInt(readBuffer);
    if (!readDefined(iniPath, kTemperatureSection, code14 + "Max" + unit))
        return 0;
    tempMax = leadingInt(readBuffer);
    return 1;
}

}  // namespace kv58
