// Handing the port settings of the settings file to the link, as every device operation does
// before it opens the port.
#pragma once

#include "bsl/bsl_link.h"
#include "settings/settings.h"

namespace kv58 {

// Port name, baud rate, data bits, stop bits, parity and the control-line inversion; the
// link's setter rules apply (an unknown baud rate becomes 9600, and so on). Also where the
// link finds the password files and the loader patch.
void applyPortSettings(BslLink& link, const Settings& settings);

}  // namespace kv58
