#include "session.h"

#include <algorithm>
#include <filesystem>
#include <memory>

#include "base/text.h"
#include "device/backup_reader.h"
#include "device/messages.h"
#include "invariants.h"
#include "session_kinds.h"
#include "sim/shipped_images.h"
#include "sim/sim_port.h"

namespace kv58::faults {

namespace {

namespace fs = std::filesystem;

constexpr const char* kBackupFolder = "backup";

// Every entry of every backup file, in file-name order; a file that cannot be read gives a
// damaged entry naming it.
std::vector<BackupEntry> backupEntries(const std::string& folder) {
    std::vector<std::string> files;
    std::error_code ec;
    for (const auto& f : fs::directory_iterator(folder, ec))
        files.push_back(f.path().string());
    std::sort(files.begin(), files.end());
    std::vector<BackupEntry> all;
    for (const std::string& file : files) {
        std::vector<BackupEntry> entries;
        std::string error;
        if (!readBackupFile(file, entries, error)) {
            BackupEntry damaged;
            damaged.damage = error;
            entries = {damaged};
        }
        all.insert(all.end(), entries.begin(), entries.end());
    }
    return all;
}

std::string memoryFolder() {
    std::error_code ec;
    return fs::is_directory("/dev/shm", ec) ? "/dev/shm" : "";
}

}  // namespace

SessionRunner::SessionRunner() : folder_(memoryFolder()) {}

// What an earlier session left in the folder goes: backups, the temporary image, and a loader
// patch that a session took away comes back.
void SessionRunner::freshFolder() {
    std::error_code ec;
    fs::remove_all(folder_.file(kBackupFolder), ec);
    fs::remove(folder_.file("TEMP.TXT"), ec);
    if (!fs::exists(folder_.file(sim::kPatchFileName), ec) &&
        !headless::writeBytes(folder_.file(sim::kPatchFileName), sim::patchFileText())) {
        throw std::runtime_error("cannot write the loader patch");
    }
}

SessionResult SessionRunner::run(uint64_t seed) {
    SessionResult result;
    const FaultPlan& plan = result.plan = planFaults(seed);
    sim::registerSimPortScheme();
    sim::forgetSimDevices();
    freshFolder();
    SessionContext session(plan, folder_);
    std::string error;
    if (!session.start(error)) {
        result.violations.push_back("set-up: the first read without faults failed:" + error);
        return result;
    }
    SessionFacts facts;
    facts.original = facts.before = imageOf(session.device());
    const std::string backups = folder_.file(kBackupFolder);
    facts.entriesBefore = backupEntries(backups).size();
    session.runCommand(facts);
    facts.after = imageOf(session.device());
    result.outcome = facts.outcome;
    result.virtualUs = facts.virtualUs;
    result.claim = facts.claim;
    for (const headless::Shown& m : session.ui().reports()) {
        facts.failureReported |= m.icon == MsgIcon::Exclamation || m.icon == MsgIcon::None;
        result.shown.push_back(cp1252ToUtf8(m.text));
    }
    const std::vector<std::string>& info = session.ui().infoTexts;
    facts.identityPassed =
        std::count(info.begin(), info.end(), std::string(text::kWritingSegmentA)) > 0;
    facts.entriesAfter = backupEntries(backups);
    facts.newEntries.assign(
        facts.entriesAfter.begin() +
            static_cast<std::ptrdiff_t>(std::min(facts.entriesBefore, facts.entriesAfter.size())),
        facts.entriesAfter.end());
    if (facts.killed)
        session.nextRead(facts);
    session.runWayBack(facts);
    result.damaged = !(facts.after == facts.before) && !(facts.after == facts.target);
    result.wayBackRan = facts.afterWayBack.has_value();
    result.violations = checkInvariants(facts);
    return result;
}

}  // namespace kv58::faults
