#include "device/run_control.h"

namespace kv58 {

std::unique_ptr<SerialPort> RunControl::openWithDtrRaised() {
    openError_.clear();
    std::unique_ptr<SerialPort> port = openSerialPort(portName_, clock_, openError_);
    // Only DTR is touched: the port's other settings stay as the system left them.
    if (port)
        port->setDtr(!invertDtr_);
    return port;
}

void RunControl::ToggleRun() {
    if (!port_) {
        port_ = openWithDtrRaised();
    } else {
        static_cast<void>(port_->close());
        port_.reset();
    }
    ui_.setRunChecked(isOn());
}

bool RunControl::holdInReset() {
    switchOff();
    std::unique_ptr<SerialPort> port = openWithDtrRaised();
    if (!port)
        return false;
    static_cast<void>(port->close());
    ui_.setRunChecked(false);
    return true;
}

}  // namespace kv58
