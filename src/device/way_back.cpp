#include "device/way_back.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <system_error>

#include "base/files.h"
#include "base/paths.h"
#include "base/text.h"
#include "bsl/titxt.h"
#include "device/backup.h"
#include "device/segment_state.h"

namespace kv58 {

namespace {

namespace fs = std::filesystem;

constexpr uint32_t kVectorsAddress = 0xFFE0;

// More backup files than this in one folder are not searched: the search stays bounded.
constexpr size_t kMaxFilesSearched = 1000;

struct Candidate {
    std::string file;  // native path, Windows-1252
    int index = 0;
    long long when = -1;  // yyyymmddhhmm of the entry's date; -1 when it has none
};

// "06.12.2026 07:10" -> 202612060710.
long long dateKey(const std::string& dateTime) {
    int d = 0, mo = 0, y = 0, h = 0, mi = 0;
    if (std::sscanf(dateTime.c_str(), "%d.%d.%d %d:%d", &d, &mo, &y, &h, &mi) != 5)
        return -1;
    return (((static_cast<long long>(y) * 100 + mo) * 100 + d) * 100 + h) * 100 + mi;
}

template <typename Accept>
std::optional<Candidate> newestIn(const std::string& file, Accept accept) {
    std::vector<BackupEntry> entries;
    std::string error;
    if (!readBackupFile(fileSystemPath(file), entries, error))
        return std::nullopt;
    for (auto e = entries.rbegin(); e != entries.rend(); ++e) {
        if (accept(*e))
            return Candidate{file, e->index, dateKey(e->dateTime)};
    }
    return std::nullopt;
}

WayBack restoreEntry(const Candidate& c, bool withSegmentB, bool matchSegmentB) {
    WayBack way;
    way.kind = WayBack::Kind::RestoreEntry;
    way.file = c.file;
    way.entry = c.index;
    way.withSegmentB = withSegmentB;
    way.matchSegmentB = matchSegmentB;
    return way;
}

// The backup files of the backup folder the writes use (backupFolderOnDisk: in the working
// folder, or beside the settings file) as native Windows-1252 paths.
std::vector<std::string> backupFiles(const Settings& settings) {
    const std::string folder = pathForMessage(backupFolderOnDisk(settings));
    std::vector<std::string> files;
    std::error_code ec;
    for (fs::directory_iterator it(fileSystemPath(folder), ec), end; !ec && it != end;
         it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.size() > 4 && name.ends_with(".dat"))
            files.push_back(joinPath(folder, pathForMessage(name)));
        if (files.size() >= kMaxFilesSearched)
            break;
    }
    return files;
}

}  // namespace

bool usableEntry(const BackupEntry& entry, bool withSegmentB) {
    return entry.intact() && classifySegmentA(entry.segmentA) == SegmentState::Intact &&
           (!withSegmentB || classifySegmentB(entry.segmentB) == SegmentState::Intact);
}

WayBack findBackupWayBack(const Settings& settings, const SegmentData& identity,
                          const SegmentData& segmentB, bool withSegmentB, bool matchSegmentB) {
    if (classifySegmentA(identity) == SegmentState::Intact) {
        const std::string own = pathForMessage(backupFileOnDisk(settings, identity));
        const auto found = newestIn(own, [&](const BackupEntry& e) {
            return usableEntry(e, withSegmentB) &&
                   serialNumberOf(e.segmentA) == serialNumberOf(identity);
        });
        if (found)
            return restoreEntry(*found, withSegmentB, matchSegmentB);
    }
    if (withSegmentB || classifySegmentB(segmentB) != SegmentState::Intact)
        return {};
    std::optional<Candidate> best;
    for (const std::string& file : backupFiles(settings)) {
        const auto found = newestIn(file, [&](const BackupEntry& e) {
            return usableEntry(e, false) && e.segmentB == segmentB;
        });
        if (found && (!best || found->when >= best->when))
            best = found;
    }
    return best ? restoreEntry(*best, false, true) : WayBack{};
}

WayBack wayBackForSegments(const Settings& settings, const SegmentData& segmentA,
                           const SegmentData& segmentB) {
    if (classifySegmentA(segmentA) != SegmentState::Intact)
        return findBackupWayBack(settings, segmentA, segmentB, false, true);
    if (classifySegmentB(segmentB) != SegmentState::Intact)
        return findBackupWayBack(settings, segmentA, segmentB, true, false);
    return {};
}

WayBack imageWayBack(const std::string& imageFile) {
    // Addresses a whole-transmitter image covers: both segments and the interrupt vectors.
    std::vector<bool> covered(0x10000, false);
    const LinkResult rc =
        readTiTxtFile(imageFile, kMaxImageBlock, [&](uint16_t address, std::span<const uint8_t> b) {
            for (size_t i = 0; i < b.size() && address + i < covered.size(); ++i)
                covered[address + i] = true;
            return LinkResult::Ok;
        });
    const auto all = [&](uint32_t from, uint32_t to) {
        return std::all_of(covered.begin() + from, covered.begin() + to, [](bool c) { return c; });
    };
    if (rc != LinkResult::Ok || !all(kSegmentBAddress, kSegmentAAddress + kSegmentSize) ||
        !all(kVectorsAddress, 0x10000)) {
        return {};
    }
    WayBack way;
    way.kind = WayBack::Kind::ProgramFile;
    way.file = imageFile;
    return way;
}

std::string wayBackImageName(const std::string& tempFile, const SegmentData& segmentA) {
    std::string serial;
    for (const char c : serialNumberOf(segmentA)) {
        const bool plain = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') ||
                           (c >= 'a' && c <= 'z') || c == '-' || c == '.';
        serial += plain ? c : '_';
    }
    if (serial.find_first_not_of("._") == std::string::npos)
        serial = "unknown";
    const size_t slash = tempFile.find_last_of("/\\");
    const std::string folder = slash == std::string::npos ? "" : tempFile.substr(0, slash + 1);
    const std::string base = tempFile.substr(folder.size());
    const size_t dot = base.rfind('.');
    const std::string stem = dot == std::string::npos ? base : base.substr(0, dot);
    const std::string extension = dot == std::string::npos ? "" : base.substr(dot);
    return folder + stem + "-" + serial + extension;
}

}  // namespace kv58
