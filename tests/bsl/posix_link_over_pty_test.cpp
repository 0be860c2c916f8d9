// The frame transport over a real pseudo-terminal, in real time.
#include <gtest/gtest.h>

#include <thread>

#include "bsl/frame_transport.h"
#include "bsl/link_result.h"
#include "serial/pty_master.h"
#include "serial/serial_port.h"

namespace kv58 {
namespace {

// A thread on the other side playing the loader.
TEST(PosixPortLink, SynchronisationAndAFrameInRealTime) {
    PtyMaster master;
    RealClock clock;
    FrameTransport transport(clock);
    ASSERT_EQ(transport.openPort(master.portName(), 300, 4, LineSettings{}), LinkResult::Ok)
        << transport.lastError();
    std::thread loader([&] {
        std::vector<uint8_t> got = master.read(2000);
        if (got == std::vector<uint8_t>{0x80})
            master.write({0x90});
        got = master.read(2000);
        if (got.size() == 10 && got[1] == 0x14) {
            master.write({0x80, 0x00, 0x02, 0x02, 0x01, 0x10, 0x7C, 0xED});
        }
    });
    EXPECT_EQ(transport.synchronize(), LinkResult::Ok);
    const uint8_t payload[] = {0xFA, 0x0F, 0x02, 0x00};
    EXPECT_EQ(transport.exchangeFrame(0x14, payload), LinkResult::Ok);
    loader.join();
    EXPECT_EQ(transport.reply().length, 2);
    EXPECT_EQ(transport.closePort(), LinkResult::Ok);
}

}  // namespace
}  // namespace kv58
