// The options of a simulated transmitter, shared by the in-process "sim:" port names
// ("sim:?serial=K58-1&loader=1.10") and the kv58-sim program ("--serial K58-1 --loader 1.10").
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "serial/serial_port.h"
#include "sim/flash_timing.h"
#include "sim/frame_receiver.h"
#include "sim/rom_loader.h"
#include "sim/transmitter_contents.h"

namespace kv58::sim {

// Where the device is before the first control-line change.
enum class StartMode {
    Reset,   // held in reset, as behind an adapter on a closed port (DTR low)
    Loader,  // the loader runs already, as on a pseudo-terminal without modem lines
    Program  // the transmitter's own program runs
};

struct DeviceOptions {
    TransmitterRecipe transmitter;  // contents of a new device (ignored when a state file exists)
    bool displayGiven = false;      // display chosen explicitly (else it follows the type)
    uint16_t loaderVersion = 0x0160;
    std::string statePath;            // empty: memory only
    std::vector<std::string> faults;  // items of Faults::arm
    bool invertDtr = false;
    bool invertRts = false;
    StartMode start = StartMode::Reset;
    int64_t quietResetUs = 0;            // silence that restarts the loader; 0 = never
    int64_t processingUs = 100;          // the loader's processing time before each reply
    int64_t adapterHoldUs = 0;           // the adapter's latency timer (adapter_hold.h); 0 = none
    int64_t gapUs = 50'000;              // silence that abandons a frame
    FrameGap frameGap = FrameGap::Drop;  // whether that silence abandons it at all
    WriteCheck writeCheck = WriteCheck::Ack;
    uint32_t ftgKhz = kFtgDefaultKhz;  // flash timing generator clock
    std::optional<LineSettings> line;  // the device's own line; none = whatever the host sets
    uint64_t seed = 1;
};

struct OptionHelp {
    const char* key;
    const char* value;
    const char* text;
};
// Every option with its value form and meaning, for help texts and error messages.
const std::vector<OptionHelp>& deviceOptionHelp();
// "serial, type, output, …"
std::string deviceOptionNames();

// Applies one option; false with a message that names the option, the value and the
// expected form. Unknown keys are refused with the list of accepted ones.
[[nodiscard]] bool setDeviceOption(DeviceOptions& options, const std::string& key,
                                   const std::string& value, std::string& error);

// After all options: fills what depends on others (the display of a type without
// temperature) and checks the whole (T min below T max).
[[nodiscard]] bool finishDeviceOptions(DeviceOptions& options, std::string& error);

}  // namespace kv58::sim
