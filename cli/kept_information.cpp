#include "kept_information.h"

#include <cstdio>

#include "base/files.h"
#include "base/paths.h"
#include "base/text.h"
#include "bsl/segments.h"
#include "bsl/titxt.h"
#include "console_ui.h"
#include "device/backup.h"
#include "device_command.h"
#include "diagnostics.h"

namespace kv58::cli {

bool readInformation(BslLink& link, const Settings& settings, KeptInformation& kept) {
    const PasswordFileList passwords = settings.passwordFileNames();
    if (readSegmentA(link, passwords, kept.segmentA) &&
        readSegmentB(link, passwords, kept.segmentB)) {
        kept.backupFile = pathForMessage(backupFileOnDisk(settings, kept.segmentA));
        return true;
    }
    printFailure(link);
    printError(
        "kv58ctl: the transmitter's Segments A and B could not be read to keep them; "
        "nothing programmed (--replace-info programs the image as it is)\n");
    return false;
}

bool backUpInformation(const Settings& settings, const KeptInformation& kept, ConsoleUi& ui) {
    Settings always = settings;
    always.SaveData = true;
    return SaveInfoMemory(always, kept.segmentA, kept.segmentA, kept.segmentB, ui, localTimeNow());
}

bool writeImageWithInformation(const std::string& imageFile, const KeptInformation& kept,
                               const std::string& outFile) {
    std::vector<TiTxtSection> sections;
    const LinkResult rc = readTiTxtFile(
        imageFile, kMaxImageBlock, [&](uint16_t address, std::span<const uint8_t> bytes) {
            sections.push_back({address, {bytes.begin(), bytes.end()}});
            return LinkResult::Ok;
        });
    if (rc != LinkResult::Ok) {
        printError("kv58ctl: cannot read %s; nothing programmed\n", imageFile.c_str());
        return false;
    }
    sections.push_back({kSegmentBAddress, {kept.segmentB.begin(), kept.segmentB.end()}});
    sections.push_back({kSegmentAAddress, {kept.segmentA.begin(), kept.segmentA.end()}});
    std::string reason;
    if (replaceFile(outFile, formatTiTxt(sections, true), &reason) != FileWriteResult::Ok) {
        printError("kv58ctl: cannot write %s: %s; nothing programmed\n", outFile.c_str(),
                   reason.c_str());
        return false;
    }
    return true;
}

}  // namespace kv58::cli
