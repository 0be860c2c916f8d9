#include "serial/usb_instance_id.h"

#include "base/text.h"

namespace kv58 {

namespace {

// Four hexadecimal digits after `prefix` at the start of `text`; -1 when not there.
int idAfter(std::string_view text, std::string_view prefix) {
    if (!startsWithIgnoreCase(text, prefix) || text.size() < prefix.size() + 4)
        return -1;
    int value = 0;
    for (size_t i = prefix.size(); i < prefix.size() + 4; ++i) {
        const int digit = hexDigitValue(text[i]);
        if (digit < 0)
            return -1;
        value = value * 16 + digit;
    }
    return value;
}

}  // namespace

bool parseUsbInstance(std::string_view deviceKey, std::string_view instanceKey,
                      UsbIdentity& identity) {
    identity = UsbIdentity{};
    // "VID_0403&PID_6001" or "VID_0403+PID_6001+A12345A": 17 characters of ids.
    constexpr size_t kIdsLength = 17;
    identity.vendorId = idAfter(deviceKey, "VID_");
    if (identity.vendorId < 0 || deviceKey.size() < kIdsLength)
        return false;
    const char separator = deviceKey[8];
    identity.productId = idAfter(deviceKey.substr(9), "PID_");
    if (identity.productId < 0 || (separator != '&' && separator != '+'))
        return false;
    const std::string_view rest = deviceKey.substr(kIdsLength);
    if (separator == '+') {
        // The vendor bus: "+SERIAL" and the port letter.
        if (rest.size() >= 3 && rest[0] == '+')
            identity.serialNumber = std::string(rest.substr(1, rest.size() - 2));
        return true;
    }
    // A composite device's interface ("&MI_00") carries no serial number of its own, and an
    // instance name with "&" is one that Windows made up.
    if (rest.empty() && !instanceKey.empty() && instanceKey.find('&') == std::string_view::npos)
        identity.serialNumber = std::string(instanceKey);
    return true;
}

}  // namespace kv58
