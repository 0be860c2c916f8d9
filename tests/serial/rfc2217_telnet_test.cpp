// The Telnet layer of the network serial port: framing, option negotiation, port names.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "serial/rfc2217_address.h"
#include "serial/telnet_codec.h"
#include "serial/telnet_options.h"

namespace kv58::telnet {
namespace {

using Bytes = std::vector<uint8_t>;

// Everything the decoder reports, as text: "d41" data, "WILL 44", "sb 2C 65 00…", "sb! …"
// for a truncated sub-negotiation.
class EventLog final : public Listener {
public:
    void onData(uint8_t byte) override { events.push_back("d" + hex(byte)); }
    void onNegotiation(uint8_t verb, uint8_t option) override {
        events.push_back(std::string(verbName(verb)) + " " + std::to_string(option));
    }
    void onSubnegotiation(std::span<const uint8_t> payload, bool truncated) override {
        std::string text = truncated ? "sb!" : "sb";
        for (uint8_t b : payload)
            text += " " + hex(b);
        events.push_back(text + " (" + std::to_string(payload.size()) + ")");
    }
    std::vector<std::string> events;

private:
    static std::string hex(uint8_t b) {
        static const char kDigits[] = "0123456789ABCDEF";
        return {kDigits[b >> 4], kDigits[b & 15]};
    }
};

// Data with an escaped 0xFF, a negotiation, a NOP, a sub-negotiation carrying FF, data again.
const Bytes kStream = {0x41, 0xFF, 0xFF, 0x42, 0xFF, 0xFB, 0x2C, 0xFF, 0xF1, 0xFF, 0xFA, 0x2C,
                       0x65, 0x00, 0xFF, 0xFF, 0x00, 0x01, 0xFF, 0xF0, 0xFF, 0xFF, 0x43};
const std::vector<std::string> kEvents = {
    "d41", "dFF", "d42", "WILL 44", "sb 2C 65 00 FF 00 01 (6)", "dFF", "d43"};

TEST(TelnetDecoder, FindsDataNegotiationsAndSubnegotiationsWhereverTheStreamIsSplit) {
    for (size_t cut = 0; cut <= kStream.size(); ++cut) {
        Decoder decoder;
        EventLog log;
        decoder.feed({kStream.data(), cut}, log);
        decoder.feed({kStream.data() + cut, kStream.size() - cut}, log);
        EXPECT_EQ(log.events, kEvents) << "split after " << cut << " bytes";
    }
    Decoder decoder;
    EventLog log;
    for (uint8_t b : kStream)
        decoder.feed({&b, 1}, log);
    EXPECT_EQ(log.events, kEvents) << "one byte per read";
}

TEST(TelnetDecoder, OverlongSubnegotiationIsCutAndFlaggedAndTheDataAfterItSurvives) {
    Bytes stream = {0xFF, 0xFA, 0x2C, 0x64};
    stream.insert(stream.end(), 100, 'x');
    stream.insert(stream.end(), {0xFF, 0xF0, 0x7E});
    Decoder decoder;
    EventLog log;
    decoder.feed(stream, log);
    ASSERT_EQ(log.events.size(), 2u);
    EXPECT_EQ(log.events[0].substr(0, 12), "sb! 2C 64 78");
    EXPECT_NE(log.events[0].find("(64)"), std::string::npos) << log.events[0];
    EXPECT_EQ(log.events[1], "d7E");
}

TEST(TelnetEncoder, DoublesFFInDataAndSubnegotiationsAndRoundTrips) {
    Bytes out;
    for (const uint8_t b : Bytes{0x00, 0xFF, 0x7F})
        appendData(out, b);
    EXPECT_EQ(out, (Bytes{0x00, 0xFF, 0xFF, 0x7F}));
    out.clear();
    const Bytes baud = {0x01, 0x00, 0x00, 0xFF, 0xFF};  // command 1, 65535 baud
    appendSubnegotiation(out, kOptionComPort, baud);
    EXPECT_EQ(out, (Bytes{0xFF, 0xFA, 0x2C, 0x01, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xF0}));
    Decoder decoder;
    EventLog log;
    decoder.feed(out, log);
    EXPECT_EQ(log.events, std::vector<std::string>{"sb 2C 01 00 00 FF FF (6)"});
}

// The client's and the server's policies, wired together until neither has more to say.
TEST(TelnetNegotiation, ClientAndServerAgreeOnBinaryAndComPortWithoutLooping) {
    OptionNegotiation client({kOptionBinary, kOptionComPort}, {kOptionBinary, kOptionComPort});
    OptionNegotiation server({kOptionBinary, kOptionComPort}, {kOptionBinary, kOptionComPort});
    Bytes toServer, toClient;
    client.requestLocal(kOptionBinary, toServer);
    client.requestRemote(kOptionBinary, toServer);
    client.requestLocal(kOptionComPort, toServer);
    server.requestLocal(kOptionBinary, toClient);  // both ends ask at once
    server.requestRemote(kOptionBinary, toClient);
    int rounds = 0;
    for (; (!toServer.empty() || !toClient.empty()) && rounds < 10; ++rounds) {
        Bytes a, b;
        for (size_t i = 0; i + 2 < toServer.size(); i += 3)
            server.receive(toServer[i + 1], toServer[i + 2], a);
        for (size_t i = 0; i + 2 < toClient.size(); i += 3)
            client.receive(toClient[i + 1], toClient[i + 2], b);
        toClient = a, toServer = b;
    }
    EXPECT_LT(rounds, 3);
    EXPECT_TRUE(client.localOn(kOptionBinary) && client.remoteOn(kOptionBinary));
    EXPECT_TRUE(server.localOn(kOptionBinary) && server.remoteOn(kOptionBinary));
    EXPECT_TRUE(client.localOn(kOptionComPort) && server.remoteOn(kOptionComPort));
}

TEST(TelnetNegotiation, RefusesWhatItDoesNotOfferAndRemembersRefusals) {
    OptionNegotiation n({kOptionBinary}, {kOptionBinary});
    Bytes out;
    n.receive(kWill, kOptionEcho, out);  // a server that offers to echo: no
    n.receive(kDo, 24, out);             // terminal type: no
    EXPECT_EQ(out, (Bytes{0xFF, 0xFE, 0x01, 0xFF, 0xFC, 0x18}));
    out.clear();
    n.receive(kDo, kOptionBinary, out);  // unsolicited: agreed once
    n.receive(kDo, kOptionBinary, out);  // repeated: no answer
    EXPECT_EQ(out, (Bytes{0xFF, 0xFB, 0x00}));
    out.clear();
    n.requestLocal(kOptionComPort, out);
    n.receive(kDont, kOptionComPort, out);
    EXPECT_EQ(out, (Bytes{0xFF, 0xFB, 0x2C}));  // the request, and no answer to the refusal
    EXPECT_TRUE(n.localRefused(kOptionComPort));
    EXPECT_FALSE(n.localOn(kOptionComPort) || n.localPending(kOptionComPort));
    out.clear();
    n.receive(kDont, kOptionBinary, out);  // switched off: acknowledged
    EXPECT_EQ(out, (Bytes{0xFF, 0xFC, 0x00}));
}

TEST(Rfc2217Address, AcceptsHostsPortsAndOptions) {
    rfc2217::Address a;
    std::string error;
    ASSERT_TRUE(rfc2217::parseAddress("rfc2217://bench-7.local:4001", a, error)) << error;
    EXPECT_EQ(a.host, "bench-7.local");
    EXPECT_EQ(a.port, 4001);
    EXPECT_EQ(a.timeoutMs, 3000);
    EXPECT_FALSE(a.ignoreSetControl);
    ASSERT_TRUE(
        rfc2217::parseAddress("rfc2217://[::1]:65535?timeout=0.25&ign_set_control", a, error))
        << error;
    EXPECT_EQ(a.host, "::1");
    EXPECT_EQ(a.port, 65535);
    EXPECT_EQ(a.timeoutMs, 250);
    EXPECT_TRUE(a.ignoreSetControl);
}

TEST(Rfc2217Address, RefusesMalformedNamesRepeatingTheForm) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"rfc2217://", "host and port missing"},
        {"rfc2217://host", "port missing"},
        {"rfc2217://localhost?timeout=1", "port missing"},
        {"rfc2217://[::1]", "port missing"},
        {"rfc2217://[::1:4000", "\"]\" missing after the IPv6 address"},
        {"rfc2217://:4000", "host missing"},
        {"rfc2217://[]:4000", "host missing"},
        {"rfc2217://::1:4000", "an IPv6 address needs brackets, as in [::1]:4000"},
        {"rfc2217://host:0", "port \"0\" is not a number from 1 to 65535"},
        {"rfc2217://host:65536", "port \"65536\" is not a number from 1 to 65535"},
        {"rfc2217://host:40x", "port \"40x\" is not a number from 1 to 65535"},
        {"rfc2217://host:4000?timeout=-1", "timeout \"-1\" is not a number of seconds"},
        {"rfc2217://host:4000?timeout=0", "timeout \"0\" is not a number of seconds"},
        {"rfc2217://host:4000?logging=debug",
         "unknown option \"logging=debug\" (accepted: timeout=SECONDS, ign_set_control)"},
    };
    for (const auto& [name, why] : cases) {
        rfc2217::Address a;
        std::string error;
        EXPECT_FALSE(rfc2217::parseAddress(name, a, error)) << name;
        EXPECT_EQ(error.rfind("\"" + name + "\": " + why, 0), 0u) << error;
        EXPECT_NE(error.find("expected rfc2217://HOST:PORT[?timeout=SECONDS&ign_set_control]"),
                  std::string::npos)
            << error;
    }
}

}  // namespace
}  // namespace kv58::telnet
