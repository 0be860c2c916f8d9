// Finding the way back for a damaged transmitter among the backup files of SavePath.
//
// An entry can put a transmitter back when it is intact and its Segment A is a transmitter's
// own (segment_state.h); when Segment B is to be written too, its Segment B must not be
// erased. Of those, the newest is chosen: the last in its file (entries are appended in
// time order), and between files the one with the later date.
#pragma once

#include "device/backup_reader.h"
#include "device/outcome.h"
#include "settings/settings.h"

namespace kv58 {

// Whether the entry can put a transmitter back (with its Segment B when `withSegmentB`).
bool usableEntry(const BackupEntry& entry, bool withSegmentB);

// The newest usable entry of the backup file named by the serial number of `identity` (a
// Segment A image of the transmitter, as read before a write); when that Segment A is not
// intact or its file has no usable entry, the newest usable entry of any backup file in
// SavePath whose Segment B equals `segmentB` (the calibration tells the transmitter apart
// when its serial number is gone). Kind::None when neither finds one. `withSegmentB` asks
// for an entry that also puts Segment B back; the search by Segment B is then not made.
// `matchSegmentB`: the restore is to know the transmitter by its Segment B rather than by
// the serial number its Segment A may no longer hold.
WayBack findBackupWayBack(const Settings& settings, const SegmentData& identity,
                          const SegmentData& segmentB, bool withSegmentB, bool matchSegmentB);

// The way back for a transmitter as a read found it: Segment A not intact is put back from
// the entry its Segment B finds (the restore then knows the transmitter by Segment B); an
// erased Segment B from its own file, by the serial number of an intact Segment A.
WayBack wayBackForSegments(const Settings& settings, const SegmentData& segmentA,
                           const SegmentData& segmentB);

// Programming `imageFile` when it holds a whole transmitter (both segments and the program's
// interrupt vectors, as the restore image and the image of kv58ctl program do); Kind::None
// when it does not or cannot be read. For a transmitter a programming run may have left
// erased: it is the image such a run in this folder was writing.
WayBack imageWayBack(const std::string& imageFile);

// The image that puts back the transmitter of `segmentA` after a failed run: beside the work
// image `tempFile`, with the transmitter's serial number in its name ("TEMP-K58-104711.TXT"),
// so that runs of other transmitters in the same folder never replace it. Characters a file
// name cannot hold become '_'; a Segment A without a serial number gives "TEMP-unknown.TXT".
std::string wayBackImageName(const std::string& tempFile, const SegmentData& segmentA);

}  // namespace kv58
