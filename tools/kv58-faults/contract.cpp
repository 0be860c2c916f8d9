// The invariants of the safety contract: what a command says against what the transmitter
// holds, and that the way back it names puts the transmitter back.
#include "base/text.h"
#include "invariants.h"

namespace kv58::faults {

namespace {

// The parts of the transmitter that hold neither what they held nor what the command was to
// put there.
struct Damage {
    bool segmentA = false;
    bool segmentB = false;
    bool program = false;

    bool any() const { return segmentA || segmentB || program; }
};

Damage damageOf(const SessionFacts& f) {
    const DeviceImage& a = f.after;
    Damage d;
    d.segmentA = a.segmentA != f.before.segmentA && a.segmentA != f.target.segmentA;
    d.segmentB = a.segmentB != f.before.segmentB && a.segmentB != f.target.segmentB;
    d.program = a.flash != f.before.flash && a.flash != f.target.flash;
    return d;
}

bool namesSegmentA(TransmitterState s) {
    return s == TransmitterState::SegmentAErased || s == TransmitterState::SegmentAHalfWritten ||
           s == TransmitterState::NotVerified || s == TransmitterState::Unknown;
}

bool namesSegmentB(TransmitterState s) {
    return s == TransmitterState::SegmentBErased || s == TransmitterState::SegmentBHalfWritten ||
           s == TransmitterState::NotVerified || s == TransmitterState::Unknown;
}

bool namesProgram(TransmitterState s) {
    return s == TransmitterState::NotVerified || s == TransmitterState::Unknown;
}

// Each part as it was or as meant: a transmitter with nothing damaged (a restore cut off
// between its segments may leave the new Segment A with the old Segment B).
bool wholeBeforeOrTarget(const SessionFacts& f, const DeviceImage& image) {
    const auto either = [](const auto& part, const auto& before, const auto& target) {
        return part == before || part == target;
    };
    return either(image.segmentA, f.before.segmentA, f.target.segmentA) &&
           either(image.segmentB, f.before.segmentB, f.target.segmentB) &&
           either(image.flash, f.before.flash, f.target.flash);
}

// Where `image` first holds neither what was before nor what was meant.
std::string damageText(const SessionFacts& f, const DeviceImage& image) {
    if (image.segmentA != f.before.segmentA && image.segmentA != f.target.segmentA)
        return "Segment A, " + firstDifferenceText(image, f.before);
    DeviceImage onlyRest = image;
    onlyRest.segmentA = f.before.segmentA;
    if (image.segmentB != f.before.segmentB && image.segmentB != f.target.segmentB)
        return "Segment B, " + firstDifferenceText(onlyRest, f.before);
    onlyRest.segmentB = f.before.segmentB;
    return "the program, " + firstDifferenceText(onlyRest, f.before);
}

void checkClaim(const SessionFacts& f, std::vector<std::string>& out) {
    if (!f.claim)
        return;
    const TransmitterState s = f.claim->state;
    const char* key = stateKey(s);
    if (s == TransmitterState::Unchanged && !(f.after == f.before)) {
        out.push_back(std::string("said unchanged, but the transmitter differs at ") +
                      firstDifferenceText(f.after, f.before));
    } else if (s == TransmitterState::Confirmed && !(f.after == f.target)) {
        out.push_back(std::string("said confirmed, but the transmitter differs from the target "
                                  "at ") +
                      firstDifferenceText(f.after, f.target));
    } else if (needsWayBack(s)) {
        const Damage d = damageOf(f);
        if ((d.segmentA && !namesSegmentA(s)) || (d.segmentB && !namesSegmentB(s)) ||
            (d.program && !namesProgram(s))) {
            out.push_back(std::string("said ") + key + ", but the damage is elsewhere: " +
                          firstDifferenceText(f.after, f.before));
        }
    }
}

// Whatever the command or the next read said, a transmitter that is neither as it was nor as
// meant must have a way back on disk, and running it must put it back.
void checkWayBack(const SessionFacts& f, std::vector<std::string>& out) {
    if (wholeBeforeOrTarget(f, f.after))
        return;
    if (!f.wayBack || f.wayBack->kind == WayBack::Kind::None) {
        out.push_back("the transmitter is damaged (" + damageText(f, f.after) +
                      ") and no way back was named");
        return;
    }
    if (!f.afterWayBack || !wholeBeforeOrTarget(f, *f.afterWayBack)) {
        out.push_back("the way back (" + wayBackCommand(*f.wayBack, "kv58ctl") +
                      ") left the transmitter damaged" +
                      (f.afterWayBack ? " (" + damageText(f, *f.afterWayBack) + ")"
                                      : std::string(": it could not run")));
    }
}

void checkKill(const SessionFacts& f, std::vector<std::string>& out) {
    if (!f.killed || wholeBeforeOrTarget(f, f.after))
        return;
    if (!f.nextReadDamage) {
        out.push_back(
            "after the kill the next read found nothing wrong, but the transmitter "
            "is damaged (" +
            damageText(f, f.after) + ")");
    }
}

void checkRefusals(const SessionFacts& f, std::vector<std::string>& out) {
    if (f.erasedSegmentAAtStart && !(f.after == f.before))
        out.push_back("written over an erased Segment A: it differs at " +
                      firstDifferenceText(f.after, f.before));
    if (f.mustRefuse && !(f.after == f.before))
        out.push_back("an image or entry that must be refused changed the transmitter at " +
                      firstDifferenceText(f.after, f.before));
    if (f.mustRefuse && f.claim && f.claim->state != TransmitterState::Unchanged &&
        !f.refusedBeforeAnything) {
        out.push_back(std::string("a refused command said ") + stateKey(f.claim->state));
    }
}

}  // namespace

void checkContract(const SessionFacts& facts, std::vector<std::string>& out) {
    checkClaim(facts, out);
    checkKill(facts, out);
    checkWayBack(facts, out);
    checkRefusals(facts, out);
}

}  // namespace kv58::faults
