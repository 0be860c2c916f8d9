#include "device/flows.h"

#include <algorithm>

#include "base/files.h"
#include "base/text.h"
#include "bsl/programming.h"
#include "bsl/segments.h"
#include "bsl/titxt.h"
#include "device/backup.h"
#include "device/link_settings.h"
#include "device/messages.h"

namespace kv58 {

namespace {

constexpr int32_t kCompareMask = 0xFFFF & ~0x8000;
constexpr int kPauseBeforeRereadMs = 250;

bool sameData(const TransmitterConfig& a, const TransmitterConfig& b) {
    return (a.nBitMaske & kCompareMask) == (b.nBitMaske & kCompareMask) &&
           a.nTempBis == b.nTempBis && a.nTempVon == b.nTempVon && a.strID == b.strID &&
           a.strVersion == b.strVersion;
}

// The restore image: Segment B, Segment A, program; 16 values a line, no end line.
std::string restoreImage(const TransmitterData& data) {
    std::string text = formatTiTxt(
        {{kSegmentBAddress, {data.segmentBSaved.begin(), data.segmentBSaved.end()}},
         {kSegmentAAddress, {data.segmentAWrite.begin(), data.segmentAWrite.end()}},
         {kProgramAddress, {data.referenceProgram.begin(), data.referenceProgram.end()}}},
        false);
    std::string out;  // written as a text file: the platform's line ends
    for (char c : text) {
        if (c == '\r')
            continue;
        if (c == '\n') {
            out += kTextLineEnd;
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace

Flows::Flows(const Settings& settings, BslLink& link, UserInterface& ui, RunControl& run,
             TransmitterData& data, FlowHost& host, Clock& clock)
    : now(localTimeNow),
      settings_(settings),
      link_(link),
      ui_(ui),
      run_(run),
      data_(data),
      host_(host),
      clock_(clock) {
    link_.setProgressObserver([this](long done, long total) { ui_.infoProgress(done, total); });
}

void Flows::applyPortSettings() {
    kv58::applyPortSettings(link_, settings_);
    run_.setPort(settings_.Port, settings_.InvertDTR);
}

bool Flows::ReadDataKV58(bool reread) {
    ui_.infoOpen();
    ui_.infoSetText(text::kReadingFromKv58);
    run_.switchOff();
    applyPortSettings();
    const int attempts = std::max(1, settings_.MaxWriteCnt);
    bool ok = false;
    for (readAttempts_ = 0; readAttempts_ < attempts && !ok; ++readAttempts_)
        ok = readAttempt(reread);
    ui_.infoClose();
    if (ok) {
        data_.actual = decodeSegmentA(data_.segmentARead);
        if (reread) {
            compareWithNewConfiguration();
            checkProgram();
        }
        data_.newConfig = data_.actual;
        if (numericVersion(data_.segmentARead) < 100)
            host_.showWriteProgram(true);
        host_.showActualConfiguration();
    }
    host_.fillTransmitterTypes();
    if (settings_.AutoDTR)
        run_.switchOn();
    return ok;
}

bool Flows::readAttempt(bool reread) {
    const PasswordFileList passwords = settings_.passwordFileNames();
    data_.programCheck = true;
    ProgramImage& program = reread ? data_.checkProgram : data_.referenceProgram;
    program.fill(0);
    const bool programRead = readProgram(link_, passwords, program);
    // Only a program that arrived whole may serve as the reference of a check or a restore.
    if (!reread)
        data_.referenceValid = programRead;
    if (!programRead) {
        data_.programCheck = false;
        ui_.messageBox(text::kErrorReadingProgram, MsgIcon::Exclamation);
    }
    if (reread && data_.writeProgram)
        data_.programCheck = false;
    return readSegmentA(link_, passwords, data_.segmentARead) &&
           readSegmentB(link_, passwords, data_.segmentBRead);
}

void Flows::compareWithNewConfiguration() {
    const TransmitterConfig& a = data_.actual;
    const TransmitterConfig& n = data_.newConfig;
    rereadMismatch_ = !sameData(a, n);
    if (rereadMismatch_) {
        ui_.messageBox(strprintf(text::kCompareData, a.nBitMaske, n.nBitMaske & kCompareMask,
                                 a.nTempVon, n.nTempVon, a.nTempBis, n.nTempBis),
                       MsgIcon::None);
    }
}

void Flows::checkProgram() {
    if (!data_.programCheck || !data_.referenceValid)
        return;
    if (data_.referenceProgram == data_.checkProgram)
        return;
    ui_.messageBox(text::kProgramCheckFailed, MsgIcon::Exclamation);
    RestoreTransmitter();
}

void Flows::RestoreTransmitter() {
    ui_.infoOpen();
    ui_.infoSetText(text::kReadingUserdata);
    const std::string& file = link_.tempFile();
    switch (replaceFile(file, restoreImage(data_))) {
        case FileWriteResult::CannotCreate:
            ui_.messageBox(strprintf(text::kErrorOpenFile, file.c_str()), MsgIcon::Exclamation);
            restoreFailed_ = true;
            ui_.infoClose();
            return;
        case FileWriteResult::WriteFailed:
            ui_.messageBox(strprintf(text::kErrorWriteFile, file.c_str()), MsgIcon::Exclamation);
            restoreFailed_ = true;
            ui_.infoClose();
            return;
        case FileWriteResult::Ok:
            break;
    }
    if (!runProgramming(link_, ProgrammingMode::FullRun)) {
        ui_.messageBox(link_.message(), MsgIcon::Exclamation);
        restoreFailed_ = true;
    }
    ui_.infoClose();
}

void Flows::WriteDataKV58() {
    writeAttempts_ = 0;
    backupFile_.clear();
    host_.takeEntries();
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
    const auto image = encodeSegmentA(data_.segmentARead, word, data_.actual.nBitMaske,
                                      data_.newConfig.nTempVon, data_.newConfig.nTempBis);
    if (!image) {
        ui_.infoClose();
        ui_.messageBox(
            strprintf(text::kRangeNotCodable, kMinCodableTemperature, kMaxCodableTemperature),
            MsgIcon::Exclamation);
        writeOutcome_ = WriteOutcome::RangeRefused;
        return;
    }
    data_.segmentAWrite = *image;
    // The word as written, carried bits included, is what the reread must find.
    data_.newConfig.nBitMaske = readWord(data_.segmentAWrite, segment_a::kBitMaske);
    run_.switchOff();
    runWriteAttempts();
}

void Flows::beginWrite() {
    ui_.infoOpen();
    ui_.infoSetText(text::kReadingUserdata);
    applyPortSettings();
    link_.setWaits(settings_.WaitPrg, settings_.WaitSeg);
}

void Flows::runWriteAttempts() {
    const PasswordFileList passwords = settings_.passwordFileNames();
    bool identityChecked = false;
    for (int attempt = 0;;) {
        writeAttempts_ = attempt + 1;
        if (!identityChecked) {
            ui_.infoSetText(text::kRereading);
            if (readSegmentA(link_, passwords, data_.segmentARead)) {
                if (serialNumberOf(data_.segmentARead) != serialNumberOf(data_.segmentAWrite)) {
                    identityError();
                    return;
                }
                // A backup that cannot be written has been reported to the user by now.
                if (SaveInfoMemory(settings_, data_.segmentARead, data_.segmentAWrite,
                                   data_.segmentBSaved, ui_, now()) &&
                    settings_.SaveData) {
                    backupFile_ = backupFilePath(settings_.SavePath, data_.segmentARead);
                }
                identityChecked = true;
            } else {
                ui_.messageBox(strprintf(text::kWriteWarning, attempt + 1, settings_.MaxWriteCnt,
                                         link_.message().c_str()),
                               MsgIcon::Exclamation);
            }
        }
        if (identityChecked) {
            ui_.infoSetText(text::kWritingSegmentA);
            if (writeSegmentA(link_, passwords, data_.segmentAWrite, ui_)) {
                judgeWrite();
                return;
            }
            ui_.messageBox(link_.message(), MsgIcon::Exclamation);
            ui_.bringToForeground();
        }
        if (++attempt >= settings_.MaxWriteCnt) {
            ui_.infoClose();
            ui_.messageBox(text::kDataNotSent, MsgIcon::Exclamation);
            writeOutcome_ = WriteOutcome::NotSent;
            return;
        }
        ui_.infoSetText(strprintf(text::kTransferProgress, text::kReadingUserdata, attempt,
                                  settings_.MaxWriteCnt));
    }
}

void Flows::identityError() {
    ui_.messageBox(text::kIdentError, MsgIcon::Exclamation);
    // Shows the transmitter that is on the line now; whether that read works changes nothing.
    static_cast<void>(ReadDataKV58(false));
    ui_.infoClose();
    ui_.messageBox(text::kDataNotSent, MsgIcon::Exclamation);
    writeOutcome_ = WriteOutcome::IdentityError;
}

bool Flows::rereadAfterWrite() {
    ui_.infoClose();
    clock_.sleepMs(kPauseBeforeRereadMs);
    rereadMismatch_ = false;
    restoreFailed_ = false;
    if (ReadDataKV58(true))
        return true;
    ui_.messageBox(text::kErrorReadingData, MsgIcon::Exclamation);
    return false;
}

// The outcome of a configuration write, from its reread.
void Flows::judgeWrite() {
    if (!rereadAfterWrite()) {
        writeOutcome_ = WriteOutcome::RereadFailed;
    } else if (!segmentBUnchanged() || rereadMismatch_) {
        writeOutcome_ = WriteOutcome::Mismatch;
    } else if (restoreFailed_) {
        writeOutcome_ = WriteOutcome::RestoreFailed;
    } else if (!(data_.programCheck && data_.referenceValid) && !data_.writeProgram) {
        // The reread could not read the program (or there was no reference to compare it
        // with): a change made by the write would have gone unnoticed and unrestored.
        writeOutcome_ = WriteOutcome::ProgramUnchecked;
    } else {
        writeOutcome_ = WriteOutcome::Confirmed;
    }
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

}  // namespace kv58
