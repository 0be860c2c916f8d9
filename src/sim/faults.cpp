#include "sim/faults.h"

#include "sim/option_values.h"

namespace kv58::sim {

const char* faultHelpText() {
    return "  lose-sent:N         the N-th byte the host sends is lost\n"
           "  lose-reply:N        the N-th byte the device sends is lost\n"
           "  corrupt-sent:N      the N-th byte the host sends arrives with bit 6 flipped\n"
           "  corrupt-reply:N     the N-th byte the device sends arrives with bit 6 flipped\n"
           "  lose-rate:P         every byte is lost with probability P (0 to 1)\n"
           "  corrupt-rate:P      every byte is corrupted with probability P\n"
           "  silent              the device never answers\n"
           "  refuse-password[:N] every password (or the next N) is refused, the right one too\n"
           "  stuck:ADDR          the flash cell at ADDR (hexadecimal) will not program\n"
           "  program-change[:ADDR]  the next segment erase also changes a program byte\n"
           "                      (default F400), so a check of the program flash fails\n"
           "  answer-from:N       the device answers only from the N-th loader start on\n"
           "  swap:N              before the N-th loader start the transmitter is replaced by\n"
           "                      one with the next serial number and factory contents\n"
           "  power-loss:N        power fails half-way through the N-th flash write: half the\n"
           "                      block programmed, RAM lost, silent until the next reset\n";
}

void Faults::clear() {
    loseSent_.clear(), loseReply_.clear(), corruptSent_.clear(), corruptReply_.clear();
    lossRate_ = corruptionRate_ = 0;
    silent_ = false;
    refusePasswords_ = 0;
    stuck_.clear();
    programChange_.reset();
    answerFrom_ = swapAt_ = powerLossAt_ = 0;
}

Faults::Fate Faults::byteFate(uint64_t index, std::set<uint64_t>& lose,
                              std::set<uint64_t>& corrupt) {
    if (lose.erase(index))
        return Fate::Lost;
    if (corrupt.erase(index))
        return Fate::Corrupted;
    if (lossRate_ > 0 && rng_.unit() < lossRate_)
        return Fate::Lost;
    if (corruptionRate_ > 0 && rng_.unit() < corruptionRate_)
        return Fate::Corrupted;
    return Fate::Delivered;
}

bool Faults::takePasswordRefusal() {
    if (refusePasswords_ == 0)
        return false;
    if (refusePasswords_ > 0)
        --refusePasswords_;
    return true;
}

std::optional<uint16_t> Faults::takeProgramChange() {
    auto address = programChange_;
    programChange_.reset();
    return address;
}

Faults::EntryFate Faults::nextLoaderEntry() {
    ++entries_;
    EntryFate fate;
    fate.answers = answerFrom_ == 0 || entries_ >= answerFrom_;
    if (swapAt_ != 0 && entries_ == swapAt_) {
        fate.swapped = true;
        swapAt_ = 0;
    }
    return fate;
}

bool Faults::nextFlashWriteLosesPower() {
    ++flashWrites_;
    if (powerLossAt_ == 0 || flashWrites_ != powerLossAt_)
        return false;
    powerLossAt_ = 0;
    return true;
}

bool Faults::arm(const std::string& item, std::string& error) {
    const size_t colon = item.find(':');
    const std::string name = item.substr(0, colon);
    const bool hasArg = colon != std::string::npos;
    const std::string arg = hasArg ? item.substr(colon + 1) : std::string();
    const auto bad = [&](const std::string& expected) {
        error = "fault '" + item + "': expected " + expected;
        return false;
    };
    uint64_t n = 0;
    double p = 0;
    uint16_t address = kDefaultProgramChangeAddress;
    if (name == "silent" && !hasArg) {
        setSilent(true);
    } else if (name == "refuse-password") {
        if (hasArg && (!parseCount(arg, n) || n > 1000000))
            return bad("refuse-password[:N]");
        refusePasswords(hasArg ? static_cast<int>(n) : -1);
    } else if (name == "program-change") {
        if (hasArg && !parseHexAddress(arg, address))
            return bad("program-change[:ADDR]");
        changeProgramOnNextErase(address);
    } else if (name == "stuck") {
        if (!parseHexAddress(arg, address))
            return bad("stuck:ADDR (hexadecimal)");
        stickCell(address);
    } else if (name == "lose-rate" || name == "corrupt-rate") {
        if (!parseProbability(arg, p))
            return bad(name + ":P with P from 0 to 1");
        if (name == "lose-rate")
            setLossRate(p);
        else
            setCorruptionRate(p);
    } else {
        return armCounted(item, name, arg, error);
    }
    return true;
}

bool Faults::armCounted(const std::string& item, const std::string& name, const std::string& arg,
                        std::string& error) {
    using Arm = void (Faults::*)(uint64_t);
    static const std::pair<const char*, Arm> kCounted[] = {
        {"lose-sent", &Faults::loseSent},          {"lose-reply", &Faults::loseReply},
        {"corrupt-sent", &Faults::corruptSent},    {"corrupt-reply", &Faults::corruptReply},
        {"answer-from", &Faults::answerFromEntry}, {"swap", &Faults::swapAtEntry},
        {"power-loss", &Faults::powerLossAtWrite}};
    for (const auto& [key, method] : kCounted) {
        if (name != key)
            continue;
        uint64_t n = 0;
        if (!parseCount(arg, n) || n == 0) {
            error = "fault '" + item + "': expected " + name + ":N with N from 1";
            return false;
        }
        (this->*method)(n);
        return true;
    }
    error = "unknown fault '" + item +
            "' (accepted: lose-sent:N, lose-reply:N, corrupt-sent:N, corrupt-reply:N, "
            "lose-rate:P, corrupt-rate:P, silent, refuse-password[:N], stuck:ADDR, "
            "program-change[:ADDR], answer-from:N, swap:N, power-loss:N)";
    return false;
}

bool Faults::armList(const std::string& list, std::string& error) {
    size_t start = 0;
    while (start <= list.size()) {
        const size_t comma = list.find(',', start);
        const std::string item =
            list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (!item.empty() && !arm(item, error))
            return false;
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    return true;
}

}  // namespace kv58::sim
