// kv58ctl program keeps the transmitter's information memory when the image brings none: its
// Segments A (configuration) and B (calibration) are read before the run, appended to the
// transmitter's backup file, and programmed with the image, so that the run's verification
// covers them too.
#pragma once

#include <string>

#include "bsl/bsl_link.h"
#include "device/infomem.h"
#include "settings/settings.h"

namespace kv58::cli {

class ConsoleUi;

struct KeptInformation {
    SegmentData segmentA{};
    SegmentData segmentB{};
    std::string backupFile;  // where they are appended (native path, Windows-1252)
};

// Reads Segments A and B, and names the backup file of that transmitter. False after printing
// why (the link's message).
bool readInformation(BslLink& link, const Settings& settings, KeptInformation& kept);

// Appends them to the transmitter's backup file, whatever SaveData says. False after the
// failure was shown.
bool backUpInformation(const Settings& settings, const KeptInformation& kept, ConsoleUi& ui);

// Writes `imageFile`'s sections followed by Segments B and A to `outFile` (a TI-TXT image
// with an end line). The information memory comes last, so that a run cut off before its end
// leaves both segments erased, which every read finds. False after printing why.
bool writeImageWithInformation(const std::string& imageFile, const KeptInformation& kept,
                               const std::string& outFile);

}  // namespace kv58::cli
