// The product-code decoder: turns a product code (ProduktCode) as ordered into the choices of a
// new configuration.
//
// A product code is a string of letters and digits in which each ordered option holds a
// position. The decoder walks the cleaned code from left to right: the model designation
// (starting at the first upper-case F), Code 2 (Bauform), the optional tokens D03, SW, C-option,
// QS47 and CA1 in that fixed order, Code 12 (output signal), the Fahrenheit option E01, Code 14
// (temperature range) and Code 15 (display reading). Code 12 and Code 14 carry no built-in
// meaning; they are resolved through the sections "Output" and "Temperatur" of the settings
// file. Each rejection is told to the user in a German message box (plain, OK button) before
// parse returns 0 — except a code without any upper-case F, which is rejected silently so that
// the caller's own summary is the only message.
//
// One decoder is made per use: set the settings-file path, parse once, read the accessors, drop
// it. After a rejected parse the fields may hold partial values and must not be used.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "base/user_interface.h"

namespace kv58 {

class ProductCodeDecoder {
public:
    // Values read from the settings file are cut to this size less one, as a fixed read
    // buffer of the profile calls would cut them.
    static constexpr size_t kReadBufferSize = 512;

    // Messages go to `ui`, which must outlive the decoder.
    explicit ProductCodeDecoder(UserInterface& ui);

    // Clears the decoded result; the settings-file path is kept.
    void reset();
    // The settings file whose "Output" and "Temperatur" sections resolve Code 12 and Code 14.
    void setIniFile(const std::string& path);

    // Decodes `code` (Windows-1252). Returns 1 when accepted, 0 when rejected. Starts with
    // reset, so one decoder may parse repeatedly.
    int parse(const std::string& code);

    // Table look-ups in the settings file at `iniPath`. They store what they read into the
    // decoder and return 1 when every key they need is defined, else 0; they show nothing.
    // A key is undefined when it is missing (file, section or key) or its value begins with
    // "?"; an empty value is defined.
    int lookupOutput(const std::string& iniPath, const std::string& outputCode);
    int lookupTemperature(const std::string& iniPath, const std::string& code14, int celsiusFlag);

    std::string getModel() const { return model; }
    int32_t getOutputMin() const { return outputMin; }
    int32_t getOutputMax() const { return outputMax; }
    std::string getOutputUnit() const { return outputUnit; }
    int32_t getCelsius() const { return celsius; }
    int32_t getAlarmRelay() const { return alarmRelay; }
    // "RH" for a model without temperature, whatever Code 15 said.
    std::string getDisplay() const { return hasTemperature ? displayCode : std::string("RH"); }
    // 0 for a model without temperature.
    int32_t getTempMin() const { return hasTemperature ? tempMin : 0; }
    int32_t getTempMax() const { return hasTemperature ? tempMax : 0; }

private:
    struct Cursor;

    bool takeModel(Cursor& cursor);
    bool skipCode2(Cursor& cursor);
    bool skipOptionalTokens(Cursor& cursor, bool& displayOption);
    bool decodeOutput(Cursor& cursor);
    bool decodeFahrenheitOption(Cursor& cursor);
    bool decodeTemperature(Cursor& cursor);
    bool decodeDisplay(Cursor& cursor, bool displayOptionPresent);
    // The length check: reports a cursor moved past the end of the code.
    bool withinCode(const Cursor& cursor);
    bool reject(const std::string& message);

    // Reads `key` of `section` into readBuffer; true when the value is defined.
    bool readDefined(const std::string& iniPath, const char* section, const std::string& key);

    UserInterface& ui;

    std::string model;
    std::string displayCode;
    int32_t alarmRelay = 0;
    int32_t celsius = 1;
    int32_t hasTemperature = 1;
    int32_t outputMin = 0;
    int32_t outputMax = 0;
    std::string outputUnit;
    int32_t tempMin = 0;
    int32_t tempMax = 0;
    std::string iniFile;
    std::string readBuffer;
};

}  // namespace kv58
