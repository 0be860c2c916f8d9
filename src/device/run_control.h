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
    // A port that cannot be opened leaves RUN off, silently (openError() keeps the reason).
    void ToggleRun();

    // What switching RUN off leaves, without RUN ever showing as on: opens the port as RUN
    // does and closes it at once, so that DTR drops and the transmitter is held in reset. The
    // check mark then shows off. False when the port cannot be opened.
    bool holdInReset();

    // Why the last open of the port failed (empty after a successful open).
    const std::string& openError() const { return openError_; }

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
    std::string openError_;

    std::unique_ptr<SerialPort> openWithDtrRaised();
};

}  // namespace kv58
