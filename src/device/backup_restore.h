// Putting a backup entry back into a transmitter: the way back after a write that was cut
// off for good (adapter pulled mid-erase, power lost, attempts used up) left Segment A erased
// or half-written.
//
// It goes as carefully as a configuration write, with the same steps and the same attempt
// budget (MaxWriteCnt, shared by every failed step):
//
//   0. the entry            refused before anything else when its Segment A is not a
//                            transmitter's own (erased or implausible: writing it would leave
//                            the transmitter without a configuration), or when its Segment B
//                            is to be written and is erased (it is no calibration)
//   1. question              "restore the backup of ...?"; anything but Yes changes nothing
//   2. identity check        Segments A and B read afresh; the transmitter's serial number must
//                            be the entry's (unless forced: an erased Segment A has no serial
//                            number to compare), or, asked for instead, its Segment B the
//                            entry's (the calibration tells a transmitter apart when its
//                            Segment A no longer does)
//   3. undo entry            the information memory just read is appended to the transmitter's
//                            backup file (same file-name rule and entry layout as before a
//                            write, whatever SaveData says), so the restore itself can be undone;
//                            when that fails nothing is written
//   4. transfer              Segment A, then Segment B when asked for, each with the segment
//                            write of a configuration write (erase, program, verify), each
//                            checking before its erase that the other segment is still the
//                            one read (no other transmitter has been connected meanwhile);
//                            from the first transfer to the outcome's sentence, requests to
//                            end the program are held
//   5. reread                the application's reread after a write (program check and full
//                            restore included), then Segment A and B compared with the entry
//                            byte for byte; the program check follows the entry's software
//                            version, not that of an erased or half-written Segment A
//
// The caller has read the transmitter with a plain read just before (that gives the program
// reference for the check in step 5, and RUN is then as a read leaves it). Every way out after
// the question ends with the sentence of device/outcome.h, unless the restore is confirmed.
#pragma once

#include <ctime>
#include <functional>
#include <optional>
#include <string>

#include "base/critical_section.h"
#include "base/user_interface.h"
#include "bsl/bsl_link.h"
#include "device/backup_reader.h"
#include "device/flows.h"
#include "device/run_control.h"
#include "device/transmitter_data.h"
#include "settings/settings.h"

namespace kv58 {

enum class RestoreOutcome {
    EntryRefused,      // the entry's Segment A is not a transmitter's own; nothing done
    ErasedSegmentB,    // Segment B was to be written, and the entry's is erased; nothing done
    Declined,          // the question was not answered with Yes; nothing done
    SerialMismatch,    // another transmitter (or an erased Segment A) and no force, or a
                       // Segment B that is not the entry's when asked to match it; nothing done
    UndoFailed,        // the undo entry could not be written; nothing written
    NotWritten,        // attempts used up before Segment A was written
    Incomplete,        // Segment A written, Segment B not (attempts used up)
    RereadFailed,      // written, but the reread failed
    Mismatch,          // written, but the reread differs from the entry
    ProgramChanged,    // written, but the program flash changed (the whole transmitter was
                       // then restored as after a configuration write)
    ProgramUnchecked,  // written and matching, but the program could not be read back for
                       // its check (or no plain read delivered a reference)
    Confirmed,         // written, the reread matches the entry byte for byte, program checked
};

struct RestoreOptions {
    bool withSegmentB = false;   // also write the entry's Segment B (calibration)
    bool forceSerial = false;    // write even when the serial numbers differ
    bool matchSegmentB = false;  // know the transmitter by its Segment B, not its serial number
};

struct RestoreReport {
    RestoreOutcome outcome = RestoreOutcome::Declined;
    std::string transmitterSerial;   // as read in the identity check (Windows-1252)
    bool transmitterErased = false;  // its Segment A was all 0xFF
    bool serialForced = false;       // the serial numbers differed and the write went ahead
    std::string undoFile;            // the file the undo entry went to, as the system names it
    // The first byte of the reread that differs from the entry (Mismatch).
    uint16_t differenceAddress = 0;
    // What the restore left on the transmitter, with the way back.
    Outcome left;
    int attempts = 0;  // of the identity check and the transfers, from 1 once started
};

class BackupRestore {
public:
    BackupRestore(const Settings& settings, BslLink& link, UserInterface& ui, RunControl& run,
                  TransmitterData& data, Flows& flows);

    // Restores an intact entry; shows its messages through the user interface and says how
    // it ended.
    RestoreReport restore(const BackupEntry& entry, const RestoreOptions& options);

    // The local time of the undo entry; tests fix it.
    std::function<std::tm()> now;

private:
    enum class Step { Identity, SegmentA, SegmentB, Done };
    enum class StepResult { Ok, Failed, Stop };

    [[nodiscard]] bool refuseEntry(const BackupEntry& entry, const RestoreOptions& options,
                                   RestoreReport& report);
    [[nodiscard]] bool runSteps(const BackupEntry& entry, const RestoreOptions& options,
                                RestoreReport& report);
    StepResult identityCheck(const BackupEntry& entry, const RestoreOptions& options,
                             RestoreReport& report, int failures);
    bool sameTransmitter(const BackupEntry& entry, const RestoreOptions& options,
                         const RestoreReport& report) const;
    [[nodiscard]] bool appendUndoEntry(RestoreReport& report);
    StepResult writeSegment(Step step, const BackupEntry& entry);
    void transfersFailed(Step step, const BackupEntry& entry, RestoreReport& report);
    void rereadAndCompare(const BackupEntry& entry, RestoreReport& report);
    void judge(const BackupEntry& entry, RestoreReport& report);
    int maxAttempts() const;

    const Settings& settings_;
    BslLink& link_;
    UserInterface& ui_;
    RunControl& run_;
    TransmitterData& data_;
    Flows& flows_;
    // Segment B as the identity check read it: what the transmitter's calibration is.
    SegmentData transmitterB_{};
    uint64_t flashCommandsAtStart_ = 0;
    bool programUnsure_ = false;
    bool otherTransmitter_ = false;  // the reread found another transmitter
    std::optional<CriticalSection> critical_;
};

// The serial number of a Segment A image as a user reads it: "(Segment A erased)" for an
// erased image, "(none)" for an empty serial number field.
std::string serialForDisplay(const SegmentData& segmentA);

}  // namespace kv58
