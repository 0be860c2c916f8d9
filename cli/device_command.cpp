#include "device_command.h"

#include <cstdio>

#include "base/files.h"
#include "base/paths.h"
#include "base/text.h"
#include "bsl/link_result.h"
#include "console_ui.h"

namespace kv58::cli {

std::string findDataFile(const std::string& name, const std::string& iniPath) {
    if (fileReadable(name))
        return name;
    const std::string folder = dirName(iniPath);
    if (folder.empty())
        return name;
    const std::string beside = folder + "/" + name;
    return fileReadable(beside) ? beside : name;
}

void showProgress(BslLink& link, ConsoleUi& ui) {
    link.setProgressObserver([&ui](long done, long total) { ui.infoProgress(done, total); });
}

std::string failureText(const BslLink& link) {
    std::string text = cp1252ToUtf8(link.message());
    while (!text.empty() && text.back() == '\n')
        text.pop_back();
    return text;
}

void printFailure(const BslLink& link) {
    std::fprintf(stderr, "kv58ctl: %s\n", failureText(link).c_str());
    const std::string& portError = link.transport().lastError();
    if (!portError.empty())
        std::fprintf(stderr, "kv58ctl: %s\n", portError.c_str());
}

void printUnreadablePasswordFiles(const PasswordFileList& passwordFiles) {
    if (passwordFiles.empty()) {
        std::fprintf(stderr, "kv58ctl: the settings file names no password file ([PWfile])\n");
    }
    for (const std::string& name : passwordFiles) {
        if (fileReadable(name))
            continue;
        std::fprintf(stderr, "kv58ctl: %s\n",
                     cp1252ToUtf8(linkMessage(LinkResult::FileOpenFailed, false, name)).c_str());
    }
}

}  // namespace kv58::cli
