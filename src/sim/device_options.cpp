#include "sim/device_options.h"

#include <functional>
#include <initializer_list>

#include "base/text.h"
#include "sim/faults.h"
#include "sim/option_values.h"

namespace kv58::sim {

namespace {

using Setter = std::function<bool(DeviceOptions&, const std::string&)>;

struct OptionEntry {
    OptionHelp help;
    Setter set;
};

// Sets `target` and says yes: lets a setter read as "parse && store".
template <typename T, typename V>
bool store(T& target, V value) {
    target = static_cast<T>(value);
    return true;
}

// Stores the value named `text` (in any case).
template <typename T>
bool oneOf(const std::string& text, std::initializer_list<std::pair<const char*, T>> names,
           T& target) {
    for (const auto& [name, value] : names) {
        if (equalsIgnoreCase(text, name))
            return store(target, value);
    }
    return false;
}

std::string squeeze(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c != ' ')
            out += toLowerAscii(c);
    }
    return out;
}

bool printableAscii(const std::string& text, size_t maxLength) {
    if (text.empty() || text.size() > maxLength)
        return false;
    for (char c : text) {
        if (c < 0x20 || c > 0x7E)
            return false;
    }
    return true;
}

bool setType(DeviceOptions& o, const std::string& v) {
    const std::string s = squeeze(v);
    const std::string t = s.rfind("kv58-", 0) == 0 ? s.substr(5) : s;
    if (t == "ft")
        o.transmitter.type = kTypeKv58Ft;
    else if (t == "f")
        o.transmitter.type = kTypeKv58F;
    else if (t == "fpt")
        o.transmitter.type = kTypeKv58Fpt;
    else
        return false;
    return true;
}

bool setOutput(DeviceOptions& o, const std::string& v) {
    static const std::pair<const char*, uint16_t> kOutputs[] = {{"0-10v", kOutput0To10V},
                                                                {"0-5v", kOutput0To5V},
                                                                {"0-20ma", kOutput0To20mA},
                                                                {"4-20ma", kOutput4To20mA}};
    for (const auto& [name, bits] : kOutputs) {
        if (squeeze(v) == name)
            return store(o.transmitter.output, bits);
    }
    return false;
}

bool setDisplay(DeviceOptions& o, const std::string& v) {
    static const std::pair<const char*, uint16_t> kDisplays[] = {
        {"rh+t", kDisplayHumidityAndTemperature},
        {"rh", kDisplayHumidity},
        {"t", kDisplayTemperature},
        {"none", kDisplayNone}};
    for (const auto& [name, bits] : kDisplays) {
        if (squeeze(v) == name) {
            o.transmitter.display = bits;
            o.displayGiven = true;
            return true;
        }
    }
    return false;
}

bool setVersion(DeviceOptions& o, const std::string& v) {
    // "01.02" is stored as "0102"; anything else up to four characters as it stands.
    if (v.size() == 5 && v[2] == '.')
        return setVersion(o, v.substr(0, 2) + v.substr(3));
    if (!printableAscii(v, 4))
        return false;
    o.transmitter.version = v;
    return true;
}

bool setMs(int64_t& target, const std::string& v, long min, long max) {
    long ms = 0;
    if (!parseInt(v, min, max, ms))
        return false;
    target = static_cast<int64_t>(ms) * 1000;
    return true;
}

