// A UserInterface for tests: answers questions from a script and keeps every message and
// every information-window event, so that a test can assert what a user would have seen.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "base/user_interface.h"

namespace kv58::test {

struct ShownMessage {
    std::string text;  // Windows-1252
    MsgIcon icon;
    MsgButtons buttons;
};

class RecordingUi final : public UserInterface {
public:
    MsgAnswer messageBox(const std::string& text, MsgIcon icon, MsgButtons buttons) override;
    void infoOpen() override;
    void infoSetText(const std::string& text) override;
    void infoProgress(long done, long total) override;
    void infoClose() override;
    void setRunChecked(bool on) override;
    void setFocus(int controlId) override { focus.push_back(controlId); }
    void bringToForeground() override { ++foregroundCalls; }
    void requestQuit(int exitCode) override { quitCode = exitCode; }
    bool runPortPrompt(PortPromptState& state) override;

    // Answers for Yes/No questions, taken in order; when empty, `defaultAnswer`.
    std::deque<MsgAnswer> answers;
    MsgAnswer defaultAnswer = MsgAnswer::Yes;
    // What the port prompt does: edits the state and returns true for OK. Unset: Cancel.
    std::function<bool(PortPromptState&)> portPrompt;

    std::vector<ShownMessage> messages;
    // Information-window events as text: "open", "text:<text>", "close".
    std::vector<std::string> infoEvents;
    bool infoIsOpen = false;
    long lastProgressDone = 0, lastProgressTotal = 0;
    bool runChecked = false;
    std::vector<bool> runCheckHistory;
    std::vector<int> focus;
    int foregroundCalls = 0;
    int quitCode = -1;
    int portPromptCalls = 0;

    // The message texts alone, in order.
    std::vector<std::string> texts() const;
    void clear();
};

}  // namespace kv58::test
