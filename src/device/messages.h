// The program's numbered user texts (its string table) and the fixed message formats that
// the flows show. Windows-1252.
#pragma once

namespace kv58::text {

constexpr const char* kAboutMenu = "Ab&out KV58...";                        // 101
constexpr const char* kErrorReadingIni = "ERROR reading INI-File!";         // 132
constexpr const char* kErrorReadingData = "ERROR reading data!";            // 133
constexpr const char* kNo = "No";                                           // 135
constexpr const char* kYes = "Yes";                                         // 136
constexpr const char* kWriteQuestion = "write new configuration?";          // 137
constexpr const char* kIdentError = "ERROR: Identnumber Error!";            // 149
constexpr const char* kReadingFromKv58 = "reading data from KV58...";       // 150
constexpr const char* kReadingUserdata = "reading userdata...";             // 151
constexpr const char* kRereading = "rereading data...";                     // 152
constexpr const char* kWritingSegmentA = "writing new data...(segment A)";  // 154
constexpr const char* kErrorSendingMail = "ERROR sending eMail";            // 157
constexpr const char* kErrorHomepage = "ERROR retrieving homepage";         // 159
constexpr const char* kRangeCorrected =                                     // 163
    "Value invalid - will be corrected automatically!\n\tmin. = %d %s\n\tmax. = %d %s\n\t"
    "diff. = %d %s";
constexpr const char* kErrorReadingProgram = "ERROR reading program!";  // 165
constexpr const char* kProgramCheckFailed =                             // 166
    "FATAL ERROR PROGRAM-CHECK! Verification failed!";
constexpr const char* kErrorOpenFile = "ERROR open file <%s>";    // 167
constexpr const char* kErrorWriteFile = "ERROR write file <%s>";  // 168

// Fixed formats of the flows.
constexpr const char* kCompareData =
    "ERROR compare data!\nFlag: \t%04X <==> %04X\nTempL:\t%4d <==> %4d\nTempH:\t%4d <==> %4d";
constexpr const char* kWriteWarning = "WARNING!\n(test %d / %d)\n\n%s";
constexpr const char* kDataNotSent = "WARNING!\n\nDATA NOT SENT!";
constexpr const char* kTransferProgress = "%s  (transfer %d / %d)";
constexpr const char* kBackupDirFailed = "Verzeichnis %s konnte nicht angelegt werden!";
constexpr const char* kBackupOpenFailed =
    "Datei %s konnte nicht ge\xF6"
    "ffnet/erstellt werden!";
constexpr const char* kBackupWriteFailed = "Daten konnten nicht in Datei %s geschrieben werden!";
constexpr const char* kSegmentBChanged =
    "ERROR compare data!\nSegment B is not the one read before the write:\n"
    "is another transmitter connected?";
constexpr const char* kRangeNotCodable =
    "T min and T max must lie between %d and %d!\n\nDATA NOT SENT!";

}  // namespace kv58::text
