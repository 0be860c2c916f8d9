// What must hold after every session, whatever went wrong on the wire:
//
//   success is true   the write is reported as confirmed only when the transmitter holds
//                     exactly the new Segment A, the old Segment B and the old program;
//   the contract      (contract.cpp) what a command says the transmitter holds is never less
//                     damage than there is; a damaged transmitter is put back by the way back
//                     the command (or, after a kill, the next read) printed; nothing is
//                     written over an erased Segment A;
//   no silent change  a program memory left changed is never reported as a success, and the
//                     user has been told of a failure;
//   backup            exactly one new entry per identity check that passed, every entry of
//                     every backup file intact, the new one holding the Segment A that was
//                     written and the Segment B that was read;
//   bounded           the session ends within a bounded time on the virtual clock.
//
// A crash, a hang or a sanitizer report ends the campaign itself.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "device/backup_reader.h"
#include "device/flows.h"
#include "device/infomem.h"
#include "device/outcome.h"
#include "fault_plan.h"

namespace kv58::faults {

// Flash outside the information memory (0x1100–0xFFFF): the program and everything around it.
using MainFlash = std::vector<uint8_t>;

struct DeviceImage {
    SegmentData segmentA{};
    SegmentData segmentB{};
    MainFlash flash;

    bool operator==(const DeviceImage&) const = default;
};

struct SessionFacts {
    DeviceImage original;      // the transmitter as the first read found it
    DeviceImage before;        // the same, or the one a swap put in its place
    DeviceImage after;         // the transmitter on the line when the session ended
    SegmentData writeImage{};  // the Segment A the program built for the write
    WriteOutcome outcome = WriteOutcome::NotStarted;
    bool failureReported = false;  // a warning or error message was shown during the write
    bool identityPassed = false;   // the transfer step was reached
    size_t entriesBefore = 0;
    std::vector<BackupEntry> entriesAfter;  // of every backup file, in file order
    std::vector<BackupEntry> newEntries;    // those appended during the write
    int64_t virtualUs = 0;

    // The safety contract.
    SessionKind kind = SessionKind::Write;
    DeviceImage target;            // what the command was to leave on the transmitter
    std::optional<Outcome> claim;  // what the command said it left (none after a kill)
    bool killed = false;
    bool erasedSegmentAAtStart = false;
    bool refusedBeforeAnything = false;  // the command refused before its question
    bool mustRefuse = false;             // the plan gives the command nothing it may do
    // After a kill: what the read of the next program found (none: nothing wrong).
    std::optional<Outcome> nextReadDamage;
    // The way back that was run, and the transmitter after it (none when none was run).
    std::optional<WayBack> wayBack;
    std::optional<DeviceImage> afterWayBack;
};

// Longest session on the virtual clock: attempts of reads and writes with their time-outs
// and a restore at 9600 baud take a few minutes; anything longer is a hang in slow motion.
constexpr int64_t kMaxSessionUs = 30LL * 60 * 1'000'000;

// "confirmed", "not sent", ...
const char* outcomeName(WriteOutcome outcome);

// The violated invariants, each as one line of text; empty when all hold.
std::vector<std::string> checkInvariants(const SessionFacts& facts);

// The invariants of the safety contract (contract.cpp), appended to `out`.
void checkContract(const SessionFacts& facts, std::vector<std::string>& out);
// "0x1085 (00, expected FF)" for the first byte where two images differ.
std::string firstDifferenceText(const DeviceImage& a, const DeviceImage& b);

}  // namespace kv58::faults
