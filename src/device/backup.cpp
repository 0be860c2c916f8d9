#include "device/backup.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <span>

#ifdef _WIN32
#include <windows.h>

#include "base/win32_system_text.h"
#else
#include <sys/stat.h>
#endif

#include "base/data_files.h"
#include "base/files.h"
#include "base/paths.h"
#include "base/text.h"
#include "bsl/titxt.h"
#include "device/messages.h"

namespace kv58 {

namespace {

bool unfitForFileName(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u < 0x20 || u == 0x7F || std::strchr("/\\:*?\"<>|", c) != nullptr;
}

// Creates one folder level; an existing folder counts as success. `reason`: the system's.
bool createFolder(const std::string& native, std::string& reason) {
#ifdef _WIN32
    if (CreateDirectoryA(native.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS)
        return true;
    reason = win32SystemText(GetLastError());
#else
    if (mkdir(native.c_str(), 0777) == 0 || errno == EEXIST)
        return true;
    reason = std::strerror(errno);
#endif
    return false;
}

// SavePath as the file system names it, without its final separator.
std::string savePathOnDisk(const std::string& savePath) {
    std::string folder = fileSystemPath(backupFolder(savePath));
    while (folder.size() > 1 && (folder.back() == '/' || folder.back() == '\\'))
        folder.pop_back();
    return folder;
}

std::string withLineEnds(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') {
            out += kTextLineEnd;
        } else {
            out += c;
        }
    }
    return out;
}

// The section lines of the TI-TXT writer, with "\n" line ends.
std::string sectionLines(uint16_t address, const SegmentData& segment) {
    std::string text = formatTiTxtSection(address, std::span<const uint8_t>(segment));
    std::string out;
    for (char c : text) {
        if (c != '\r')
            out += c;
    }
    return out;
}

}  // namespace

std::string backupSerialText(const SegmentData& segmentARead) {
    // Blanks at either end are trimmed before the replacement, so that a tab or line end
    // there is dropped as a blank rather than kept as "-".
    std::string text = trim(serialNumberOf(segmentARead), " \t\r\n\v\f");
    for (char& c : text) {
        if (unfitForFileName(c))
            c = '-';
    }
    return text.empty() ? "NoSNumber" : text;
}

std::string backupFolder(const std::string& savePath) {
    if (!savePath.empty() && savePath.back() == '\\')
        return savePath;
    return savePath + "\\";
}

std::string backupFilePath(const std::string& savePath, const SegmentData& segmentARead) {
    return backupFolder(savePath) + backupSerialText(segmentARead) + ".dat";
}

std::string backupFolderOnDisk(const Settings& settings) {
    return placeDataFile(savePathOnDisk(settings.SavePath), settings.NewFilesFolder);
}

std::string backupFileOnDisk(const Settings& settings, const SegmentData& segmentARead) {
    return joinPath(backupFolderOnDisk(settings),
                    fileSystemPath(backupSerialText(segmentARead) + ".dat"));
}

std::string formatBackupEntry(const std::tm& when, const SegmentData& segmentA,
                              const SegmentData& segmentB) {
    char stamp[64];
    std::strftime(stamp, sizeof stamp, "%d.%m.%Y %H:%M", &when);
    std::string entry = strprintf("\n#========= %s ==========\n", stamp);
    entry += "----- Segment A -----\n";
    entry += sectionLines(kSegmentAAddress, segmentA);
    entry += "q\n\n";
    entry += "----- Segment B -----\n";
    entry += sectionLines(kSegmentBAddress, segmentB);
    entry += "q\n";
    return entry;
}

bool SaveInfoMemory(const Settings& settings, const SegmentData& segmentARead,
                    const SegmentData& segmentAWrite, const SegmentData& segmentBSaved,
                    UserInterface& ui, const std::tm& when) {
    if (!settings.SaveData)
        return true;
    const std::string folderOnDisk = backupFolderOnDisk(settings);
    const std::string pathOnDisk = backupFileOnDisk(settings, segmentARead);
    // The messages name the folder as SavePath does, unless it was found beside the settings.
    const bool asWritten = folderOnDisk == savePathOnDisk(settings.SavePath);
    const std::string folder =
        asWritten ? backupFolder(settings.SavePath) : pathForMessage(folderOnDisk);
    const std::string path =
        asWritten ? backupFilePath(settings.SavePath, segmentARead) : pathForMessage(pathOnDisk);
    // Each failure's message is followed by the system's reason, with the folder it was in.
    const auto failed = [&ui](const std::string& message, const std::string& onDisk,
                              const std::string& reason) {
        ui.messageBox(message, MsgIcon::Exclamation);
        ui.messageBox(fileNotWritten(onDisk, reason), MsgIcon::Exclamation);
        return false;
    };
    std::string reason;
    if (!createFolder(folderOnDisk, reason))
        return failed(strprintf(text::kBackupDirFailed, folder.c_str()), folderOnDisk, reason);
    std::FILE* file = std::fopen(pathOnDisk.c_str(), "ab");
    if (!file) {
        return failed(strprintf(text::kBackupOpenFailed, path.c_str()), pathOnDisk,
                      std::strerror(errno));
    }
    const std::string entry = withLineEnds(formatBackupEntry(when, segmentAWrite, segmentBSaved));
    bool written =
        std::fwrite(entry.data(), 1, entry.size(), file) == entry.size() && std::fflush(file) == 0;
    reason = written ? "" : std::strerror(errno);
    if (std::fclose(file) != 0 && written) {
        written = false;
        reason = std::strerror(errno);
    }
    if (!written)
        return failed(strprintf(text::kBackupWriteFailed, path.c_str()), pathOnDisk, reason);
    return true;
}

#ifdef _WIN32

// The system's local time, as its clock shows it. The C library's local time would follow a
// TZ variable in its own syntax instead, and take a Unix zone name (under Wine) for UTC.
std::tm localTimeNow() {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    std::tm local{};
    local.tm_year = now.wYear - 1900;
    local.tm_mon = now.wMonth - 1;
    local.tm_mday = now.wDay;
    local.tm_hour = now.wHour;
    local.tm_min = now.wMinute;
    local.tm_sec = now.wSecond;
    local.tm_wday = now.wDayOfWeek;
    local.tm_isdst = -1;
    return local;
}

#else

std::tm localTimeNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local;
}

#endif

}  // namespace kv58
