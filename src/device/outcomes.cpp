#include "device/outcomes.h"

namespace kv58 {

namespace {

constexpr int kSucceeded = 0;
constexpr int kFailed = 1;
constexpr int kDamaged = 3;

const char* writeText(WriteOutcome outcome) {
    switch (outcome) {
        case WriteOutcome::Confirmed:
            return "written and confirmed";
        case WriteOutcome::Declined:
            return "not written: the question was not answered yes";
        case WriteOutcome::RangeRefused:
            return "not written: T min or T max out of range";
        case WriteOutcome::IdentityError:
            return "not written: another transmitter is connected";
        case WriteOutcome::DamagedRefused:
            return "not written: Segment A of the transmitter is damaged";
        case WriteOutcome::NotSent:
            return "the write failed: attempts used up";
        case WriteOutcome::RereadFailed:
            return "written, but the reread failed";
        case WriteOutcome::Mismatch:
            return "written, but the reread shows other data";
        case WriteOutcome::RestoreFailed:
            return "written, the program changed and its restore failed";
        case WriteOutcome::ProgramUnchecked:
            return "written, but the program could not be read back for its check";
        case WriteOutcome::NotStarted:
            break;
    }
    return "not written";
}

const char* restoreText(RestoreOutcome outcome) {
    switch (outcome) {
        case RestoreOutcome::EntryRefused:
            return "not restored: the entry's Segment A is not a transmitter's own";
        case RestoreOutcome::ErasedSegmentB:
            return "not restored: the entry's Segment B is erased";
        case RestoreOutcome::Declined:
            return "not restored: the question was not answered yes";
        case RestoreOutcome::SerialMismatch:
            return "not restored: the transmitter is not the entry's";
        case RestoreOutcome::UndoFailed:
            return "not restored: the undo entry could not be written";
        case RestoreOutcome::NotWritten:
            return "the restore failed: attempts used up";
        case RestoreOutcome::Incomplete:
            return "Segment A restored, Segment B not: attempts used up";
        case RestoreOutcome::RereadFailed:
            return "written, but the reread failed";
        case RestoreOutcome::Mismatch:
            return "written, but the reread differs from the backup";
        case RestoreOutcome::ProgramChanged:
            return "written, but the program changed; the whole transmitter was restored";
        case RestoreOutcome::ProgramUnchecked:
            return "written and matching, but the program could not be checked";
        case RestoreOutcome::Confirmed:
            return "restored and confirmed";
    }
    return "not restored";
}

}  // namespace

int exitCodeOf(TransmitterState left) {
    switch (left) {
        case TransmitterState::Confirmed:
            return kSucceeded;
        case TransmitterState::Unchanged:
            return kFailed;
        default:
            return kDamaged;
    }
}

OutcomeReport describeReadOutcome(bool read, const std::optional<Outcome>& damage) {
    if (damage)
        return {"read: the transmitter is damaged", exitCodeOf(damage->state)};
    return read ? OutcomeReport{"read", kSucceeded} : OutcomeReport{"not read", kFailed};
}

OutcomeReport describeOutcome(WriteOutcome outcome, TransmitterState left) {
    return {writeText(outcome), exitCodeOf(left)};
}

OutcomeReport describeOutcome(RestoreOutcome outcome, TransmitterState left) {
    return {restoreText(outcome), exitCodeOf(left)};
}

}  // namespace kv58
