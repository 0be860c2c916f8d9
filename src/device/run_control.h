// RUN: the transmitter runs its own program while the Configurator holds its port open with
// DTR raised (with the usual adapter wiring DTR drives the controller's reset). The handle is
// exclusive, so every transfer switches RUN off before it uses the port.
#pragma once

#include <memory>
#include <string>

#include "base/clock.h"
#include "base/user_interface.h"
#include "serial/serial_port.h"

namespace kv58 {

class RunControl {
public:
    RunControl(UserInterface& ui, Clock& clock) : ui_(ui), clock_(clock) {}

    // The port RUN opens, and whether the adapter inverts DTR (then "raised" is the low level).
    void setPort(const std::string& name, bool invertDtr) {
        portName_ = name;
        invertDtr_ = invertDtr;
    }

    bool isOn() const { return port_ != nullptr; }

    // Switches RUN on when it is off and off when it is on, then sets the menu's check mark.
    // A port that cannot be opened leaves RUN off, silently.
    void ToggleRun();

    // The flows' switches: off only when on, on only when off.
    void switchOff() {
        if (isOn())
            ToggleRun();
    }
    void switchOn() {
        if (!isOn())
            ToggleRun();
    }

private:
    UserInterface& ui_;
    Clock& clock_;
    std::string portName_;
    bool invertDtr_ = false;
    std::unique_ptr<SerialPort> port_;
};

}  // namespace kv58
