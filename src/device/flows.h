// The reading, writing and restoring flows: what the menu's read and write commands do with
// the transmitter, from the information window's first text to the last message box.
//
// Every flow runs to completion on the caller's thread and reports to the user itself; the
// dialog learns of the results through FlowHost.
#pragma once

#include <ctime>
#include <functional>
#include <optional>
#include <string>

#include "base/clock.h"
#include "base/files.h"
#include "base/user_interface.h"
#include "bsl/bsl_link.h"
#include "device/flow_host.h"
#include "device/outcome.h"
#include "device/run_control.h"
#include "device/transmitter_data.h"
#include "settings/settings.h"

namespace kv58 {

// How the last write ended, for callers that report more than the message boxes (kv58ctl's
// exit code). Only Confirmed means that the transmitter holds the new configuration; what the
// others left on it says Flows::lastOutcome().
enum class WriteOutcome {
    NotStarted,        // no write yet
    Declined,          // the question was not answered with Yes
    RangeRefused,      // T min or T max cannot be coded; nothing sent
    IdentityError,     // another transmitter on the line; nothing sent
    DamagedRefused,    // Segment A is erased or implausible: a write would put back only part
                       // of it; nothing sent
    NotSent,           // attempts used up
    RereadFailed,      // written, but the reread failed
    Mismatch,          // written, but the reread shows other data
    RestoreFailed,     // written, the program changed, and the restore failed
    ProgramUnchecked,  // written, but the program could not be read back for its check
    Confirmed,         // written and confirmed by the reread (restored where the program changed)
};

class Flows {
public:
    Flows(const Settings& settings, BslLink& link, UserInterface& ui, RunControl& run,
          TransmitterData& data, FlowHost& host, Clock& clock);

    // Reads program flash and both segments (up to MaxWriteCnt attempts), decodes and shows
    // the configuration; as a reread after a write it also compares the data and checks the
    // program, restoring the transmitter when the program changed. False when every attempt
    // failed (the caller shows "ERROR reading data!"). A plain read also judges what it
    // found (lastReadDamage) and, when the transmitter is damaged, says so with the way back.
    [[nodiscard]] bool ReadDataKV58(bool reread);

    // Asks, checks the identity, backs up, writes Segment A and rereads; ends with the
    // outcome's sentence (lastOutcome) unless the write was confirmed or declined. From the
    // first transfer to that sentence, requests to end the program are held.
    void WriteDataKV58();

    // Puts Segment B, the new Segment A and the reference program back with a full
    // programming run.
    void RestoreTransmitter();

    // The start of every write (a configuration write, a backup restore): the information
    // window with "reading userdata...", the port settings handed to the link and RUN, and
    // the link's pauses of a write.
    void beginWrite();
    // The reread after a write: a pause for the transmitter, then ReadDataKV58(true), which
    // compares, checks the program and restores it where it changed. Shows "ERROR reading
    // data!" and returns false when the reread fails.
    [[nodiscard]] bool rereadAfterWrite();

    WriteOutcome lastWriteOutcome() const { return writeOutcome_; }
    // What the last write left on the transmitter, with the way back.
    const Outcome& lastOutcome() const { return outcome_; }
    // What the last plain read found wrong with the transmitter (a damaged segment, or a
    // loader that refuses every password), with the way back; nothing when all was well or
    // the read failed for another reason.
    const std::optional<Outcome>& lastReadDamage() const { return readDamage_; }

    // After the messages of a failed read: one more that gives the cause (the port's reason,
    // a password file not found and where it was looked for, the link's last message); none
    // when the read already said that the loader refuses every password.
    void showReadFailureCause();
    // The same after a failed transfer, whose messages held the link's message already: only
    // the port's reason or the file not found. `cause` as taken right after the transfers.
    void showTransferFailureCause(const std::string& cause);

    // Shows `outcome`'s sentence (nothing for Confirmed).
    void showOutcome(const Outcome& outcome);
    // After transfers of a segment ('A' or 'B') that failed having sent an erase or a write:
    // what the transmitter holds, from reads of that segment and of the program (when a
    // reference exists), with the attempts of a read, compared with the segment `before` the
    // transfers and the one `intended`. `programUnsure` when the program could not be read or
    // has changed (the state is then Unknown).
    TransmitterState readBackAfterFailure(char segment, const SegmentData& before,
                                          const SegmentData& intended, bool& programUnsure);
    // The way back from `state`: where the program may have changed, the restore image written
    // to the temporary image file (`segmentB`, the Segment A being written and the reference
    // program); otherwise the newest usable entry for the transmitter of `identity` (a
    // Segment A with its serial number) and `segmentB` (its calibration), putting Segment B
    // back when the state is about Segment B.
    WayBack wayBackAfter(TransmitterState state, bool programUnsure, const SegmentData& identity,
                         const SegmentData& segmentB);
    // Attempts the last read (a write's reread included) and the last write's identity check
    // and transfer took, and the backup file the last write appended its entry to ("" when
    // none was written): what the production log records besides the outcome.
    int lastReadAttempts() const { return readAttempts_; }
    int lastWriteAttempts() const { return writeAttempts_; }
    const std::string& lastBackupFile() const { return backupFile_; }

    // The local time of backup entries; tests fix it.
    std::function<std::tm()> now;
    // The program and options in front of the commands of a way back ("kv58ctl"; kv58ctl
    // adds the --ini and --port of its run).
    std::string wayBackProgram = "kv58ctl";

private:
    void applyPortSettings();
    bool readAttempt(bool reread);
    void judgeRead();
    void passwordRefused();
    void compareWithNewConfiguration();
    void checkProgram();
    void restoreImageNotWritten(FileWriteResult result, const std::string& file,
                                const std::string& reason);
    bool refuseDamagedSegmentA(const SegmentData& segmentA);
    void runWriteAttempts();
    bool identityCheck(int attempt, bool& checked);
    void identityError();
    void attemptsUsedUp();
    TransmitterState stateAfterFailedTransfers();
    void judgeWrite();
    void checkProgramAgain();
    TransmitterState stateAfterMismatch() const;
    bool segmentBUnchanged();
    void endWrite(WriteOutcome outcome, TransmitterState state);

    const Settings& settings_;
    BslLink& link_;
    UserInterface& ui_;
    RunControl& run_;
    TransmitterData& data_;
    FlowHost& host_;
    Clock& clock_;
    WriteOutcome writeOutcome_ = WriteOutcome::NotStarted;
    Outcome outcome_;
    std::optional<Outcome> readDamage_;
    uint64_t flashCommandsAtStart_ = 0;
    // The write may have changed the program and nothing checked it since.
    bool programUnsure_ = false;
    // The reread found another transmitter: no way back on disk belongs to it.
    bool otherTransmitter_ = false;
    bool rereadMismatch_ = false;
    bool restoreFailed_ = false;
    int readAttempts_ = 0;
    int writeAttempts_ = 0;
    std::string backupFile_;
};

}  // namespace kv58
