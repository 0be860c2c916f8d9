// The Win32 backend's pieces that need no connected port: device paths, the configuration
// record, purge flags, port enumeration from a registry key, and the errors of a failed open.
#include "serial/win32_comm.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "serial/serial_port.h"
#include "serial/win32_port_list.h"
#include "support/temp_dir.h"

namespace kv58 {
namespace {

TEST(Win32DevicePath, ComPortsGetTheDevicePrefixOtherNamesStay) {
    EXPECT_EQ(win32::devicePath("COM1"), "\\\\.\\COM1");
    EXPECT_EQ(win32::devicePath("COM12"), "\\\\.\\COM12");
    EXPECT_EQ(win32::devicePath("com256"), "\\\\.\\com256");
    for (const char* kept : {"\\\\.\\COM3", "COM", "COM0", "COM1x", "COMA", "LPT1", "X:\\COM1"})
        EXPECT_EQ(win32::devicePath(kept), kept);
}

// A record as a driver might hand it over: flow control and replacements switched on.
DCB busyRecord() {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    dcb.BaudRate = 1200;
    dcb.ByteSize = 5;
    dcb.fOutxCtsFlow = TRUE;
    dcb.fOutxDsrFlow = TRUE;
    dcb.fDsrSensitivity = TRUE;
    dcb.fDtrControl = DTR_CONTROL_HANDSHAKE;
    dcb.fRtsControl = RTS_CONTROL_TOGGLE;
    dcb.fOutX = TRUE;
    dcb.fInX = TRUE;
    dcb.fNull = TRUE;
    dcb.fErrorChar = TRUE;
    dcb.fAbortOnError = TRUE;
    dcb.fTXContinueOnXoff = TRUE;
    dcb.XonLim = 77;
    dcb.XoffLim = 88;
    dcb.XonChar = 0x11;
    dcb.EofChar = 0x1A;
    dcb.ErrorChar = '?';
    return dcb;
}

TEST(Win32LineSettings, SetsTheLinkFieldsAndKeepsTheRest) {
    DCB dcb = busyRecord();
    win32::applyLineSettings(dcb, LineSettings{19200, 7, Parity::Odd, StopBits::Two});
    EXPECT_EQ(dcb.BaudRate, 19200u);
    EXPECT_EQ(dcb.ByteSize, 7);
    EXPECT_EQ(dcb.Parity, ODDPARITY);
    EXPECT_EQ(dcb.StopBits, TWOSTOPBITS);
    EXPECT_TRUE(dcb.fBinary);
    EXPECT_TRUE(dcb.fParity);
    EXPECT_EQ(dcb.fDtrControl, static_cast<DWORD>(DTR_CONTROL_ENABLE));
    EXPECT_EQ(dcb.fRtsControl, static_cast<DWORD>(RTS_CONTROL_ENABLE));
    EXPECT_FALSE(dcb.fOutxCtsFlow || dcb.fOutxDsrFlow || dcb.fDsrSensitivity);
    EXPECT_FALSE(dcb.fOutX || dcb.fInX);
    EXPECT_FALSE(dcb.fNull || dcb.fErrorChar);
    // What the link does not set stays as the driver had it.
    EXPECT_EQ(dcb.DCBlength, sizeof(DCB));
    EXPECT_TRUE(dcb.fAbortOnError);
    EXPECT_TRUE(dcb.fTXContinueOnXoff);
    EXPECT_EQ(dcb.XonLim, 77);
    EXPECT_EQ(dcb.XoffLim, 88);
    EXPECT_EQ(dcb.XonChar, 0x11);
    EXPECT_EQ(dcb.EofChar, 0x1A);
    EXPECT_EQ(dcb.ErrorChar, '?');
}

TEST(Win32LineSettings, EveryParityAndStopBitCodeReachesTheRecord) {
    const struct {
        Parity parity;
        BYTE code;
    } parities[] = {{Parity::None, NOPARITY},
                    {Parity::Odd, ODDPARITY},
                    {Parity::Even, EVENPARITY},
                    {Parity::Mark, MARKPARITY},
                    {Parity::Space, SPACEPARITY}};
    for (const auto& p : parities) {
        DCB dcb = busyRecord();
        win32::applyLineSettings(dcb, LineSettings{9600, 8, p.parity, StopBits::One});
        EXPECT_EQ(dcb.Parity, p.code) << static_cast<int>(p.parity);
    }
    const struct {
        StopBits stop;
        BYTE code;
    } stops[] = {{StopBits::One, ONESTOPBIT},
                 {StopBits::OneAndHalf, ONE5STOPBITS},
                 {StopBits::Two, TWOSTOPBITS}};
    for (const auto& s : stops) {
        DCB dcb = busyRecord();
        win32::applyLineSettings(dcb, LineSettings{9600, 5, Parity::None, s.stop});
        EXPECT_EQ(dcb.StopBits, s.code) << static_cast<int>(s.stop);
    }
}

TEST(Win32Purge, FlagsFollowDirectionAndAbort) {
    EXPECT_EQ(win32::purgeFlags(true, true, true),
              static_cast<DWORD>(PURGE_RXCLEAR | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_TXABORT));
    EXPECT_EQ(win32::purgeFlags(true, true, false),
              static_cast<DWORD>(PURGE_RXCLEAR | PURGE_TXCLEAR));
    EXPECT_EQ(win32::purgeFlags(true, false, false), static_cast<DWORD>(PURGE_RXCLEAR));
    EXPECT_EQ(win32::purgeFlags(false, true, true),
              static_cast<DWORD>(PURGE_TXCLEAR | PURGE_TXABORT));
    EXPECT_EQ(win32::purgeFlags(false, false, true), 0u);
}

TEST(Win32Errors, OpenFailuresNameThePortAndTheCause) {
    EXPECT_EQ(win32::openFailureText("COM7", ERROR_FILE_NOT_FOUND), "no serial port COM7");
    EXPECT_EQ(win32::openFailureText("COM7", ERROR_ACCESS_DENIED),
              "serial port COM7 is in use by another program");
    const std::string other = win32::openFailureText("COM7", ERROR_GEN_FAILURE);
    EXPECT_EQ(other.rfind("cannot open serial port COM7: ", 0), 0u) << other;
    EXPECT_NE(other.find("(error 31)"), std::string::npos) << other;
}

TEST(Win32Open, WhatIsNoPortIsRefusedByName) {
    RealClock clock;
    std::string error;
    EXPECT_EQ(openSerialPort("COM239", clock, error), nullptr);
    EXPECT_EQ(error, "no serial port COM239");
    test::TempDir dir;
    const std::string file = dir.file("plain.txt");
    test::writeFile(file, "not a port");
    EXPECT_EQ(openSerialPort(file, clock, error), nullptr);
    EXPECT_EQ(error, file + " is not a serial port");
}

// A scratch key below HKEY_CURRENT_USER, removed with its values afterwards.
class ScratchKey {
public:
    ScratchKey() {
        path_ = "Software\\kv58-test-" + std::to_string(GetCurrentProcessId());
        RegCreateKeyExA(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &key_, nullptr);
    }
    ~ScratchKey() {
        if (key_)
            RegCloseKey(key_);
        RegDeleteTreeA(HKEY_CURRENT_USER, path_.c_str());
    }
    HKEY get() const { return key_; }
    void set(const char* name, const std::string& value) {
        RegSetValueExA(key_, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>(value.size() + 1));
    }

private:
    std::string path_;
    HKEY key_ = nullptr;
};

TEST(Win32PortList, PortsOfTheKeyInPortOrderWithTheirDevices) {
    ScratchKey key;
    ASSERT_NE(key.get(), nullptr);
    key.set("\\Device\\USBSER000", "COM10");
    key.set("\\Device\\Serial0", "COM1");
    key.set("\\Device\\VirtualPort3", "COM2");
    key.set("\\Device\\Empty", "");
    const DWORD number = 3;
    RegSetValueExA(key.get(), "\\Device\\NotText", 0, REG_DWORD,
                   reinterpret_cast<const BYTE*>(&number), sizeof number);
    std::vector<SerialPortInfo> ports;
    std::string error;
    ASSERT_TRUE(win32::listPortsInKey(key.get(), ports, error)) << error;
    ASSERT_EQ(ports.size(), 3u);
    EXPECT_EQ(ports[0].name, "COM1");
    EXPECT_EQ(ports[0].description, "\\Device\\Serial0");
    EXPECT_EQ(ports[0].transport, "native");
    EXPECT_EQ(ports[1].name, "COM2");
    EXPECT_EQ(ports[1].transport, "");
    EXPECT_EQ(ports[2].name, "COM10");
    EXPECT_EQ(ports[2].transport, "usb");
}

TEST(Win32PortList, PortOrderIsByNumber) {
    EXPECT_TRUE(win32::portNameLess("COM2", "COM10"));
    EXPECT_FALSE(win32::portNameLess("COM10", "COM2"));
    EXPECT_FALSE(win32::portNameLess("COM3", "COM3"));
    EXPECT_TRUE(win32::portNameLess("COM99", "\\\\.\\PIPE"));
    EXPECT_TRUE(win32::portNameLess("COM12345678901234567890", "COM3x"));
}

}  // namespace
}  // namespace kv58
