// Port enumeration through libserialport. The library is used for nothing else: ports are
// opened by our own backends (it cannot open a pseudo-terminal, hold a port exclusively on
// Linux, set 1.5 stop bits or abort transfers when purging).
#include "serial/port_list.h"

#include <algorithm>

#if __has_include(<libserialport.h>)
#include <libserialport.h>
#define KV58_HAVE_LIBSERIALPORT 1
#endif

namespace kv58 {

#ifdef KV58_HAVE_LIBSERIALPORT

namespace {

std::string text(const char* s) {
    return s ? std::string(s) : std::string();
}

const char* transportName(sp_transport t) {
    switch (t) {
        case SP_TRANSPORT_NATIVE:
            return "native";
        case SP_TRANSPORT_USB:
            return "usb";
        case SP_TRANSPORT_BLUETOOTH:
            return "bluetooth";
    }
    return "";
}

SerialPortInfo describePort(const sp_port* port) {
    SerialPortInfo info;
    info.name = text(sp_get_port_name(port));
    info.description = text(sp_get_port_description(port));
    const sp_transport transport = sp_get_port_transport(port);
    info.transport = transportName(transport);
    if (transport == SP_TRANSPORT_USB) {
        int vid = -1;
        int pid = -1;
        if (sp_get_port_usb_vid_pid(port, &vid, &pid) == SP_OK) {
            info.usbVendorId = vid;
            info.usbProductId = pid;
        }
        info.manufacturer = text(sp_get_port_usb_manufacturer(port));
        info.serialNumber = text(sp_get_port_usb_serial(port));
    }
    return info;
}

}  // namespace

bool listSerialPorts(std::vector<SerialPortInfo>& ports, std::string& error) {
    ports.clear();
    sp_port** list = nullptr;
    if (sp_list_ports(&list) != SP_OK) {
        char* why = sp_last_error_message();
        error = "cannot list the serial ports: " + text(why);
        sp_free_error_message(why);
        return false;
    }
    for (sp_port** p = list; *p != nullptr; ++p)
        ports.push_back(describePort(*p));
    sp_free_port_list(list);
    std::sort(ports.begin(), ports.end(),
              [](const SerialPortInfo& a, const SerialPortInfo& b) { return a.name < b.name; });
    return true;
}

#else

bool listSerialPorts(std::vector<SerialPortInfo>& ports, std::string& error) {
    ports.clear();
    error = "port enumeration is not available in this build";
    return false;
}

#endif

}  // namespace kv58
