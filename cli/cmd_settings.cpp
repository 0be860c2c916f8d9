// kv58ctl settings: loads the settings file as the desktop program does and prints every
// field of the result.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "base/text.h"
#include "command.h"
#include "console_ui.h"
#include "diagnostics.h"
#include "json_text.h"
#include "settings/settings.h"

namespace kv58::cli {

namespace {

int run(Context& ctx);

const Command kCommand{
    "settings", "load the settings file and print every setting",
    "Usage: kv58ctl settings\n"
    "\n"
    "Loads the settings file (--ini, or the desktop program's) exactly as the desktop\n"
    "program does at start-up and prints every setting, with defaults filled in, then the\n"
    "places where the settings file was looked for (Searched). Without --ini that is\n"
    "KV58.ini beside kv58ctl, and for an installed kv58ctl then\n"
    "$XDG_CONFIG_HOME/kv58/KV58.ini (~/.config/kv58/KV58.ini), /etc/kv58/KV58.ini and the\n"
    "installation's sample (share/kv58/KV58.ini); the first that exists is used. A file\n"
    "without a port needs --port NAME (a terminal has no port prompt); --port also\n"
    "overrides the file's port. With --json the settings are one JSON object whose keys\n"
    "are the field names. A settings file that the program would refuse exits with 2 and\n"
    "names the file, section and key at fault.\n",
    run};

const CommandRegistrar kRegistrar(kCommand);

// File paths come from the command line or the platform and are UTF-8 on Linux already;
// texts from the settings file are Windows-1252.
std::string pathUtf8(const std::string& path) {
    return isUtf8WithMultibyte(path) ? path : cp1252ToUtf8(path);
}

std::vector<int32_t> limitsInOrder(const TemperatureLimits& l) {
    return {l.minC, l.maxC, l.minDiffC, l.minF, l.maxF, l.minDiffF};
}

std::string joined(const std::vector<std::string>& items, const char* separator) {
    std::string out;
    for (const std::string& item : items)
        out += (out.empty() ? "" : separator) + item;
    return out;
}

void printJson(const Settings& s, const std::vector<std::string>& searched) {
    std::vector<std::string> names, limits, places;
    for (const std::string& place : searched)
        places.push_back(jsonString(pathUtf8(place)));
    for (const std::string& name : s.passwordFileNames())
        names.push_back(jsonCp1252(name));
    for (int32_t v : limitsInOrder(s.Limits))
        limits.push_back(std::to_string(v));
    const auto flag = [](bool b) { return b ? "true" : "false"; };
    std::printf(
        "{\"Port\": %s, \"Baud\": %d, \"DataBit\": %d, \"StopBit\": %d, \"Parity\": %s, "
        "\"AutoDTR\": %s, \"InvertDTR\": %s, \"InvertRTS\": %s, \"WaitPrg\": %d, "
        "\"WaitSeg\": %d, \"MaxWriteCnt\": %d, \"TSym\": %s, \"SaveData\": %s, "
        "\"SavePath\": %s, \"PasswordFiles\": [%s], \"Limits\": [%s], \"IniPath\": %s, "
        "\"LastValuePath\": %s, \"Searched\": [%s]}\n",
        jsonCp1252(s.Port).c_str(), s.Baud, s.DataBit, s.StopBit, jsonCp1252(s.Parity).c_str(),
        flag(s.AutoDTR), flag(s.InvertDTR), flag(s.InvertRTS), s.WaitPrg, s.WaitSeg, s.MaxWriteCnt,
        jsonCp1252(std::string(1, s.TSym)).c_str(), flag(s.SaveData),
        jsonCp1252(s.SavePath).c_str(), joined(names, ", ").c_str(), joined(limits, ", ").c_str(),
        jsonString(pathUtf8(s.IniPath)).c_str(), jsonString(pathUtf8(s.LastValuePath)).c_str(),
        joined(places, ", ").c_str());
}

void printText(const Settings& s, const std::vector<std::string>& searched) {
    const auto line = [](const char* name, const std::string& value) {
        std::printf("%-14s %s\n", name, cp1252ToUtf8(value).c_str());
    };
    const auto pathLine = [](const char* name, const std::string& path) {
        std::printf("%-14s %s\n", name, pathUtf8(path).c_str());
    };
    const auto yesNo = [](bool b) { return std::string(b ? "yes" : "no"); };
    std::vector<std::string> limits;
    for (int32_t v : limitsInOrder(s.Limits))
        limits.push_back(std::to_string(v));
    line("Port", s.Port);
    line("Baud", std::to_string(s.Baud));
    line("DataBit", std::to_string(s.DataBit));
    line("StopBit", std::to_string(s.StopBit));
    line("Parity", s.Parity);
    line("AutoDTR", yesNo(s.AutoDTR));
    line("InvertDTR", yesNo(s.InvertDTR));
    line("InvertRTS", yesNo(s.InvertRTS));
    line("WaitPrg", std::to_string(s.WaitPrg));
    line("WaitSeg", std::to_string(s.WaitSeg));
    line("MaxWriteCnt", std::to_string(s.MaxWriteCnt));
    line("TSym", std::string(1, s.TSym));
    line("SaveData", yesNo(s.SaveData));
    line("SavePath", s.SavePath);
    line("PasswordFiles", joined(s.passwordFileNames(), " "));
    line("Limits", joined(limits, " "));
    pathLine("IniPath", s.IniPath);
    pathLine("LastValuePath", s.LastValuePath);
    for (const std::string& place : searched) {
        const bool used = place == s.IniPath;
        std::printf("%-14s %s (%s)\n", &place == &searched.front() ? "Searched" : "",
                    pathUtf8(place).c_str(), used ? "used" : "not there");
    }
}

// The places looked at up to the one used, or all of them when none held a file.
std::vector<std::string> placesLooked(const Context& ctx) {
    std::vector<std::string> looked;
    for (const std::string& place : ctx.settingsPlaces) {
        looked.push_back(place);
        if (place == ctx.iniPath)
            break;
    }
    return looked;
}

int run(Context& ctx) {
    if (!ctx.args.empty())
        return usageError(kCommand, "unexpected argument " + ctx.args[0]);
    std::error_code ec;
    if (ctx.port && !std::filesystem::exists(ctx.iniPath, ec)) {
        printError(
            "kv58ctl: warning: the settings file %s does not exist; every key takes "
            "its default\n",
            ctx.iniPath.c_str());
    }
    Settings settings;
    SettingsLoadFailure failure;
    if (!LoadSettingsFromFile(settings, *ctx.ui, ctx.iniPath, settingsLoadOptions(ctx, failure))) {
        printError("kv58ctl: ERROR reading INI-File!\n");
        return reportSettingsFailure(failure);
    }
    if (ctx.json) {
        printJson(settings, placesLooked(ctx));
    } else {
        printText(settings, placesLooked(ctx));
    }
    return kExitOk;
}

}  // namespace

}  // namespace kv58::cli
