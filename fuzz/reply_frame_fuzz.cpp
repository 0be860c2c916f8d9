// The link's reply receiver on arbitrary bytes from the wire: loader commands are sent on a
// port whose input is the fuzz data, delivered in pieces whose sizes the data chooses, so
// that replies arrive whole, broken off, late, too long or never.
#include <algorithm>
#include <deque>
#include <memory>

#include "base/clock.h"
#include "bsl/bsl_link.h"
#include "bsl/link_result.h"
#include "fuzz_support.h"
#include "serial/serial_port.h"

using namespace kv58;

namespace {

// The input of the current run.
struct Wire {
    const uint8_t* data = nullptr;
    size_t size = 0;
    size_t pos = 0;
    bool empty() const { return pos >= size; }
    uint8_t next() { return empty() ? 0 : data[pos++]; }
};
Wire wire;

// Every wait hands over the next piece of input: a length byte, then that many bytes (a
// length of 0 lets the wait time out).
class FuzzPort final : public SerialPort {
public:
    explicit FuzzPort(Clock& clock) : clock_(clock) {}
    bool configure(const LineSettings&, std::string&) override { return true; }
    bool setDtr(bool) override { return true; }
    bool setRts(bool) override { return true; }
    size_t inputQueued() override { return queue_.size(); }
    size_t outputQueued() override { return 0; }
    void purge(bool input, bool, bool) override {
        if (input)
            queue_.clear();
    }
    bool writeByte(uint8_t) override { return true; }
    size_t read(uint8_t* destination, size_t max) override {
        const size_t n = std::min(max, queue_.size());
        std::copy_n(queue_.begin(), n, destination);
        queue_.erase(queue_.begin(), queue_.begin() + static_cast<std::ptrdiff_t>(n));
        return n;
    }
    size_t waitForInput(size_t count, int64_t timeoutMs) override {
        if (queue_.size() < count && !wire.empty()) {
            for (size_t n = wire.next() % 140; n > 0 && !wire.empty(); --n) {
                queue_.push_back(wire.next());
            }
        }
        if (queue_.size() < count)
            clock_.sleepMs(timeoutMs);
        return queue_.size();
    }
    bool close() override { return true; }

private:
    Clock& clock_;
    std::deque<uint8_t> queue_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool registered = [] {
        registerPortScheme("fuzz:", [](const std::string&, Clock& clock, std::string&) {
            return std::unique_ptr<SerialPort>(new FuzzPort(clock));
        });
        return true;
    }();
    (void)registered;
    wire = {data, size, 0};
    VirtualClock clock;
    BslLink link(clock);
    link.transport().setWarningSink([](const std::string&) {});
    link.setPortName("fuzz:");
    if (link.openPort() != LinkResult::Ok)
        std::abort();
    for (int commands = 0; !wire.empty() && commands < 64; ++commands) {
        Block reply{};
        reply.fill(0xEE);
        const uint8_t choice = wire.next();
        const auto length = static_cast<uint16_t>(wire.next() % 252);
        const auto address = static_cast<uint16_t>(0x1000 + (choice & 0x7F) * 2);
        if (choice & 0x80) {
            link.dataBlock().fill(wire.next());
            if (link.verifyBlock(address, length, BlockVerify) == LinkResult::Ok && length > 0) {
                // A verified block arrived whole and matches, byte for byte.
                const size_t offset = address & 1u;
                KV58_FUZZ_CHECK(link.lastReplyLength() >= offset + length);
                for (size_t i = 0; i < length; ++i) {
                    KV58_FUZZ_CHECK(link.replyBlock()[offset + i] == link.dataBlock()[i]);
                }
            }
            continue;
        }
        const LinkResult rc = link.bslCommand(kCmdTxDataBlock, address, length, nullptr, &reply);
        const ReplyFrame& frame = link.transport().reply();
        KV58_FUZZ_CHECK(frame.length <= kBlockCapacity);
        // Without synchronisation nothing was sent and the transport keeps its last reply.
        if (rc == LinkResult::NoSync) {
            KV58_FUZZ_CHECK(link.lastReplyLength() == 0);
            continue;
        }
        KV58_FUZZ_CHECK(link.lastReplyLength() == frame.length);
        // The data of the frame, and nothing past it, are copied into the reply.
        KV58_FUZZ_CHECK(
            std::equal(reply.begin(), reply.begin() + frame.length, frame.data.begin()));
        KV58_FUZZ_CHECK(std::all_of(reply.begin() + frame.length, reply.end(),
                                    [](uint8_t b) { return b == 0xEE; }));
        if (rc == LinkResult::Ok)
            KV58_FUZZ_CHECK((frame.header & 0xF0) == 0x80 || (frame.header & 0xF0) == 0x90);
    }
    static_cast<void>(link.closePort());
    return 0;
}
