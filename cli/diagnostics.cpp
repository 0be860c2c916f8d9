#include "diagnostics.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

namespace kv58::cli {

namespace {

struct Kept {
    std::string lines;
    std::string outcome;
    bool jsonPrinted = false;
};

Kept& kept() {
    static Kept k;
    return k;
}

// "kv58ctl: x" and "kv58ctl write: x" become "x"; a usage text after an empty line is left
// out (it explains the command, not the failure).
std::string withoutProgramName(std::string text) {
    if (const size_t usage = text.find("\n\n"); usage != std::string::npos)
        text.erase(usage);
    while (!text.empty() && text.back() == '\n')
        text.pop_back();
    const size_t colon = text.find(": ");
    if (text.rfind("kv58ctl", 0) == 0 && colon != std::string::npos) {
        const std::string head = text.substr(0, colon);
        if (std::count(head.begin(), head.end(), ' ') <= 1 && head.find('\n') == std::string::npos)
            text.erase(0, colon + 2);
    }
    // The kind of a message box ("warning: ") is the terminal's reading aid, not the reason.
    for (const char* kind : {"warning: ", "error: ", "note: "}) {
        if (text.rfind(kind, 0) == 0)
            text.erase(0, std::strlen(kind));
    }
    return text;
}

}  // namespace

void printError(const char* format, ...) {
    va_list args;
    va_start(args, format);
    const std::string text = vstrprintf(format, args);
    va_end(args);
    std::fputs(text.c_str(), stderr);
    const std::string line = withoutProgramName(text);
    if (!line.empty())
        kept().lines += (kept().lines.empty() ? "" : "\n") + line;
}

std::string errorsSoFar() {
    return kept().lines;
}

void keepFailureOutcome(const std::string& outcomeMembers) {
    kept().outcome = outcomeMembers;
}

std::string failureOutcome() {
    return kept().outcome;
}

void markJsonResultPrinted() {
    kept().jsonPrinted = true;
}

bool jsonResultPrinted() {
    return kept().jsonPrinted;
}

}  // namespace kv58::cli
