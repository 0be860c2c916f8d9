// Ports named by what the adapter is (auto, usb:SERIAL) rather than where it is plugged in.
#include "serial/port_resolution.h"

#include <gtest/gtest.h>

#include "serial/serial_port.h"
#include "serial/usb_instance_id.h"

namespace kv58 {
namespace {

SerialPortInfo usb(const std::string& name, const std::string& serial) {
    SerialPortInfo p;
    p.name = name;
    p.description = "FT232R USB UART";
    p.transport = "usb";
    p.usbVendorId = 0x0403;
    p.usbProductId = 0x6001;
    p.serialNumber = serial;
    return p;
}

SerialPortInfo native(const std::string& name) {
    SerialPortInfo p;
    p.name = name;
    p.transport = "native";
    return p;
}

struct Resolved {
    bool ok;
    std::string device;
    std::string error;
};

Resolved resolve(const std::string& name, const std::vector<SerialPortInfo>& ports) {
    Resolved r;
    r.ok = resolvePortNameAmong(name, ports, r.device, r.error);
    return r;
}

TEST(PortResolution, AutoTakesTheOneUsbAdapterAndRefusesNoneOrSeveral) {
    const Resolved one = resolve("auto", {native("/dev/ttyS0"), usb("/dev/ttyUSB3", "A1")});
    EXPECT_TRUE(one.ok);
    EXPECT_EQ(one.device, "/dev/ttyUSB3");
    EXPECT_EQ(resolve("AUTO", {usb("COM7", "")}).device, "COM7") << "no serial number needed";

    const Resolved none = resolve("auto", {native("/dev/ttyS0")});
    EXPECT_FALSE(none.ok);
    EXPECT_EQ(none.error,
              "port auto: no USB serial adapter is connected (kv58ctl ports lists the serial "
              "ports there are)");

    const Resolved two = resolve("auto", {usb("/dev/ttyUSB0", "A1"), usb("/dev/ttyUSB1", "")});
    EXPECT_FALSE(two.ok);
    EXPECT_EQ(two.error,
              "port auto: 2 USB serial adapters are connected; choose one with usb:SERIAL or its "
              "device name:\n"
              "  /dev/ttyUSB0 (USB 0403:6001, serial A1, FT232R USB UART)\n"
              "  /dev/ttyUSB1 (USB 0403:6001, no serial number, FT232R USB UART)");
}

TEST(PortResolution, UsbSerialFindsTheAdapterWhereverItIsPluggedIn) {
    const std::vector<SerialPortInfo> ports = {usb("/dev/ttyUSB0", "A1"),
                                               usb("/dev/ttyUSB1", "FTB9X2"), native("/dev/ttyS0")};
    EXPECT_EQ(resolve("usb:FTB9X2", ports).device, "/dev/ttyUSB1");
    EXPECT_EQ(resolve("USB:ftb9x2", ports).device, "/dev/ttyUSB1") << "case folded when unique";
    const std::vector<SerialPortInfo> cased = {usb("/dev/ttyUSB0", "ab"),
                                               usb("/dev/ttyUSB1", "AB")};
    EXPECT_EQ(resolve("usb:AB", cased).device, "/dev/ttyUSB1") << "an exact match first";

    const Resolved missing = resolve("usb:Z9", ports);
    EXPECT_FALSE(missing.ok);
    EXPECT_EQ(missing.error,
              "usb:Z9: no USB serial adapter with serial number \"Z9\" is connected; connected:\n"
              "  /dev/ttyUSB0 (USB 0403:6001, serial A1, FT232R USB UART)\n"
              "  /dev/ttyUSB1 (USB 0403:6001, serial FTB9X2, FT232R USB UART)");
    EXPECT_EQ(resolve("usb:Z9", {native("/dev/ttyS0")}).error,
              "usb:Z9: no USB serial adapter with serial number \"Z9\" is connected (none is "
              "connected)");

    const Resolved twins =
        resolve("usb:A1", {usb("/dev/ttyUSB0", "A1"), usb("/dev/ttyUSB1", "A1")});
    EXPECT_FALSE(twins.ok);
    EXPECT_NE(twins.error.find("2 USB serial adapters have serial number \"A1\""),
              std::string::npos)
        << twins.error;
    EXPECT_FALSE(resolve("usb:", ports).ok);
}

TEST(PortResolution, OtherNamesPassUnchanged) {
    for (const char* name : {"/dev/ttyUSB0", "COM3", "sim:?serial=A", "rfc2217://h:1", "autom"}) {
        const Resolved r = resolve(name, {});
        EXPECT_TRUE(r.ok) << name;
        EXPECT_EQ(r.device, name);
    }
}

TEST(PortResolution, OpeningResolvesTheNameFirst) {
    std::string error;
    // Whatever this machine has, a serial number nobody has is refused before any open,
    // naming the form that was asked for.
    EXPECT_FALSE(openSerialPort("usb:no-adapter-has-this", realClock(), error));
    EXPECT_EQ(error.rfind("usb:no-adapter-has-this: ", 0), 0u) << error;
    EXPECT_NE(acceptedPortForms().find("usb:SERIAL"), std::string::npos);
}

TEST(UsbInstance, ReadsIdsAndSerialNumbersAsTheDeviceTreeNamesThem) {
    UsbIdentity id;
    ASSERT_TRUE(parseUsbInstance("VID_0403&PID_6001", "A12345", id));
    EXPECT_EQ(id.vendorId, 0x0403);
    EXPECT_EQ(id.productId, 0x6001);
    EXPECT_EQ(id.serialNumber, "A12345");

    ASSERT_TRUE(parseUsbInstance("VID_067B&PID_2303", "5&2C2A6F3&0&2", id));
    EXPECT_EQ(id.productId, 0x2303);
    EXPECT_EQ(id.serialNumber, "") << "a name Windows made up";

    ASSERT_TRUE(parseUsbInstance("VID_10C4&PID_EA60&MI_00", "0001", id));
    EXPECT_EQ(id.serialNumber, "") << "an interface of a composite device";

    ASSERT_TRUE(parseUsbInstance("VID_0403+PID_6010+FT4XQ9A", "0000", id));
    EXPECT_EQ(id.productId, 0x6010);
    EXPECT_EQ(id.serialNumber, "FT4XQ9") << "without the port letter";

    for (const char* bad :
         {"", "ROOT_HUB20", "VID_04G3&PID_6001", "VID_0403-PID_6001", "VID_0403&PID_60"}) {
        EXPECT_FALSE(parseUsbInstance(bad, "A1", id)) << bad;
    }
}

}  // namespace
}  // namespace kv58
