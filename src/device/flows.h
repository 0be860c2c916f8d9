// The reading, writing and restoring flows: what the menu's read and write commands do with
// the transmitter, from the information window's first text to the last message box.
//
// Every flow runs to completion on the caller's thread and reports to the user itself; the
// dialog learns of the results through FlowHost.
#pragma once

#include <ctime>
#include <functional>
#include <string>

#include "base/clock.h"
#include "base/user_interface.h"
#include "bsl/bsl_link.h"
#include "device/flow_host.h"
#include "device/run_control.h"
#include "device/transmitter_data.h"
#include "settings/settings.h"

namespace kv58 {

// How the last write ended, for callers that report more than the message boxes (kv58ctl's
// exit code). Only Confirmed means that the transmitter holds the new configuration.
enum class WriteOutcome {
    NotStarted,        // no write yet
    Declined,          // the question was not answered with Yes
    RangeRefused,      // T min or T max cannot be coded; nothing sent
    IdentityError,     // another transmitter on the line; nothing sent
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
    // failed (the caller shows "ERROR reading data!").
    [[nodiscard]] bool ReadDataKV58(bool reread);

    // Asks, checks the identity, backs up, writes Segment A and rereads.
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
    // Attempts the last read (a write's reread included) and the last write's identity check
    // and transfer took, and the backup file the last write appended its entry to ("" when
    // none was written): what the production log records besides the outcome.
    int lastReadAttempts() const { return readAttempts_; }
    int lastWriteAttempts() const { return writeAttempts_; }
    const std::string& lastBackupFile() const { return backupFile_; }

    // The local time of backup entries; tests fix it.
    std::function<std::tm()> now;

private:
    void applyPortSettings();
    bool readAttempt(bool reread);
    void compareWithNewConfiguration();
    void checkProgram();
    void runWriteAttempts();
    void identityError();
    void judgeWrite();
    bool segmentBUnchanged();

    const Settings& settings_;
    BslLink& link_;
    UserInterface& ui_;
    RunControl& run_;
    TransmitterData& data_;
    FlowHost& host_;
    Clock& clock_;
    WriteOutcome writeOutcome_ = WriteOutcome::NotStarted;
    bool rereadMismatch_ = false;
    bool restoreFailed_ = false;
    int readAttempts_ = 0;
    int writeAttempts_ = 0;
    std::string backupFile_;
};

}  // namespace kv58
