// The whole application without a window or a terminal, for programs that drive it in bulk
// (the benchmark and the fault campaign): a user interface that answers every question with
// Yes and keeps what it was shown, a view that queues posted commands, and a working folder
// with a settings file, the password file and the loader patch.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "base/user_interface.h"
#include "core/dialog_model.h"

namespace kv58::headless {

struct Shown {
    std::string text;  // Windows-1252
    MsgIcon icon;
    MsgButtons buttons;
};

// Answers Yes to every question; records message boxes and information-window texts.
class QuietUi final : public UserInterface {
public:
    MsgAnswer messageBox(const std::string& text, MsgIcon icon, MsgButtons buttons) override;
    void infoOpen() override {}
    void infoSetText(const std::string& text) override { infoTexts.push_back(text); }
    void infoProgress(long, long) override {}
    void infoClose() override {}
    void setRunChecked(bool) override {}
    void setFocus(int) override {}
    void bringToForeground() override {}
    void requestQuit(int) override {}
    bool runPortPrompt(PortPromptState&) override { return false; }

    void clear();
    // Messages that are not questions: what a user is told.
    std::vector<Shown> reports() const;

    std::vector<Shown> messages;
    std::vector<std::string> infoTexts;
};

// A view without a window: posted commands wait in a queue for the driver to deliver.
class QueueView final : public DialogView {
public:
    void refresh() override {}
    void post(int commandId) override { posted.push_back(commandId); }
    void endDialog(int) override {}
    void showAbout() override {}
    void showContact() override {}

    std::deque<int> posted;
};

// A fresh temporary folder, made the working directory while the object lives (TEMP.TXT,
// PATCH.TXT and the backups are relative to it), removed with its contents afterwards.
class WorkFolder {
public:
    // In `parent`, or in the system's temporary folder when it is empty.
    explicit WorkFolder(const std::string& parent = "");
    ~WorkFolder();
    WorkFolder(const WorkFolder&) = delete;
    WorkFolder& operator=(const WorkFolder&) = delete;

    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

    // Writes KV58.ini for this port and line, with the password file, the limits key and
    // `programExtra` lines ("MaxWriteCnt=2\r\n") in [Program]; returns its path.
    std::string writeSettings(const std::string& port, int baud,
                              const std::string& programExtra = "") const;

private:
    std::string path_;
    std::string previous_;
};

// Writes `bytes` to `path` exactly; false when it cannot.
bool writeBytes(const std::string& path, const std::string& bytes);

// The text of a KV58.ini for this port and line (as WorkFolder::writeSettings writes it).
std::string settingsText(const std::string& port, int baud, const std::string& programExtra = "");

}  // namespace kv58::headless
