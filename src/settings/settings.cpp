#include "settings/settings.h"

#include <algorithm>
#include <cstring>

#include "base/files.h"
#include "base/paths.h"
#include "base/text.h"
#include "settings/port_prompt.h"
#include "settings/profile.h"
#include "settings/settings_location.h"

namespace kv58 {

namespace {

// Every key is read into one buffer of this size, as the program always did.
constexpr size_t kValueBuffer = 1024;

constexpr const char* kPortMessage = "ERROR reading INI-File\n[%s], %s";
constexpr const char* kPasswordNameMessage =
    "Dateiname f\xFCr Passwortfile aus INI-Datei lesen.\n\nFEHLER!\n"
    "Der Dateiname <%s> hat nicht das geforderte 8.3-Format!";
constexpr const char* kMissingFileMessage = "The settings file %s does not exist.";
constexpr int kQuitCodeSettings = 2;

// Reads the keys of one settings file, read once, and records where a load failed.
class SettingsFileReader {
public:
    SettingsFileReader(const std::string& path, SettingsLoadFailure* failure)
        : path_(path), failure_(failure), file_(path) {}

    // The value of the key, or the default; empty when the call copies no characters.
    std::string text(const char* section, const std::string& key, const char* def = "") const {
        std::string value;
        file_.get(section, key, def, value, kValueBuffer);
        return value;
    }
    int32_t number(const char* section, const char* key, const char* def) const {
        return leadingInt(text(section, key, def));
    }
    bool yes(const char* section, const char* key, const char* def = "") const {
        return isYes(text(section, key, def));
    }

