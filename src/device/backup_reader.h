// Reading InfoMemory backup files back (the writer and the entry layout are in backup.h).
//
// A file holds entries in the order they were appended. Each is checked line by line against
// the layout the writer produces; an entry that does not match (lines missing or left over,
// a value that is not two hexadecimal digits, a line of more or fewer than 16 values, a
// missing "q", a wrong address line or date) is kept in the list as damaged, with the line
// where the fault was found, and the entries around it are read on as if it were intact.
//
// Entries are found by their date lines ("#=== ..."). An entry whose date line is missing or
// garbled is still found by its "----- Segment A -----" line, so a damaged date never merges
// two entries into one. Text before the first entry counts as one damaged entry: it is what
// is left of one. So the index of an entry never depends on the state of the others.
//
// Line ends may be LF or CR LF; blanks and tabs at the end of a line are ignored.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "device/infomem.h"

namespace kv58 {

struct BackupEntry {
    int index = 0;         // from 1 in file order, damaged entries counted
    int line = 0;          // line of the entry's first text (its date line), from 1
    std::string dateTime;  // "06.12.2026 07:10" as written; empty when damaged before it
    SegmentData segmentA{};
    SegmentData segmentB{};
    // What is wrong, and the file line where it was found; empty for an intact entry.
    std::string damage;
    int damageLine = 0;

    bool intact() const { return damage.empty(); }
};

// The entry's date as ISO 8601 local time ("2026-12-06T07:10"; the file names no zone);
// empty when the entry has no date.
std::string isoDateTime(const BackupEntry& entry);

// Splits the text of a backup file into its entries and checks each one.
std::vector<BackupEntry> parseBackupText(std::string_view text);

// Files larger than this are refused rather than read into memory (one entry is about
// 1.3 KB, so this is decades of writes).
constexpr size_t kMaxBackupFileSize = 64u * 1024 * 1024;

// Reads and parses a file given by its native path. False with a message that names the
// file when it cannot be read or is too large; an empty file gives no entries and true.
bool readBackupFile(const std::string& path, std::vector<BackupEntry>& entries, std::string& error);

// Whether a segment image is all 0xFF, as flash after an erase.
bool isErased(const SegmentData& segment);

}  // namespace kv58
