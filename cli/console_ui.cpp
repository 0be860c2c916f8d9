#include "console_ui.h"

#include <unistd.h>

#include <cstdio>
#include <iostream>

#include "base/text.h"
#include "diagnostics.h"

namespace kv58::cli {

namespace {

const char* iconWord(MsgIcon icon) {
    switch (icon) {
        case MsgIcon::Exclamation:
            return "warning: ";
        case MsgIcon::Stop:
            return "error: ";
        case MsgIcon::Information:
            return "note: ";
        case MsgIcon::Question:
        case MsgIcon::None:
            break;
    }
    return "";
}

// Message texts carry "\n" and "\t" as the dialog boxes show them; indent follow-up lines.
std::string indentLines(const std::string& text) {
    std::string out;
    for (char c : text) {
        out += c;
        if (c == '\n')
            out += "  ";
    }
    return out;
}

bool stderrIsTerminal() {
    return isatty(STDERR_FILENO) == 1;
}

}  // namespace

MsgAnswer ConsoleUi::messageBox(const std::string& text, MsgIcon icon, MsgButtons buttons) {
    endProgressLine();
    ++messages_;
    const std::string shown = indentLines(cp1252ToUtf8(text));
    if (buttons == MsgButtons::Ok) {
        printError("kv58ctl: %s%s\n", iconWord(icon), shown.c_str());
        return MsgAnswer::Ok;
    }
    if (assumeYes_) {
        std::fprintf(stderr, "kv58ctl: %s yes (--yes)\n", shown.c_str());
        return MsgAnswer::Yes;
    }
    if (isatty(STDIN_FILENO) != 1) {
        printError("kv58ctl: %s no (no terminal to ask; give --yes)\n", shown.c_str());
        return MsgAnswer::No;
    }
    std::fprintf(stderr, "kv58ctl: %s [y/N] ", shown.c_str());
    std::fflush(stderr);
    std::string answer;
    std::getline(std::cin, answer);
    return isYes(trimView(answer)) ? MsgAnswer::Yes : MsgAnswer::No;
}

void ConsoleUi::infoOpen() {}

void ConsoleUi::infoSetText(const std::string& text) {
    endProgressLine();
    std::fprintf(stderr, "kv58ctl: %s\n", cp1252ToUtf8(text).c_str());
}

void ConsoleUi::infoProgress(long done, long total) {
    if (!stderrIsTerminal() || total <= 0)
        return;
    const long width = 40;
    const long filled = done >= total ? width : done * width / total;
    std::fprintf(stderr, "\r[%s%s] %3ld%%", std::string(static_cast<size_t>(filled), '#').c_str(),
                 std::string(static_cast<size_t>(width - filled), '.').c_str(),
                 done >= total ? 100L : done * 100 / total);
    std::fflush(stderr);
    progressShown_ = true;
}

void ConsoleUi::infoClose() {
    endProgressLine();
}

void ConsoleUi::setRunChecked(bool on) {
    endProgressLine();
    std::fprintf(stderr, "kv58ctl: RUN %s\n", on ? "on" : "off");
}

bool ConsoleUi::runPortPrompt(PortPromptState&) {
    // A terminal has no port prompt: kv58ctl takes the port from --port instead.
    endProgressLine();
    printError("kv58ctl: the settings file names no port; give one with --port NAME\n");
    return false;
}

void ConsoleUi::endProgressLine() {
    if (progressShown_) {
        std::fputc('\n', stderr);
        progressShown_ = false;
    }
}

}  // namespace kv58::cli
