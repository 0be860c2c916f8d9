#include "device_command.h"

#include <cstdio>

#include "base/files.h"
#include "base/text.h"
#include "bsl/link_result.h"
#include "console_ui.h"
#include "diagnostics.h"

namespace kv58::cli {

void keepJsonOutputClean(const Context& ctx, BslLink& link) {
    if (ctx.json) {
        link.transport().setWarningSink(
            [](const std::string& line) { std::fputs(line.c_str(), stderr); });
    }
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
    printError("kv58ctl: %s\n", failureText(link).c_str());
    const std::string& portError = link.transport().lastError();
    if (!portError.empty())
        printError("kv58ctl: %s\n", portError.c_str());
}

void printUnreadablePasswordFiles(const BslLink& link, const PasswordFileList& passwordFiles) {
    if (passwordFiles.empty()) {
        printError("kv58ctl: the settings file names no password file ([PWfile])\n");
    }
    for (const std::string& name : passwordFiles) {
        const std::string path = link.dataFile(name);
        if (fileReadable(path))
            continue;
        printError("kv58ctl: %s\n",
                   cp1252ToUtf8(linkMessage(LinkResult::FileOpenFailed, false, path)).c_str());
    }
}

}  // namespace kv58::cli
