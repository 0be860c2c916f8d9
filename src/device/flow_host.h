// What the reading and writing flows need from the main dialog. The flows live below the
// dialog and know nothing of controls; the dialog implements this to show their results.
#pragma once

#include <cstdint>

namespace kv58 {

class FlowHost {
public:
    virtual ~FlowHost() = default;

    // After a successful read: fill the actual-configuration texts.
    virtual void showActualConfiguration() = 0;
    // At the end of every read: refill the type list and apply the new configuration's type.
    virtual void fillTransmitterTypes() = 0;
    // The "&write program" check box follows the flag.
    virtual void showWriteProgram(bool on) = 0;

    // Copies the dialog's entries into its members (start of a write).
    virtual void takeEntries() = 0;
    // Runs the range check on T min and T max (may correct them and say so).
    virtual void checkTemperatureRange() = 0;
    // The new configuration word built from the lists' selections.
    virtual int32_t buildConfigWord() = 0;
    // Whether a product code chose the alarm relay in this session (the relay list is never
    // open to the user; without a code the transmitter keeps its own relay bit).
    virtual bool relayChosen() = 0;
    // The new T min and T max as they stand after the range check.
    virtual int32_t newTMin() = 0;
    virtual int32_t newTMax() = 0;
};

}  // namespace kv58
