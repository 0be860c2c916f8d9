#include "device/run_control.h"

namespace kv58 {

void RunControl::ToggleRun() {
    if (!port_) {
        std::string error;
        port_ = openSerialPort(portName_, clock_, error);
        // Only DTR is touched: the port's other settings stay as the system left them.
        if (port_)
            port_->setDtr(!invertDtr_);
    } else {
        port_->close();
        port_.reset();
    }
    ui_.setRunChecked(isOn());
}

}  // namespace kv58
