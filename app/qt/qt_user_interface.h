// The desktop's face of the UserInterface seam: message boxes captioned with the program's
// base name, the information window, the RUN check mark, focus and foreground of the main
// window, the quit request and the port prompt.
//
// Tests set `scriptedMessages` (and `scriptedPortPrompt`) so that no modal box waits for a
// person; every other part stays the real widgets.
#pragma once

#include <functional>
#include <memory>
#include <QPointer>
#include <QString>

#include "base/user_interface.h"
#include "info_window.h"
#include "main_window.h"

namespace kv58::app {

class QtUserInterface final : public UserInterface {
public:
    QtUserInterface();
    ~QtUserInterface() override;

    // The main window that focus, foreground and the RUN mark refer to.
    void setMainWindow(MainWindow* window) { window_ = window; }

    MsgAnswer messageBox(const std::string& text, MsgIcon icon, MsgButtons buttons) override;
    void infoOpen() override;
    void infoSetText(const std::string& text) override;
    void infoProgress(long done, long total) override;
    void infoClose() override;
    void setRunChecked(bool on) override;
    void setFocus(int controlId) override;
    void bringToForeground() override;
    void requestQuit(int exitCode) override;
    bool runPortPrompt(PortPromptState& state) override;

    // The exit code asked for by requestQuit, or -1.
    int quitCode() const { return quitCode_; }
    // The caption of every message box: the program file's name without folder and extension.
    const QString& caption() const { return caption_; }
    // The open information window, or null.
    InfoWindow* infoWindow() const { return info_.get(); }

    // When set, message boxes are answered by this function instead of a person.
    std::function<MsgAnswer(const std::string& text, MsgIcon, MsgButtons)> scriptedMessages;
    // When set, the port prompt is answered by this function (true for OK).
    std::function<bool(PortPromptState&)> scriptedPortPrompt;

private:
    QWidget* dialogParent() const;

    QString caption_;
    QPointer<MainWindow> window_;
    std::unique_ptr<InfoWindow> info_;
    int quitCode_ = -1;
};

}  // namespace kv58::app
