// The installation settings: read once from the settings file beside the program, read-only
// afterwards.
//
// Settings file keys, in the order they are read (defaults in parentheses):
//   [COM]      Port (none: the port prompt asks), Baud (9600), DataBit (8), StopBit (1),
//              Parity (none), AutoDTR (no), InvertDTR (no), InvertRTS (no)
//   [Program]  WaitPrg (0), WaitSeg (2), MaxWriteCnt (3), T-Sym (°), SaveData (Nein),
//              SavePath (.\), LogFile (none: no production log)
//   [PWfile]   PW01 ... PW10: password file names, the list ends at the first missing one
//   [Program]  Key01: the limits key (see limits_key.h)
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/user_interface.h"
#include "settings/limits_key.h"

namespace kv58 {

constexpr size_t kPasswordFileSlots = 10;
constexpr size_t kPasswordFileSlotSize = 14;
constexpr size_t kPasswordFileNameMax = 12;  // longer names fail the load

struct Settings {
    std::string Port;              // serial port name, e.g. "COM1", "sim:?state=kv58-sim.state"
    int32_t Baud = 9600;           // bit/s
    int32_t DataBit = 8;           // data bits per character
    int32_t StopBit = 1;           // 1 one, 15 one and a half, 2 two stop bits
    std::string Parity = "none";   // only the first letter matters
    bool AutoDTR = false;          // reading and writing also switch RUN
    bool InvertDTR = false;        // the adapter inverts DTR: drive the opposite level
    bool InvertRTS = false;        // the adapter inverts RTS: drive the opposite level
    int32_t WaitPrg = 0;           // ms per byte of a programming pass
    int32_t WaitSeg = 2;           // ms per byte of a segment write
    int32_t MaxWriteCnt = 3;       // attempts of the transfer and test loops
    char TSym = '\xB0';            // degree sign (Windows-1252)
    bool SaveData = false;         // back up information memory before writing
    std::string SavePath = ".\\";  // backup folder, Windows-style; never empty after loading
    // The production log as the file system names it (settings value through fileSystemPath);
    // empty: none.
    std::string LogFile;
    // Password file names: zero-terminated, zero-padded; the first empty slot ends the list.
    std::array<std::array<char, kPasswordFileSlotSize>, kPasswordFileSlots> PasswordFiles{};
    TemperatureLimits Limits;
    std::string IniPath;        // settings file
    std::string LastValuePath;  // last-values file
    // Where the data files the settings name (password files, PATCH.TXT) are looked for after
    // the working folder: the settings file's folder, the folder for new files when that is
    // another, then the installation's data folder (base/data_files.h).
    std::vector<std::string> DataFolders;
    // Where the files kept beside the settings are made: the last values, relative backup
    // folders (settings_location.h folderForNewFiles).
    std::string NewFilesFolder;

    // The password file names up to the first empty slot.
    std::vector<std::string> passwordFileNames() const;
    // The folder of the settings file ("" for the working folder).
    std::string settingsFolder() const;
};

// What went wrong in a failed load, for callers that report more than the message boxes do.
struct SettingsLoadFailure {
    std::string file;     // the settings file
    std::string section;  // "COM", "PWfile" or "Program"; empty when the file itself failed
    std::string key;      // "Port", "PW03", "Key01", ...
    std::string reason;   // one line, Windows-1252
};

// "FILE: [SECTION] KEY: REASON", or "FILE: REASON" for the file itself; UTF-8.
std::string describe(const SettingsLoadFailure& failure);

struct SettingsLoadOptions {
    // Replaces "COM"/"Port" of the file; the file's port is then not read and no prompt shows.
    std::optional<std::string> port;
    // Replaces "Program"/"LogFile" of the file: a path as the file system names it, taken as
    // it stands.
    std::optional<std::string> logFile;
    // Filled when the load fails.
    SettingsLoadFailure* failure = nullptr;
    // Every place where the settings file was looked for (settings_location.h), for the
    // message when none holds one.
    std::vector<std::string> placesSearched;
    // The serial ports the system reports, asked only when the port prompt is shown
    // (port_prompt.h portPromptOffer); none when not given.
    std::function<std::vector<std::string>()> listPorts;
};

// Loads the settings of the program at `programPath`: its settings file is the path cut after
// the last "." of the file name, plus "ini" (beside the program, or for an installed program
// the first found as settings_location.h says); the last-values file the same with "lkd".
// Shows its errors through `ui` (and asks for the port there when the file names none). False
// when the load failed; the caller then reports "ERROR reading INI-File!" and ends with exit
// code 2.
[[nodiscard]] bool LoadSettings(Settings& settings, UserInterface& ui,
                                const std::string& programPath);

// The same with an explicit settings file; the last-values file follows the same rule from
// it ("X.ini" -> "X.lkd", in the folder for new files). A file that does not exist fails the load,
// unless the options give the port: then every key takes its default.
[[nodiscard]] bool LoadSettingsFromFile(Settings& settings, UserInterface& ui,
                                        const std::string& iniPath,
                                        const SettingsLoadOptions& options = {});

}  // namespace kv58
