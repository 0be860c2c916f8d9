#include "support/recording_ui.h"

namespace kv58::test {

MsgAnswer RecordingUi::messageBox(const std::string& text, MsgIcon icon, MsgButtons buttons) {
    messages.push_back({text, icon, buttons});
    if (buttons == MsgButtons::Ok)
        return MsgAnswer::Ok;
    if (answers.empty())
        return defaultAnswer;
    const MsgAnswer a = answers.front();
    answers.pop_front();
    return a;
}

void RecordingUi::infoOpen() {
    infoEvents.push_back("open");
    infoIsOpen = true;
}

void RecordingUi::infoSetText(const std::string& text) {
    infoEvents.push_back("text:" + text);
}

void RecordingUi::infoProgress(long done, long total) {
    lastProgressDone = done;
    lastProgressTotal = total;
}

void RecordingUi::infoClose() {
    infoEvents.push_back("close");
    infoIsOpen = false;
}

void RecordingUi::setRunChecked(bool on) {
    runChecked = on;
    runCheckHistory.push_back(on);
}

bool RecordingUi::runPortPrompt(PortPromptState& state) {
    ++portPromptCalls;
    return portPrompt ? portPrompt(state) : false;
}

std::vector<std::string> RecordingUi::texts() const {
    std::vector<std::string> out;
    for (const auto& m : messages)
        out.push_back(m.text);
    return out;
}

void RecordingUi::clear() {
    messages.clear();
    infoEvents.clear();
    focus.clear();
    runCheckHistory.clear();
}

}  // namespace kv58::test
