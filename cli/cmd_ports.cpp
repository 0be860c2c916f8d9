// kv58ctl ports: the serial ports of the machine with their descriptions.
#include <cstdio>
#include <string>
#include <vector>

#include "base/text.h"
#include "command.h"
#include "diagnostics.h"
#include "json_text.h"
#include "serial/port_list.h"
#include "serial/serial_port.h"

namespace kv58::cli {

namespace {

int run(Context& ctx);

const Command kCommand{
    "ports", "list the serial ports of this machine",
    "Usage: kv58ctl ports\n"
    "\n"
    "Lists the serial ports the system knows, one per line: the name to give as --port or\n"
    "as Port in the settings file, then its description (for a USB adapter the product\n"
    "name, with vendor and product id and its USB serial number: usb:SERIAL names that\n"
    "adapter wherever it is plugged in; auto names the only USB adapter when there is\n"
    "just one). With --json the ports are an array of objects with\n"
    "\"name\", \"description\", \"transport\" and, for USB adapters, \"usbVendorId\",\n"
    "\"usbProductId\", \"manufacturer\" and \"serialNumber\". Pseudo-terminals (such as\n"
    "kv58-sim --pty makes) and sim: ports are not listed but can be used all the same.\n",
    run};

const CommandRegistrar kRegistrar(kCommand);

// " [USB 0403:6001, serial A12345]": what tells USB adapters apart (usb:SERIAL picks one).
std::string usbIds(const SerialPortInfo& p) {
    if (p.transport != "usb")
        return "";
    std::string ids = p.usbVendorId < 0
                          ? std::string(" [USB")
                          : strprintf(" [USB %04X:%04X", static_cast<unsigned>(p.usbVendorId),
                                      static_cast<unsigned>(p.usbProductId));
    ids += p.serialNumber.empty() ? ", no serial number" : ", serial " + p.serialNumber;
    return ids + "]";
}

void printJson(const std::vector<SerialPortInfo>& ports) {
    std::printf("[");
    for (size_t i = 0; i < ports.size(); ++i) {
        const SerialPortInfo& p = ports[i];
        std::string usb;
        if (p.usbVendorId >= 0) {
            usb = strprintf(
                ", \"usbVendorId\": %d, \"usbProductId\": %d, \"manufacturer\": %s, "
                "\"serialNumber\": %s",
                p.usbVendorId, p.usbProductId, jsonString(p.manufacturer).c_str(),
                jsonString(p.serialNumber).c_str());
        }
        std::printf("%s{\"name\": %s, \"description\": %s, \"transport\": %s%s}",
                    i == 0 ? "\n  " : ",\n  ", jsonString(p.name).c_str(),
                    jsonString(p.description).c_str(), jsonString(p.transport).c_str(),
                    usb.c_str());
    }
    std::printf("%s]\n", ports.empty() ? "" : "\n");
}

int run(Context& ctx) {
    if (!ctx.args.empty())
        return usageError(kCommand, "unexpected argument " + ctx.args[0]);
    std::vector<SerialPortInfo> ports;
    std::string error;
    if (!listSerialPorts(ports, error)) {
        printError("kv58ctl: %s\n", error.c_str());
        return kExitFailure;
    }
    if (ctx.json) {
        printJson(ports);
        return kExitOk;
    }
    if (ports.empty()) {
        std::printf("No serial ports found. Other forms of a port: %s\n",
                    acceptedPortForms().c_str());
        return kExitOk;
    }
    for (const SerialPortInfo& p : ports) {
        std::printf("%-20s %s%s\n", p.name.c_str(), p.description.c_str(), usbIds(p).c_str());
    }
    return kExitOk;
}

}  // namespace

}  // namespace kv58::cli
