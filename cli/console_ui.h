// The terminal's face of the UserInterface seam: messages on stderr (converted to UTF-8),
// questions answered by --yes or on the terminal, the information window as progress lines
// on stderr.
#pragma once

#include <string>

#include "base/user_interface.h"

namespace kv58::cli {

class ConsoleUi final : public UserInterface {
public:
    explicit ConsoleUi(bool assumeYes) : assumeYes_(assumeYes) {}

    MsgAnswer messageBox(const std::string& text, MsgIcon icon, MsgButtons buttons) override;
    void infoOpen() override;
    void infoSetText(const std::string& text) override;
    void infoProgress(long done, long total) override;
    void infoClose() override;
    void setRunChecked(bool on) override;
    void setFocus(int) override {}
    void bringToForeground() override {}
    void requestQuit(int exitCode) override { quitCode_ = exitCode; }
    bool runPortPrompt(PortPromptState& state) override;

    // Exit code asked for by requestQuit, or -1.
    int quitCode() const { return quitCode_; }
    // Messages shown so far (Windows-1252), for commands that report a summary.
    int messagesShown() const { return messages_; }

private:
    void endProgressLine();

    bool assumeYes_;
    int quitCode_ = -1;
    int messages_ = 0;
    bool progressShown_ = false;
};

}  // namespace kv58::cli