const std::vector<OptionEntry>& table() {
    static const std::vector<OptionEntry> entries = {
        {{"serial", "TEXT", "serial number, 1 to 16 ASCII characters (default K58-104711)"},
         [](DeviceOptions& o, const std::string& v) {
             return printableAscii(v, kSerialMaxLength) && store(o.transmitter.serial, v);
         }},
        {{"type", "FT|F|FPT", "transmitter type KV58-FT, KV58-F or KV58-FPT (default FT)"},
         setType},
        {{"output", "0-10V|0-5V|0-20mA|4-20mA", "output signal (default 0-10V)"}, setOutput},
        {{"unit", "C|F", "temperature unit (default C)"},
         [](DeviceOptions& o, const std::string& v) {
             if (!equalsIgnoreCase(v, "C") && !equalsIgnoreCase(v, "F"))
                 return false;
             o.transmitter.fahrenheit = equalsIgnoreCase(v, "F");
             return true;
         }},
        {{"tmin", "N", "T min in whole degrees, -40 to 615 (default -20)"},
         [](DeviceOptions& o, const std::string& v) {
             long t = 0;
             return parseInt(v, -40, 615, t) && store(o.transmitter.tempMin, t);
         }},
        {{"tmax", "N", "T max in whole degrees, -40 to 615 (default 80)"},
         [](DeviceOptions& o, const std::string& v) {
             long t = 0;
             return parseInt(v, -40, 615, t) && store(o.transmitter.tempMax, t);
         }},
        {{"display", "rh+t|rh|t|none",
          "display reading: humidity and temperature, humidity, temperature, none "
          "(default rh+t for KV58-FT, rh for the others)"},
         setDisplay},
        {{"relay", "yes|no", "alarm relay (default no)"},
         [](DeviceOptions& o, const std::string& v) { return parseFlag(v, o.transmitter.relay); }},
        {{"calibrated", "yes|no", "factory calibration (default yes)"},
         [](DeviceOptions& o, const std::string& v) {
             return parseFlag(v, o.transmitter.factoryCalibrated);
         }},
        {{"version", "NN.NN",
          "software version in Segment A, or up to 4 characters (default 01.02)"},
         setVersion},
        {{"loader", "M.NN",
          "loader version in ROM, hexadecimal digits as stored (default 1.60; 1.10 and lower "
          "need the loader patch)"},
         [](DeviceOptions& o, const std::string& v) {
             return parseLoaderVersion(v, o.loaderVersion);
         }},
        {{"state", "FILE",
          "keep the flash in this TI-TXT file: read at start (created with the factory "
          "contents when missing), rewritten after every change"},
         [](DeviceOptions& o, const std::string& v) {
             return !v.empty() && store(o.statePath, v);
         }},
        {{"fault", "LIST", "faults to inject, comma-separated (see below); may be repeated"},
         [](DeviceOptions& o, const std::string& v) {
             Faults probe;
             std::string ignored;
             if (!probe.armList(v, ignored))
                 return false;
             o.faults.push_back(v);
             return true;
         }},
        {{"invert-dtr", "yes|no", "the adapter inverts DTR (reset)"},
         [](DeviceOptions& o, const std::string& v) { return parseFlag(v, o.invertDtr); }},
        {{"invert-rts", "yes|no", "the adapter inverts RTS (test)"},
         [](DeviceOptions& o, const std::string& v) { return parseFlag(v, o.invertRts); }},
        {{"start", "reset|loader|program",
          "state before the first control-line change (default reset: port closed)"},
         [](DeviceOptions& o, const std::string& v) {
             if (v == "reset")
                 o.start = StartMode::Reset;
             else if (v == "loader")
                 o.start = StartMode::Loader;
             else if (v == "program")
                 o.start = StartMode::Program;
             else
                 return false;
             return true;
         }},
        {{"quiet-reset", "MS",
          "a line quiet this long restarts the loader, standing in for the entry sequence "
          "where no control lines reach the device (default 0: never)"},
         [](DeviceOptions& o, const std::string& v) {
             return setMs(o.quietResetUs, v, 0, 600000);
         }},
        {{"processing", "US",
          "loader processing time before each reply, microseconds (default 100)"},
         [](DeviceOptions& o, const std::string& v) {
             long us = 0;
             return parseInt(v, 0, 10'000'000, us) && store(o.processingUs, us);
         }},
        {{"latency", "MS",
          "the USB adapter's latency timer: reply bytes are held up to this long (or until "
          "62 have gathered) before they reach the host, as many adapters do with 16 ms; "
          "default 0: passed on at once"},
         [](DeviceOptions& o, const std::string& v) { return setMs(o.adapterHoldUs, v, 0, 1000); }},
        {{"gap", "MS", "silence inside a frame that makes the loader abandon it (default 50)"},
         [](DeviceOptions& o, const std::string& v) { return setMs(o.gapUs, v, 1, 600000); }},
        {{"frame-gap", "drop|wait",
          "a frame interrupted by that silence: dropped (default), or the loader waits for its "
          "rest and takes the next bytes, a synchronisation too, as that rest"},
         [](DeviceOptions& o, const std::string& v) {
             return oneOf(v, {{"drop", FrameGap::Drop}, {"wait", FrameGap::Wait}}, o.frameGap);
         }},
        {{"write-check", "ack|nak",
          "a data block into flash cells that do not take it: acknowledged (default), or refused "
          "(0xA0) as by loaders that read back what they program"},
         [](DeviceOptions& o, const std::string& v) {
             return oneOf(v, {{"ack", WriteCheck::Ack}, {"nak", WriteCheck::Nak}}, o.writeCheck);
         }},
        {{"ftg", "257..476",
          "flash timing generator clock in kHz (default 366): sets the erase and "
          "programming times; a mass erase is complete only after 200 ms of them"},
         [](DeviceOptions& o, const std::string& v) {
             long khz = 0;
             return parseInt(v, kFtgMinKhz, kFtgMaxKhz, khz) && store(o.ftgKhz, khz);
         }},
        {{"line", "BAUD[,8E1]",
          "the device's own line settings; a host configured otherwise gets nothing through "
          "(default: whatever the host configures)"},
         [](DeviceOptions& o, const std::string& v) {
             LineSettings line;
             return parseLineSettings(v, line) && store(o.line, line);
         }},
        {{"seed", "N", "seed of random faults and of the RAM contents at power-up (default 1)"},
         [](DeviceOptions& o, const std::string& v) { return parseCount(v, o.seed); }},
    };
    return entries;
}

}  // namespace

const std::vector<OptionHelp>& deviceOptionHelp() {
    static const std::vector<OptionHelp> help = [] {
        std::vector<OptionHelp> h;
        for (const OptionEntry& e : table())
            h.push_back(e.help);
        return h;
    }();
    return help;
}

std::string deviceOptionNames() {
    std::string names;
    for (const OptionEntry& e : table())
        names += (names.empty() ? "" : ", ") + std::string(e.help.key);
    return names;
}

bool setDeviceOption(DeviceOptions& options, const std::string& key, const std::string& value,
                     std::string& error) {
    for (const OptionEntry& e : table()) {
        if (key != e.help.key)
            continue;
        if (e.set(options, value))
            return true;
        error = "bad value '" + value + "' for " + key + " (expected " + e.help.value + ")";
        if (key == "fault") {
            Faults probe;  // only for its explanation of what is wrong with the list
            static_cast<void>(probe.armList(value, error));
        }
        return false;
    }
    error = "unknown option '" + key + "' (accepted: " + deviceOptionNames() + ")";
    return false;
}

bool finishDeviceOptions(DeviceOptions& options, std::string& error) {
    TransmitterRecipe& t = options.transmitter;
    if (!options.displayGiven) {
        t.display = t.type == kTypeKv58Ft ? kDisplayHumidityAndTemperature : kDisplayHumidity;
    }
    if (t.tempMin >= t.tempMax) {
        error = strprintf("tmin %d must be below tmax %d", t.tempMin, t.tempMax);
        return false;
    }
    return true;
}

}  // namespace kv58::sim
