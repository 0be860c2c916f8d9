// The link over a network serial port whose server misbehaves.
#include <gtest/gtest.h>

#include <chrono>

#include "bsl/bsl_link.h"
#include "bsl/link_result.h"
#include "serial/rfc2217_peer.h"

namespace kv58::test {
namespace {

using std::chrono::steady_clock;

// The link on top: the open and configuration failures keep their result codes, and a server
// that closes the connection in the middle of a reply frame gives an invalid reply at once.
TEST(Rfc2217Link, FailuresMapToTheLinkResultsWithoutHanging) {
    BslLink link(realClock());
    link.setPortName("rfc2217://127.0.0.1:1?timeout=0.2");
    EXPECT_EQ(link.openPort(), LinkResult::PortOpenFailed);
    EXPECT_NE(link.transport().lastError().find("cannot connect"), std::string::npos);

    ScriptedServer refusing;
    refusing.run([](RawPeer& peer) {
        if (peer.agree())
            peer.answerConfiguration([](Bytes& c) { c.back() = c[0] == 3 ? 1 : c.back(); });
        peer.receive(1, 1000);
    });
    link.setPortName(refusing.name());
    EXPECT_EQ(link.openPort(), LinkResult::PortConfigFailed);
    EXPECT_NE(link.transport().lastError().find("parity none instead of even"), std::string::npos)
        << link.transport().lastError();
    refusing.join();

    ScriptedServer leaving;
    leaving.run([](RawPeer& peer) {
        if (!peer.agree())
            return;
        peer.answerConfiguration();
        std::vector<Bytes> commands;
        if (peer.receiveData(1, commands) == Bytes{0x80})
            peer.send({0x90});
        peer.receiveData(8, commands);  // the read command frame
        peer.send({0x80, 0x00, 0x80, 0x80, 0x01, 0x02});
    });
    link.setPortName(leaving.name());
    link.setBaudRate(115200);
    ASSERT_EQ(link.openPort(), LinkResult::Ok) << link.transport().lastError();
    const auto start = steady_clock::now();
    Block reply{};
    EXPECT_EQ(link.bslCommand(kCmdTxDataBlock, 0x1080, 128, nullptr, &reply),
              LinkResult::InvalidReply);
    EXPECT_LT(elapsedMs(start), 250) << "waited for the time-out instead of the closed connection";
    static_cast<void>(link.closePort());
}

}  // namespace
}  // namespace kv58::test
