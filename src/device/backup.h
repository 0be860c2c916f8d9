// The InfoMemory backup file: before a configuration is written, the information memory about
// to go into the transmitter is appended to a file per serial number in the folder SavePath.
// The file only grows; one entry per write, each entry 25 lines:
//
//   (empty line)
//   #========= 06.12.2026 07:10 ==========
//   ----- Segment A -----
//   @1080
//   8 lines of 16 "%02X " values: the Segment A write image
//   q
//   (empty line)
//   ----- Segment B -----
//   @1000
//   8 lines of 16 values: Segment B as read when the write started
//   q
//
// Lines end with the platform's text line end.
#pragma once

#include <ctime>
#include <string>

#include "base/user_interface.h"
#include "device/infomem.h"
#include "settings/settings.h"

namespace kv58 {

// The platform's text-file line end.
#ifdef _WIN32
inline constexpr const char* kTextLineEnd = "\r\n";
#else
inline constexpr const char* kTextLineEnd = "\n";
#endif

// The serial-number part of the file name: the serial number of the Segment A read image with
// every character a file name cannot hold on Windows or Linux ("/", "\", control characters,
// : * ? " < > |) replaced by "-", then trimmed of white space; "NoSNumber" when nothing is
// left. So no transmitter can make the program write outside SavePath.
std::string backupSerialText(const SegmentData& segmentARead);

// The backup folder with its final "\" (SavePath plus "\" when it has none), Windows-style.
std::string backupFolder(const std::string& savePath);

// The backup file of a transmitter: backupFolder(savePath) + backupSerialText(...) + ".dat".
std::string backupFilePath(const std::string& savePath, const SegmentData& segmentARead);

// Where the backups go, as the file system names them: SavePath, and when it is relative the
// folder of that name in the working folder, else beside the settings file (NewFilesFolder;
// made there when it can be), else in the working folder (base/data_files.h placeDataFile).
std::string backupFolderOnDisk(const Settings& settings);
// The backup file of a transmitter in that folder.
std::string backupFileOnDisk(const Settings& settings, const SegmentData& segmentARead);

// One entry, with "\n" line ends; `when` is the local time of the entry.
std::string formatBackupEntry(const std::tm& when, const SegmentData& segmentA,
                              const SegmentData& segmentB);

// Appends an entry for the write being made to SavePath\<serial>.dat (backupFileOnDisk),
// creating the folder (one level) and the file when missing. True when written or when
// SaveData is off; false after a failure, which has been shown through `ui`.
[[nodiscard]] bool SaveInfoMemory(const Settings& settings, const SegmentData& segmentARead,
                                  const SegmentData& segmentAWrite,
                                  const SegmentData& segmentBSaved, UserInterface& ui,
                                  const std::tm& when);

// The local time now.
std::tm localTimeNow();

}  // namespace kv58
