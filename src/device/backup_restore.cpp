#include "device/backup_restore.h"

#include <algorithm>

#include "base/text.h"
#include "bsl/segments.h"
#include "device/backup.h"
#include "device/failure_cause.h"
#include "device/messages.h"
#include "device/segment_state.h"

namespace kv58 {

namespace {

constexpr const char* kRestoreQuestion = "restore the backup of %s (serial number %s)?";
constexpr const char* kIdentMismatch = "%s\n\ntransmitter: %s\nbackup:      %s";
constexpr const char* kSegmentBMismatch =
    "%s\n\nSegment B of the transmitter is not the one of the backup of %s.";
constexpr const char* kWritingSegment = "writing backup data...(segment %c)";
constexpr const char* kSegmentBNotSent = "WARNING!\n\nSegment A restored, Segment B NOT SENT!";
constexpr const char* kRestoreDiffers =
    "ERROR: Segment %c differs from the backup at %04X: %02X instead of %02X!";
constexpr const char* kEntrySegmentA =
    "The backup of %s cannot be restored: its Segment A (configuration) is %s, and writing it "
    "would leave the transmitter without its configuration.";
constexpr const char* kEntrySegmentB =
    "The backup of %s cannot be restored with its Segment B: that Segment B is erased, and an "
    "erased Segment B is no calibration. Choose an entry whose Segment B is intact, or restore "
    "Segment A alone.";

// The first differing byte as an offset, or nothing when the images are equal.
std::optional<size_t> firstDifference(const SegmentData& read, const SegmentData& expected) {
    const auto [a, b] = std::mismatch(read.begin(), read.end(), expected.begin());
    if (a == read.end())
        return std::nullopt;
    return static_cast<size_t>(a - read.begin());
}

bool sameSerial(const BackupEntry& entry, const RestoreReport& report) {
    return !report.transmitterErased && !isErased(entry.segmentA) &&
           report.transmitterSerial == serialNumberOf(entry.segmentA);
}

TransmitterState segmentState(char letter, const SegmentData& read) {
    if (letter == 'A') {
        return isErased(read) ? TransmitterState::SegmentAErased
                              : TransmitterState::SegmentAHalfWritten;
    }
    return isErased(read) ? TransmitterState::SegmentBErased
                          : TransmitterState::SegmentBHalfWritten;
}

}  // namespace

std::string serialForDisplay(const SegmentData& segmentA) {
    if (isErased(segmentA))
        return "(Segment A erased)";
    const std::string serial = serialNumberOf(segmentA);
    return serial.empty() ? "(none)" : serial;
}

BackupRestore::BackupRestore(const Settings& settings, BslLink& link, UserInterface& ui,
                             RunControl& run, TransmitterData& data, Flows& flows)
    : now(localTimeNow),
      settings_(settings),
      link_(link),
      ui_(ui),
      run_(run),
      data_(data),
      flows_(flows) {}

int BackupRestore::maxAttempts() const {
    return std::max(1, settings_.MaxWriteCnt);
}

RestoreReport BackupRestore::restore(const BackupEntry& entry, const RestoreOptions& options) {
    RestoreReport report;
    if (refuseEntry(entry, options, report))
        return report;
    const std::string question = strprintf(kRestoreQuestion, entry.dateTime.c_str(),
                                           serialForDisplay(entry.segmentA).c_str());
    if (ui_.messageBox(question, MsgIcon::Question, MsgButtons::YesNo) != MsgAnswer::Yes) {
        return report;
    }
    flows_.beginWrite();
    run_.switchOff();
    flashCommandsAtStart_ = link_.flashCommandsSent();
    programUnsure_ = false;
    otherTransmitter_ = false;
    if (runSteps(entry, options, report))
        rereadAndCompare(entry, report);
    if (report.left.state != TransmitterState::Confirmed)
        flows_.showOutcome(report.left);
    critical_.reset();
    return report;
}

// An entry that must never go into a transmitter is refused before anything else.
bool BackupRestore::refuseEntry(const BackupEntry& entry, const RestoreOptions& options,
                                RestoreReport& report) {
    const SegmentState a = classifySegmentA(entry.segmentA);
    if (a != SegmentState::Intact) {
        ui_.messageBox(strprintf(kEntrySegmentA, entry.dateTime.c_str(), segmentStateName(a)),
                       MsgIcon::Exclamation);
        report.outcome = RestoreOutcome::EntryRefused;
        return true;
    }
    if (options.withSegmentB && classifySegmentB(entry.segmentB) != SegmentState::Intact) {
        ui_.messageBox(strprintf(kEntrySegmentB, entry.dateTime.c_str()), MsgIcon::Exclamation);
        report.outcome = RestoreOutcome::ErasedSegmentB;
        return true;
    }
    return false;
}

// Identity check, Segment A, Segment B: a failed step is repeated while attempts remain.
bool BackupRestore::runSteps(const BackupEntry& entry, const RestoreOptions& options,
                             RestoreReport& report) {
    Step step = Step::Identity;
    int failures = 0;
    while (step != Step::Done) {
        report.attempts = failures + 1;
        const StepResult result = step == Step::Identity
                                      ? identityCheck(entry, options, report, failures)
                                      : writeSegment(step, entry);
        if (result == StepResult::Stop)
            return false;
        if (result == StepResult::Ok) {
            step = step == Step::Identity                           ? Step::SegmentA
                   : step == Step::SegmentA && options.withSegmentB ? Step::SegmentB
                                                                    : Step::Done;
            continue;
        }
        if (++failures >= maxAttempts()) {
            transfersFailed(step, entry, report);
            return false;
        }
        ui_.infoSetText(
            strprintf(text::kTransferProgress, text::kReadingUserdata, failures, maxAttempts()));
    }
    return true;
}

BackupRestore::StepResult BackupRestore::identityCheck(const BackupEntry& entry,
                                                       const RestoreOptions& options,
                                                       RestoreReport& report, int failures) {
    ui_.infoSetText(text::kRereading);
    const PasswordFileList passwords = settings_.passwordFileNames();
    // Segment B first: a transmitter exchanged after it gives another Segment A (refused by
    // its serial number) or, when that check is forced, another Segment B at the erase.
    if (!readSegmentB(link_, passwords, data_.segmentBRead) ||
        !readSegmentA(link_, passwords, data_.segmentARead)) {
        ui_.messageBox(strprintf(text::kWriteWarning, failures + 1, settings_.MaxWriteCnt,
                                 link_.message().c_str()),
                       MsgIcon::Exclamation);
        return StepResult::Failed;
    }
    transmitterB_ = data_.segmentBRead;
    report.transmitterSerial = serialNumberOf(data_.segmentARead);
    report.transmitterErased = isErased(data_.segmentARead);
    if (!sameTransmitter(entry, options, report)) {
        ui_.infoClose();
        ui_.messageBox(text::kDataNotSent, MsgIcon::Exclamation);
        report.outcome = RestoreOutcome::SerialMismatch;
        return StepResult::Stop;
    }
    report.serialForced = !options.matchSegmentB && !sameSerial(entry, report);
    // What the transfers are to put there, for their checks and the reread's.
    data_.segmentAWrite = entry.segmentA;
    data_.segmentBSaved = options.withSegmentB ? entry.segmentB : transmitterB_;
    return appendUndoEntry(report) ? StepResult::Ok : StepResult::Stop;
}

// The transmitter is the entry's: by its serial number, by its Segment B when asked, or by
// the user's word (forced). Says why not when it is not.
bool BackupRestore::sameTransmitter(const BackupEntry& entry, const RestoreOptions& options,
                                    const RestoreReport& report) const {
    if (options.matchSegmentB) {
        if (classifySegmentB(transmitterB_) == SegmentState::Intact &&
            transmitterB_ == entry.segmentB) {
            return true;
        }
        ui_.infoClose();
        ui_.messageBox(strprintf(kSegmentBMismatch, text::kIdentError, entry.dateTime.c_str()),
                       MsgIcon::Exclamation);
        return false;
    }
    if (sameSerial(entry, report) || options.forceSerial)
        return true;
    ui_.infoClose();
    ui_.messageBox(
        strprintf(kIdentMismatch, text::kIdentError, serialForDisplay(data_.segmentARead).c_str(),
                  serialForDisplay(entry.segmentA).c_str()),
        MsgIcon::Exclamation);
    return false;
}

// The information memory as it is now, so that the restore can be undone. Written whatever
// SaveData says: a restore must never lose what it overwrites.
bool BackupRestore::appendUndoEntry(RestoreReport& report) {
    Settings always = settings_;
    always.SaveData = true;
    report.undoFile = backupFileOnDisk(always, data_.segmentARead);
    if (SaveInfoMemory(always, data_.segmentARead, data_.segmentARead, data_.segmentBRead, ui_,
                       now())) {
        return true;
    }
    ui_.infoClose();
    ui_.messageBox(text::kDataNotSent, MsgIcon::Exclamation);
    report.outcome = RestoreOutcome::UndoFailed;
    return false;
}

BackupRestore::StepResult BackupRestore::writeSegment(Step step, const BackupEntry& entry) {
    const bool a = step == Step::SegmentA;
    ui_.infoSetText(strprintf(kWritingSegment, a ? 'A' : 'B'));
    // From the first transfer to the outcome's sentence.
    if (!critical_)
        critical_.emplace();
    const PasswordFileList passwords = settings_.passwordFileNames();
    // Before each erase, the other segment tells that the transmitter is still this one:
    // Segment B as read, or Segment A as just restored.
    const bool written = a ? writeSegmentA(link_, passwords, entry.segmentA, ui_,
                                           SameTransmitter{kSegmentBArea, transmitterB_, 'B'})
                           : writeSegmentB(link_, passwords, entry.segmentB, ui_,
                                           SameTransmitter{kSegmentAArea, entry.segmentA, 'A'});
    if (written)
        return StepResult::Ok;
    ui_.messageBox(link_.message(), MsgIcon::Exclamation);
    ui_.bringToForeground();
    return StepResult::Failed;
}

// Attempts used up: what the failed transfers left, from a read of the segment they were
// writing when anything was sent that may change the flash.
void BackupRestore::transfersFailed(Step step, const BackupEntry& entry, RestoreReport& report) {
    const bool segmentB = step == Step::SegmentB;
    const std::string cause = failureCause(link_, true);  // before the reads below
    const bool touched = link_.flashCommandsSent() != flashCommandsAtStart_;
    TransmitterState state = TransmitterState::Unchanged;
    if (touched) {
        ui_.infoSetText(text::kRereading);
        state = segmentB ? flows_.readBackAfterFailure('B', transmitterB_, entry.segmentB,
                                                       programUnsure_)
                         : flows_.readBackAfterFailure('A', data_.segmentARead, entry.segmentA,
                                                       programUnsure_);
        // Segment A is the entry's by now: Segment B as it was still leaves a restore that
        // did not do what it was asked.
        if (segmentB && state == TransmitterState::Unchanged)
            state = TransmitterState::NotVerified;
    }
    ui_.infoClose();
    ui_.messageBox(segmentB ? kSegmentBNotSent : text::kDataNotSent, MsgIcon::Exclamation);
    flows_.showTransferFailureCause(cause);
    report.outcome = segmentB ? RestoreOutcome::Incomplete : RestoreOutcome::NotWritten;
    report.left.state = state;
    report.left.wayBack = flows_.wayBackAfter(state, programUnsure_, entry.segmentA, transmitterB_);
}

// The application's reread after a write, prepared so that its compare and its full restore
// (should the program have changed) work with the restored images; then the byte compare.
void BackupRestore::rereadAndCompare(const BackupEntry& entry, RestoreReport& report) {
    data_.newConfig = decodeSegmentA(entry.segmentA);
    // The plain read took the version of the damaged Segment A (an erased one reads as 0 and
    // would skip the program check); what counts is the software the entry belongs to.
    data_.writeProgram = numericVersion(entry.segmentA) < 100;
    if (!flows_.rereadAfterWrite()) {
        report.outcome = RestoreOutcome::RereadFailed;
        report.left.state = TransmitterState::NotVerified;
        programUnsure_ = true;
    } else if (data_.programCheck && data_.referenceValid &&
               data_.referenceProgram != data_.checkProgram) {
        report.outcome = RestoreOutcome::ProgramChanged;
        report.left.state = TransmitterState::NotVerified;
        programUnsure_ = true;
    } else {
        judge(entry, report);
    }
    if (needsWayBack(report.left.state) && !otherTransmitter_) {
        report.left.wayBack =
            flows_.wayBackAfter(report.left.state, programUnsure_, entry.segmentA, transmitterB_);
    }
}

// The reread read both segments: compared with what the restore was to put there.
void BackupRestore::judge(const BackupEntry& entry, RestoreReport& report) {
    struct Compared {
        char letter;
        uint16_t address;
        const SegmentData& read;
        const SegmentData& expected;
    };
    for (const Compared& c :
         {Compared{'A', kSegmentAAddress, data_.segmentARead, entry.segmentA},
          Compared{'B', kSegmentBAddress, data_.segmentBRead, data_.segmentBSaved}}) {
        if (const auto at = firstDifference(c.read, c.expected)) {
            report.differenceAddress = static_cast<uint16_t>(c.address + *at);
            ui_.messageBox(strprintf(kRestoreDiffers, c.letter, report.differenceAddress,
                                     c.read[*at], c.expected[*at]),
                           MsgIcon::Exclamation);
            report.outcome = RestoreOutcome::Mismatch;
            // A Segment B that is neither the transmitter's own nor the one written: another
            // transmitter is connected, of which nothing is known.
            const bool other =
                data_.segmentBRead != transmitterB_ && data_.segmentBRead != data_.segmentBSaved;
            report.left.state = other ? TransmitterState::Unknown : segmentState(c.letter, c.read);
            otherTransmitter_ = other;
            return;
        }
    }
    const bool programChecked = data_.programCheck && data_.referenceValid;
    report.outcome = programChecked || data_.writeProgram ? RestoreOutcome::Confirmed
                                                          : RestoreOutcome::ProgramUnchecked;
    report.left.state = report.outcome == RestoreOutcome::Confirmed ? TransmitterState::Confirmed
                                                                    : TransmitterState::NotVerified;
    programUnsure_ = report.outcome != RestoreOutcome::Confirmed;
}

}  // namespace kv58
