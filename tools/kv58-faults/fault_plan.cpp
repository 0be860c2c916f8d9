#include "fault_plan.h"

#include "base/text.h"
#include "sim/flash_timing.h"
#include "sim/prng.h"

namespace kv58::faults {

namespace {

using sim::Prng;

// Host bytes of a write with its reread are about 800, with a restore about 6000; reply
// bytes about 5000 and 14000. Counts are drawn so that faults land in every stage.
constexpr uint32_t kSentSpan = 6500;
constexpr uint32_t kReplySpan = 15000;

uint64_t between(Prng& rng, uint64_t low, uint64_t high) {
    return low + rng.below(static_cast<uint32_t>(high - low + 1));
}

// A byte count that lands early (the write itself) as often as late (reread, restore).
uint64_t byteIndex(Prng& rng, uint32_t span) {
    return rng.below(2) ? between(rng, 1, 1000) : between(rng, 1, span);
}

std::string hexAddress(uint32_t address) {
    return strprintf("%04X", address);
}

void addFault(Prng& rng, FaultPlan& plan) {
    const auto item = [&](const std::string& name, uint64_t n) {
        plan.items.push_back(name + ":" + std::to_string(n));
    };
    switch (rng.below(14)) {
        case 0:
            item("lose-sent", byteIndex(rng, kSentSpan));
            break;
        case 1:
            item("lose-reply", byteIndex(rng, kReplySpan));
            break;
        case 2:
            item("corrupt-sent", byteIndex(rng, kSentSpan));
            break;
        case 3:
            item("corrupt-reply", byteIndex(rng, kReplySpan));
            break;
        case 4:
            plan.items.push_back(strprintf("lose-rate:%.4f", 0.0002 + rng.unit() * 0.003));
            break;
        case 5:
            plan.items.push_back(strprintf("corrupt-rate:%.4f", 0.0002 + rng.unit() * 0.003));
            break;
        case 6:
            plan.silentFrom = byteIndex(rng, kSentSpan);
            if (rng.below(3))
                plan.silentUntil = *plan.silentFrom + between(rng, 1, 3000);
            break;
        case 7:
            item("refuse-password", between(rng, 1, 4));
            break;
        case 8:  // a cell of Segment A, or of the program, that will not program
            plan.items.push_back("stuck:" + hexAddress(rng.below(3) ? 0x1080 + rng.below(0x80)
                                                                    : 0xF000 + rng.below(0x1000)));
            break;
        case 9:
            plan.items.push_back("program-change:" + hexAddress(0xF000 + rng.below(0x1000)));
            break;
        case 10:
            item("answer-from", between(rng, 2, 4));
            break;
        case 11:
            item("swap", between(rng, 1, 5));
            break;
        case 12:
            item("power-loss", between(rng, 1, 24));
            break;
        default:
            plan.powerOffAt = byteIndex(rng, kSentSpan);
            break;
    }
}

}  // namespace

size_t FaultPlan::count() const {
    return items.size() + (silentFrom ? 1 : 0) + (powerOffAt ? 1 : 0) +
           contractFaultItems(*this).size();
}

std::string FaultPlan::describe() const {
    std::string out;
    const auto add = [&](const std::string& text) { out += (out.empty() ? "" : ", ") + text; };
    for (const std::string& item : items)
        add(item);
    if (silentFrom) {
        add("silent@" + std::to_string(*silentFrom) + ".." +
            (silentUntil ? std::to_string(*silentUntil) : std::string("end")));
    }
    if (powerOffAt)
        add("power-off@" + std::to_string(*powerOffAt));
    for (const std::string& item : contractFaultItems(*this))
        add(item);
    return out.empty() ? "none" : out;
}

std::string FaultPlan::loaderOptions() const {
    return strprintf("write-check=%s&frame-gap=%s&ftg=%d", writeCheck.c_str(), frameGap.c_str(),
                     ftgKhz);
}

uint64_t sessionSeed(uint64_t campaignSeed, uint64_t index) {
    Prng rng(campaignSeed ^ (index * 0xD1B54A32D192ED03ull));
    return rng.next();
}

FaultPlan planFaults(uint64_t seed) {
    Prng rng(seed);
    FaultPlan plan;
    plan.seed = seed;
    plan.baud = rng.below(2) ? 9600 : 115200;
    plan.maxWriteCnt = static_cast<int>(between(rng, 1, 4));
    plan.loader = rng.below(4) ? "1.60" : "1.10";
    plan.serial = strprintf("K58-%06u", rng.below(1'000'000));
    plan.outputChoice = static_cast<int>(rng.below(4));
    // Within the limits of the campaign's settings (-40 … 120 °C, at least 20 apart), so the
    // range check never corrects them.
    plan.tMin = -40 + static_cast<int>(rng.below(121));
    plan.tMax =
        plan.tMin + 20 + static_cast<int>(rng.below(static_cast<uint32_t>(101 - plan.tMin)));
    const uint32_t faults = 1 + rng.below(3);
    for (uint32_t i = 0; i < faults; ++i)
        addFault(rng, plan);
    // Drawn after the faults of the wire and the flash, so that those draws stay as they were.
    plan.writeCheck = rng.below(2) ? "nak" : "ack";
    plan.frameGap = rng.below(2) ? "wait" : "drop";
    plan.ftgKhz = static_cast<int>(between(rng, sim::kFtgMinKhz, sim::kFtgMaxKhz));
    addContractFaults(rng, plan);
    return plan;
}

}  // namespace kv58::faults
