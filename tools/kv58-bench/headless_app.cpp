#include "headless_app.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <system_error>

#include "settings/limits_key.h"
#include "sim/shipped_images.h"

namespace kv58::headless {

namespace fs = std::filesystem;

MsgAnswer QuietUi::messageBox(const std::string& text, MsgIcon icon, MsgButtons buttons) {
    messages.push_back({text, icon, buttons});
    return buttons == MsgButtons::YesNo ? MsgAnswer::Yes : MsgAnswer::Ok;
}

void QuietUi::clear() {
    messages.clear();
    infoTexts.clear();
}

std::vector<Shown> QuietUi::reports() const {
    std::vector<Shown> out;
    for (const Shown& m : messages) {
        if (m.buttons == MsgButtons::Ok)
            out.push_back(m);
    }
    return out;
}

bool writeBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    out.close();
    return static_cast<bool>(out);
}

WorkFolder::WorkFolder(const std::string& parent) {
    const fs::path base = parent.empty() ? fs::temp_directory_path() : fs::path(parent);
    std::string pattern = (base / "kv58-evidence-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("cannot create a temporary folder");
    path_ = pattern;
    previous_ = fs::current_path().string();
    fs::current_path(path_);
    if (!writeBytes(file(sim::kPasswordFileName), sim::passwordFileText()) ||
        !writeBytes(file(sim::kPatchFileName), sim::patchFileText())) {
        throw std::runtime_error("cannot write the data files into " + path_);
    }
}

WorkFolder::~WorkFolder() {
    std::error_code ec;
    fs::current_path(previous_, ec);
    fs::remove_all(path_, ec);
}

std::string settingsText(const std::string& port, int baud, const std::string& programExtra) {
    const std::string key = EncodeKey({-40, 120, 20, -40, 248, 36});
    return "[COM]\r\nPort=" + port + "\r\nBaud=" + std::to_string(baud) +
           "\r\nParity=even\r\n[Program]\r\nKey01=" + key + "\r\n" + programExtra +
           "[PWfile]\r\nPW01=" + sim::kPasswordFileName + "\r\n";
}

std::string WorkFolder::writeSettings(const std::string& port, int baud,
                                      const std::string& programExtra) const {
    const std::string ini = file("KV58.ini");
    if (!writeBytes(ini, settingsText(port, baud, programExtra)))
        throw std::runtime_error("cannot write " + ini);
    return ini;
}

}  // namespace kv58::headless
