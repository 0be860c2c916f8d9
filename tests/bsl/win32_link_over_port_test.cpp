// The link's transport over a COM port with the simulated transmitter's loader behind it.
#include <gtest/gtest.h>
#include <windows.h>

#include "bsl/frame_transport.h"
#include "bsl/link_result.h"
#include "bsl/titxt.h"
#include "serial/serial_port.h"
#include "serial/win32_test_ports.h"

namespace kv58 {
namespace {

TEST(Win32PortLink, SynchronisationAndALoaderReadInRealTime) {
    const std::string port = environment("KV58_TEST_SIM_PORT");
    KV58_NEED_PORTS(!port.empty(), "KV58_TEST_SIM_PORT (the simulated transmitter's port)");
    RealClock clock;
    FrameTransport transport(clock);
    ASSERT_EQ(transport.openPort(port, 300, 4, LineSettings{9600, 8, Parity::None, StopBits::One}),
              LinkResult::Ok)
        << transport.lastError();
    transport.enterBootstrapLoader(true);
    ASSERT_EQ(transport.synchronize(), LinkResult::Ok);
    const uint8_t readVersion[] = {0xFA, 0x0F, 0x02, 0x00};  // 2 bytes at 0x0FFA
    EXPECT_EQ(transport.exchangeFrame(0x14, readVersion), LinkResult::Nak) << "no password yet";
    std::vector<uint8_t> password = {0xE0, 0xFF, 0x20, 0x00};  // 32 bytes at 0xFFE0
    ASSERT_EQ(readTiTxtFile(KV58_SOURCE_DIR "/resources/shipped/KV58-PW.TXT", kMaxImageBlock,
                            [&](uint16_t, std::span<const uint8_t> bytes) {
                                password.insert(password.end(), bytes.begin(), bytes.end());
                                return LinkResult::Ok;
                            }),
              LinkResult::Ok);
    ASSERT_EQ(password.size(), 36u);
    ASSERT_EQ(transport.synchronize(), LinkResult::Ok);
    ASSERT_EQ(transport.exchangeFrame(0x10, password), LinkResult::Ok);
    ASSERT_EQ(transport.synchronize(), LinkResult::Ok);
    ASSERT_EQ(transport.exchangeFrame(0x14, readVersion), LinkResult::Ok);
    EXPECT_EQ(transport.reply().length, 2);
    EXPECT_EQ(transport.closePort(), LinkResult::Ok);
}

}  // namespace
}  // namespace kv58
