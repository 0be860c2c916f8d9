#include "device/backup_restore.h"

#include <algorithm>

#include "base/text.h"
#include "bsl/segments.h"
#include "device/backup.h"
#include "device/messages.h"

namespace kv58 {

namespace {

constexpr const char* kRestoreQuestion = "restore the backup of %s (serial number %s)?";
constexpr const char* kIdentMismatch = "%s\n\ntransmitter: %s\nbackup:      %s";
constexpr const char* kWritingSegment = "writing backup data...(segment %c)";
constexpr const char* kSegmentBNotSent = "WARNING!\n\nSegment A restored, Segment B NOT SENT!";
constexpr const char* kRestoreDiffers =
    "ERROR: Segment %c differs from the backup at %04X: %02X instead of %02X!";

// The first differing byte as an offset, or nothing when the images are equal.
std::optional<size_t> firstDifference(const SegmentData& read, const SegmentData& expected) {
    const auto [a, b] = std::mismatch(read.begin(), read.end(), expected.begin());
    if (a == read.end())
        return std::nullopt;
    return static_cast<size_t>(a - read.begin());
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
    const std::string question = strprintf(kRestoreQuestion, entry.dateTime.c_str(),
                                           serialForDisplay(entry.segmentA).c_str());
    if (ui_.messageBox(question, MsgIcon::Question, MsgButtons::YesNo) != MsgAnswer::Yes) {
        return report;
    }
    flows_.beginWrite();
    run_.switchOff();
    if (runSteps(entry, options, report))
        rereadAndCompare(entry, options, report);
    return report;
}

// Identity check, Segment A, Segment B: a failed step is repeated while attempts remain.
bool BackupRestore::runSteps(const BackupEntry& entry, const RestoreOptions& options,
                             RestoreReport& report) {
    Step step = Step::Identity;
    int failures = 0;
    while (step != Step::Done) {
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
            ui_.infoClose();
            const bool aWritten = step == Step::SegmentB;
            ui_.messageBox(aWritten ? kSegmentBNotSent : text::kDataNotSent, MsgIcon::Exclamation);
            report.outcome = aWritten ? RestoreOutcome::Incomplete : RestoreOutcome::NotWritten;
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
    if (!readSegmentA(link_, passwords, data_.segmentARead) ||
        !readSegmentB(link_, passwords, data_.segmentBRead)) {
        ui_.messageBox(strprintf(text::kWriteWarning, failures + 1, settings_.MaxWriteCnt,
                                 link_.message().c_str()),
                       MsgIcon::Exclamation);
        return StepResult::Failed;
    }
    report.transmitterSerial = serialNumberOf(data_.segmentARead);
    report.transmitterErased = isErased(data_.segmentARead);
    const bool sameSerial = !report.transmitterErased && !isErased(entry.segmentA) &&
                            report.transmitterSerial == serialNumberOf(entry.segmentA);
    if (!sameSerial && !options.forceSerial) {
        ui_.infoClose();
        ui_.messageBox(strprintf(kIdentMismatch, text::kIdentError,
                                 serialForDisplay(data_.segmentARead).c_str(),
                                 serialForDisplay(entry.segmentA).c_str()),
                       MsgIcon::Exclamation);
        ui_.messageBox(text::kDataNotSent, MsgIcon::Exclamation);
        report.outcome = RestoreOutcome::SerialMismatch;
        return StepResult::Stop;
    }
    report.serialForced = !sameSerial;
    return appendUndoEntry(report) ? StepResult::Ok : StepResult::Stop;
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
    const PasswordFileList passwords = settings_.passwordFileNames();
    const bool written = a ? writeSegmentA(link_, passwords, entry.segmentA, ui_)
                           : writeSegmentB(link_, passwords, entry.segmentB, ui_);
    if (written)
        return StepResult::Ok;
    ui_.messageBox(link_.message(), MsgIcon::Exclamation);
    ui_.bringToForeground();
    return StepResult::Failed;
}

// The application's reread after a write, prepared so that its compare and its full restore
// (should the program have changed) work with the restored images; then the byte compare.
void BackupRestore::rereadAndCompare(const BackupEntry& entry, const RestoreOptions& options,
                                     RestoreReport& report) {
    data_.segmentAWrite = entry.segmentA;
    data_.segmentBSaved = options.withSegmentB ? entry.segmentB : data_.segmentBRead;
    data_.newConfig = decodeSegmentA(entry.segmentA);
    // The plain read took the version of the damaged Segment A (an erased one reads as 0 and
    // would skip the program check); what counts is the software the entry belongs to.
    data_.writeProgram = numericVersion(entry.segmentA) < 100;
    if (!flows_.rereadAfterWrite()) {
        report.outcome = RestoreOutcome::RereadFailed;
        return;
    }
    if (data_.programCheck && data_.referenceValid &&
        data_.referenceProgram != data_.checkProgram) {
        report.outcome = RestoreOutcome::ProgramChanged;
        return;
    }
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
            return;
        }
    }
    const bool programChecked = data_.programCheck && data_.referenceValid;
    report.outcome = programChecked || data_.writeProgram ? RestoreOutcome::Confirmed
                                                          : RestoreOutcome::ProgramUnchecked;
}

}  // namespace kv58
