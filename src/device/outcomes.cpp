#include "device/outcomes.h"

namespace kv58 {

namespace {

constexpr int kSucceeded = 0;
constexpr int kFailed = 1;

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
        case WriteOutcome::NotSent:
            return "not written: attempts used up";
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
        case RestoreOutcome::Declined:
            return "not restored: the question was not answered yes";
        case RestoreOutcome::SerialMismatch:
            return "not restored: the serial numbers differ";
        case RestoreOutcome::UndoFailed:
            return "not restored: the undo entry could not be written";
        case RestoreOutcome::NotWritten:
            return "not restored: attempts used up";
        case RestoreOutcome::Incomplete:
            return "Segment A restored, Segment B not: attempts used up";
        case RestoreOutcome::RereadFailed:
            return "written, but the reread failed";
        case RestoreOutcome::Mismatch:
            return "written, but the reread differs from the backup";
        case RestoreOutcome::ProgramChanged:
            return "written, but the program changed; the whole transmitter was restored "
                   "(check it with kv58ctl read)";
        case RestoreOutcome::ProgramUnchecked:
            return "written and matching, but the program could not be checked";
        case RestoreOutcome::Confirmed:
            return "restored and confirmed";
    }
    return "not restored";
}

}  // namespace

OutcomeReport describeReadOutcome(bool read) {
    return read ? OutcomeReport{"read", kSucceeded} : OutcomeReport{"not read", kFailed};
}

OutcomeReport describeOutcome(WriteOutcome outcome) {
    return {writeText(outcome), outcome == WriteOutcome::Confirmed ? kSucceeded : kFailed};
}

OutcomeReport describeOutcome(RestoreOutcome outcome) {
    return {restoreText(outcome), outcome == RestoreOutcome::Confirmed ? kSucceeded : kFailed};
}

}  // namespace kv58
