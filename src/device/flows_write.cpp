// The configuration write: from the question to the sentence that says what the transmitter
// now holds.
#include <algorithm>
#include <optional>

#include "base/critical_section.h"
#include "base/files.h"
#include "base/paths.h"
#include "base/text.h"
#include "bsl/segments.h"
#include "device/backup.h"
#include "device/failure_cause.h"
#include "device/flows.h"
#include "device/messages.h"
#include "device/restore_image.h"
#include "device/segment_state.h"
#include "device/way_back.h"

namespace kv58 {

namespace {

constexpr const char* kSegmentADamaged =
    "Segment A (configuration) of the transmitter is %s: a configuration write would put back "
    "only part of it.\n%s";

}  // namespace

void Flows::WriteDataKV58() {
    writeAttempts_ = 0;
    backupFile_.clear();
    host_.takeEntries();
    outcome_ = Outcome{};
    if (refuseDamagedSegmentA(data_.segmentARead))
        return;
    if (ui_.messageBox(text::kWriteQuestion, MsgIcon::Question, MsgButtons::YesNo) !=
        MsgAnswer::Yes) {
        writeOutcome_ = WriteOutcome::Declined;
        return;
    }
    beginWrite();
    data_.segmentBSaved = data_.segmentBRead;
    host_.checkTemperatureRange();
    const int32_t word = host_.buildConfigWord();
    data_.newConfig.nTempVon = host_.newTMin();
    data_.newConfig.nTempBis = host_.newTMax();
    const auto image =
        encodeSegmentA(data_.segmentARead, word, data_.actual.nBitMaske, data_.newConfig.nTempVon,
                       data_.newConfig.nTempBis, host_.relayChosen());
    if (!image) {
        ui_.infoClose();
        ui_.messageBox(
            strprintf(text::kRangeNotCodable, kMinCodableTemperature, kMaxCodableTemperature),
            MsgIcon::Exclamation);
        endWrite(WriteOutcome::RangeRefused, TransmitterState::Unchanged);
        return;
    }
    data_.segmentAWrite = *image;
    // The word as written, carried bits included, is what the reread must find.
    data_.newConfig.nBitMaske = readWord(data_.segmentAWrite, segment_a::kBitMaske);
    run_.switchOff();
    flashCommandsAtStart_ = link_.flashCommandsSent();
    runWriteAttempts();
}

// A Segment A that is not the transmitter's own is never written over: the write would keep
// its damaged bytes and put back only the configuration word and the range.
bool Flows::refuseDamagedSegmentA(const SegmentData& segmentA) {
    const SegmentState a = classifySegmentA(segmentA);
    if (a == SegmentState::Intact)
        return false;
    ui_.infoClose();
    Outcome found;
    found.state = a == SegmentState::Erased ? TransmitterState::SegmentAErased
                                            : TransmitterState::SegmentAHalfWritten;
    found.wayBack = wayBackForSegments(settings_, segmentA, data_.segmentBRead);
    ui_.messageBox(strprintf(kSegmentADamaged, segmentStateName(a),
                             wayBackText(found.wayBack, wayBackProgram).c_str()),
                   MsgIcon::Exclamation);
    ui_.messageBox(text::kDataNotSent, MsgIcon::Exclamation);
    writeOutcome_ = WriteOutcome::DamagedRefused;
    outcome_ = found;
    return true;
}

void Flows::runWriteAttempts() {
    const PasswordFileList passwords = settings_.passwordFileNames();
    // From the first transfer to the outcome's sentence: the transmitter may be between its
    // old and its new Segment A, and the retries and the reread are what put that right.
    std::optional<CriticalSection> critical;
    const SameTransmitter sameTransmitter{kSegmentBArea, data_.segmentBSaved, 'B'};
    bool identityChecked = false;
    for (int attempt = 0;;) {
        writeAttempts_ = attempt + 1;
        if (!identityChecked && !identityCheck(attempt, identityChecked))
            return;
        if (identityChecked) {
            ui_.infoSetText(text::kWritingSegmentA);
            if (!critical)
                critical.emplace();
            if (writeSegmentA(link_, passwords, data_.segmentAWrite, ui_, sameTransmitter)) {
                judgeWrite();
                return;
            }
            ui_.messageBox(link_.message(), MsgIcon::Exclamation);
            ui_.bringToForeground();
        }
        if (++attempt >= settings_.MaxWriteCnt) {
            attemptsUsedUp();
            return;
        }
        ui_.infoSetText(strprintf(text::kTransferProgress, text::kReadingUserdata, attempt,
                                  settings_.MaxWriteCnt));
    }
}

// One identity check; `checked` once it passed. False when the write ends here.
bool Flows::identityCheck(int attempt, bool& checked) {
    ui_.infoSetText(text::kRereading);
    if (!readSegmentA(link_, settings_.passwordFileNames(), data_.segmentARead)) {
        ui_.messageBox(strprintf(text::kWriteWarning, attempt + 1, settings_.MaxWriteCnt,
                                 link_.message().c_str()),
                       MsgIcon::Exclamation);
        return true;
    }
    if (refuseDamagedSegmentA(data_.segmentARead))
        return false;
    if (serialNumberOf(data_.segmentARead) != serialNumberOf(data_.segmentAWrite)) {
        identityError();
        return false;
    }
    // A backup that cannot be written has been reported to the user by now.
    if (SaveInfoMemory(settings_, data_.segmentARead, data_.segmentAWrite, data_.segmentBSaved, ui_,
                       now()) &&
        settings_.SaveData) {
        backupFile_ = pathForMessage(backupFileOnDisk(settings_, data_.segmentARead));
    }
    checked = true;
    return true;
}

void Flows::identityError() {
    ui_.messageBox(text::kIdentError, MsgIcon::Exclamation);
    // Shows the transmitter that is on the line now; whether that read works changes nothing.
    static_cast<void>(ReadDataKV58(false));
    ui_.infoClose();
    ui_.messageBox(text::kDataNotSent, MsgIcon::Exclamation);
    endWrite(WriteOutcome::IdentityError, TransmitterState::Unchanged);
}

void Flows::attemptsUsedUp() {
    const std::string cause = failureCause(link_, true);  // before the reads below
    // Transfers that never sent an erase or a write cannot have changed the flash.
    const bool touched = link_.flashCommandsSent() != flashCommandsAtStart_;
    const TransmitterState state =
        touched ? stateAfterFailedTransfers() : TransmitterState::Unchanged;
    ui_.infoClose();
    ui_.messageBox(text::kDataNotSent, MsgIcon::Exclamation);
    showTransferFailureCause(cause);
    endWrite(WriteOutcome::NotSent, state);
}

// What failed transfers that did send an erase or a write left.
TransmitterState Flows::stateAfterFailedTransfers() {
    ui_.infoSetText(text::kRereading);
    return readBackAfterFailure('A', data_.segmentARead, data_.segmentAWrite, programUnsure_);
}

TransmitterState Flows::readBackAfterFailure(char segment, const SegmentData& before,
                                             const SegmentData& intended, bool& programUnsure) {
    const PasswordFileList passwords = settings_.passwordFileNames();
    SegmentData found{};
    bool read = false;
    for (int i = 0; i < std::max(1, settings_.MaxWriteCnt) && !read; ++i) {
        read = (segment == 'A' ? readSegmentA(link_, passwords, found)
                               : readSegmentB(link_, passwords, found)) &&
               (!data_.referenceValid || readProgram(link_, passwords, data_.checkProgram));
    }
    programUnsure = !read || (data_.referenceValid && data_.checkProgram != data_.referenceProgram);
    if (programUnsure)
        return TransmitterState::Unknown;
    if (found == intended)
        return TransmitterState::NotVerified;
    if (found == before)
        return TransmitterState::Unchanged;
    if (segment == 'A') {
        return isErased(found) ? TransmitterState::SegmentAErased
                               : TransmitterState::SegmentAHalfWritten;
    }
    return isErased(found) ? TransmitterState::SegmentBErased
                           : TransmitterState::SegmentBHalfWritten;
}

// The outcome of a configuration write, from its reread.
void Flows::judgeWrite() {
    if (!rereadAfterWrite()) {
        programUnsure_ = true;
        endWrite(WriteOutcome::RereadFailed, TransmitterState::NotVerified);
        return;
    }
    const auto programChecked = [this] { return data_.programCheck && data_.referenceValid; };
    if (!segmentBUnchanged()) {
        // Another transmitter is on the line, or the reread misread it: nothing that was read
        // can be trusted, the program included. The whole image of the first one is the way
        // back (a full run refuses it for a transmitter of another calibration).
        otherTransmitter_ = true;
        programUnsure_ = true;
        endWrite(WriteOutcome::Mismatch, TransmitterState::Unknown);
        return;
    }
    if (rereadMismatch_) {
        programUnsure_ = (!programChecked() && !data_.writeProgram) || restoreFailed_;
        endWrite(WriteOutcome::Mismatch, stateAfterMismatch());
        return;
    }
    if (!programChecked() && !data_.writeProgram && data_.referenceValid)
        checkProgramAgain();
    if (restoreFailed_) {
        programUnsure_ = true;
        endWrite(WriteOutcome::RestoreFailed, TransmitterState::Unknown);
    } else if (!programChecked() && !data_.writeProgram) {
        // The program could not be read (or there was no reference to compare it with): a
        // change made by the write would have gone unnoticed and unrestored.
        programUnsure_ = true;
        endWrite(WriteOutcome::ProgramUnchecked, TransmitterState::NotVerified);
    } else {
        endWrite(WriteOutcome::Confirmed, TransmitterState::Confirmed);
    }
}

// The reread's program read failed while everything else matched: the check it was for is
// made with further reads of the program (with the attempts of a read), and a changed program
// is restored as the reread would have restored it.
void Flows::checkProgramAgain() {
    ui_.infoOpen();
    ui_.infoSetText(text::kRereading);
    const PasswordFileList passwords = settings_.passwordFileNames();
    bool read = false;
    for (int i = 0; i < std::max(1, settings_.MaxWriteCnt) && !read; ++i)
        read = readProgram(link_, passwords, data_.checkProgram);
    ui_.infoClose();
    if (!read)
        return;
    data_.programCheck = true;
    checkProgram();
}

// The reread found other data: what it read says what the transmitter holds.
TransmitterState Flows::stateAfterMismatch() const {
    if (programUnsure_)
        return TransmitterState::Unknown;
    return isErased(data_.segmentARead) ? TransmitterState::SegmentAErased
                                        : TransmitterState::SegmentAHalfWritten;
}

bool Flows::segmentBUnchanged() {
    // The write never touches Segment B: another one after the write means that another
    // transmitter was connected after the identity check and received this one's Segment A,
    // serial number included.
    if (data_.segmentBRead == data_.segmentBSaved)
        return true;
    ui_.messageBox(text::kSegmentBChanged, MsgIcon::Exclamation);
    return false;
}

void Flows::endWrite(WriteOutcome outcome, TransmitterState state) {
    writeOutcome_ = outcome;
    outcome_.state = state;
    outcome_.wayBack = needsWayBack(state) ? wayBackAfter(state, programUnsure_,
                                                          data_.segmentAWrite, data_.segmentBSaved)
                                           : WayBack{};
    if (outcome != WriteOutcome::Confirmed)
        showOutcome(outcome_);
    programUnsure_ = false;
}

// Where the program may have changed, only the whole image puts the transmitter back: it is
// written beside the work image under the transmitter's own name (TEMP.TXT itself may be
// another run's by now). Otherwise a backup entry puts the segments back.
WayBack Flows::wayBackAfter(TransmitterState state, bool programUnsure, const SegmentData& identity,
                            const SegmentData& segmentB) {
    const std::string image = wayBackImageName(link_.tempFile(), data_.segmentAWrite);
    if (programUnsure && data_.referenceValid &&
        replaceFile(image, restoreImage(segmentB, data_.segmentAWrite, data_.referenceProgram)) ==
            FileWriteResult::Ok) {
        WayBack way;
        way.kind = WayBack::Kind::ProgramFile;
        way.file = image;
        return way;
    }
    const bool bDamaged =
        state == TransmitterState::SegmentBErased || state == TransmitterState::SegmentBHalfWritten;
    const bool aDamaged = !bDamaged && state != TransmitterState::NotVerified;
    return findBackupWayBack(settings_, identity, segmentB, bDamaged, aDamaged);
}

}  // namespace kv58