    bool fail(const char* section, const std::string& key, const std::string& reason) const {
        if (failure_)
            *failure_ = {path_, section, key, reason};
        return false;
    }

private:
    const std::string& path_;
    SettingsLoadFailure* failure_;
    ProfileSnapshot file_;
};

// 1 for "1", 15 for "1" followed by anything ("1.5", "15"), 2 for "2…", else 1.
int32_t stopBitCode(const std::string& value) {
    if (!value.empty() && value[0] == '1')
        return value.size() == 1 ? 1 : 15;
    if (!value.empty() && value[0] == '2')
        return 2;
    return 1;
}

bool readPort(Settings& s, UserInterface& ui, const SettingsFileReader& file,
              const SettingsLoadOptions& options) {
    if (options.port) {
        s.Port = *options.port;
        return true;
    }
    s.Port = file.text("COM", "Port");
    if (!s.Port.empty())
        return true;  // a port from the file is taken as it stands
    const std::optional<PortChoice> choice = RunPortPrompt(
        ui, portPromptOffer(options.listPorts ? options.listPorts() : std::vector<std::string>{}));
    if (!choice || choice->port.empty()) {
        ui.messageBox(strprintf(kPortMessage, "COM", "Port"), MsgIcon::Exclamation);
        return file.fail("COM", "Port",
                         choice ? "the port chosen in the port prompt is empty"
                                : "no port is set, and none was chosen in the port prompt");
    }
    s.Port = choice->port;
    // The chosen port serves this run even when it cannot be kept as the default.
    if (choice->setDefault)
        static_cast<void>(writeProfileString(s.IniPath, "COM", "Port", s.Port));
    return true;
}

void readLineAndProgramKeys(Settings& s, const SettingsFileReader& file) {
    s.Baud = file.number("COM", "Baud", "9600");
    s.DataBit = file.number("COM", "DataBit", "8");
    s.StopBit = stopBitCode(file.text("COM", "StopBit", "1"));
    s.Parity = file.text("COM", "Parity", "none");
    s.AutoDTR = file.yes("COM", "AutoDTR");
    s.InvertDTR = file.yes("COM", "InvertDTR");
    s.InvertRTS = file.yes("COM", "InvertRTS");
    s.WaitPrg = file.number("Program", "WaitPrg", "0");
    s.WaitSeg = file.number("Program", "WaitSeg", "2");
    s.MaxWriteCnt = file.number("Program", "MaxWriteCnt", "3");
    const std::string degree = file.text("Program", "T-Sym", "\xB0");
    if (!degree.empty())
        s.TSym = degree[0];
    s.SaveData = file.yes("Program", "SaveData", "Nein");
    s.SavePath = trim(file.text("Program", "SavePath"));
    if (s.SavePath.empty())
        s.SavePath = ".\\";
    const std::string logFile = trim(file.text("Program", "LogFile"));
    s.LogFile = logFile.empty() ? std::string() : fileSystemPath(logFile);
}

bool readPasswordFiles(Settings& s, UserInterface& ui, const SettingsFileReader& file) {
    for (auto& slot : s.PasswordFiles)
        slot.fill('\0');
    for (size_t n = 1; n <= kPasswordFileSlots; ++n) {
        const std::string key = strprintf("PW%02zu", n);
        const std::string name = file.text("PWfile", key);
        if (name.empty())
            break;
        if (name.size() > kPasswordFileNameMax) {
            ui.messageBox(strprintf(kPasswordNameMessage, name.c_str()), MsgIcon::Stop);
            ui.requestQuit(kQuitCodeSettings);
            return file.fail("PWfile", key,
                             strprintf("the password file name <%s> is longer than %zu characters",
                                       name.c_str(), kPasswordFileNameMax));
        }
        std::copy(name.begin(), name.end(), s.PasswordFiles[n - 1].begin());
    }
    return true;
}

bool readLimits(Settings& s, const SettingsFileReader& file) {
    s.Limits = limitsFromPlainText(DecodeKey(file.text("Program", "Key01")));
    if (s.Limits.isValid())
        return true;
    const TemperatureLimits& l = s.Limits;
    return file.fail("Program", "Key01",
                     strprintf("the limits key gives %d to %d \xB0"
                               "C (difference at least %d) and "
                               "%d to %d \xB0"
                               "F (difference at least %d): the range is smaller "
                               "than the minimum difference",
                               l.minC, l.maxC, l.minDiffC, l.minF, l.maxF, l.minDiffF));
}

// A settings file that is not there is reported as such, with every place it was looked for.
bool reportMissingFile(UserInterface& ui, const std::string& iniPath,
                       const SettingsLoadOptions& options) {
    std::string text = strprintf(kMissingFileMessage, pathForMessage(iniPath).c_str());
    std::string reason = "the settings file does not exist";
    if (options.placesSearched.size() > 1) {
        text += "\nNone was found in:";
        reason = "no settings file was found in";
        for (const std::string& place : options.placesSearched) {
            text += "\n" + pathForMessage(place);
            reason +=
                (&place == &options.placesSearched.front() ? " " : ", ") + pathForMessage(place);
        }
    }
    ui.messageBox(text, MsgIcon::Exclamation);
    if (options.failure)
        *options.failure = {iniPath, "", "", reason};
    return false;
}

}  // namespace

std::string describe(const SettingsLoadFailure& failure) {
    const std::string reason = cp1252ToUtf8(failure.reason);
    if (failure.section.empty())
        return failure.file + ": " + reason;
    return failure.file + ": [" + failure.section + "] " + failure.key + ": " + reason;
}

std::string Settings::settingsFolder() const {
    return dirName(IniPath);
}

std::vector<std::string> Settings::passwordFileNames() const {
    std::vector<std::string> names;
    for (const auto& slot : PasswordFiles) {
        const size_t length = strnlen(slot.data(), slot.size());
        if (length == 0)
            break;
        names.emplace_back(slot.data(), length);
    }
    return names;
}

bool LoadSettingsFromFile(Settings& settings, UserInterface& ui, const std::string& iniPath,
                          const SettingsLoadOptions& options) {
    settings = Settings{};
    settings.IniPath = iniPath;
    settings.LastValuePath = settingsStem(iniPath) + "lkd";
    settings.NewFilesFolder = folderForNewFiles(iniPath, programPath());
    settings.DataFolders = {settings.settingsFolder()};
    if (settings.NewFilesFolder != settings.settingsFolder()) {
        settings.LastValuePath = settings.NewFilesFolder + "/" + baseName(settings.LastValuePath);
        settings.DataFolders.push_back(settings.NewFilesFolder);
    }
    if (const std::string shipped = installedDataFolder(programPath()); !shipped.empty())
        settings.DataFolders.push_back(shipped);
    if (!options.port && !pathExists(iniPath))
        return reportMissingFile(ui, iniPath, options);
    const SettingsFileReader file(settings.IniPath, options.failure);
    if (!readPort(settings, ui, file, options))
        return false;
    readLineAndProgramKeys(settings, file);
    if (options.logFile)
        settings.LogFile = *options.logFile;
    if (!readPasswordFiles(settings, ui, file))
        return false;
    // Invalid limits show no message here; the start-up reports the failed load.
    return readLimits(settings, file);
}

bool LoadSettings(Settings& settings, UserInterface& ui, const std::string& programPath) {
    // "C:\Tools\Conf.exe" -> "C:\Tools\Conf.ini"; the last-values file follows from it.
    const SettingsSearch search = findSettingsFile(programPath);
    SettingsLoadOptions options;
    options.placesSearched = search.places;
    return LoadSettingsFromFile(settings, ui,
                                search.path.empty() ? search.places.front() : search.path, options);
}

}  // namespace kv58
