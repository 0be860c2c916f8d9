// The main window: template 102 with menu 134, run by the system's dialog manager and drawn
// from the dialog model.
//
// Every rule lives in the model and in the commands behind it; the window shows the model
// (refresh), writes the user's edits and choices into it as they happen, reports where the
// focus goes, and hands menu items, posted commands, Enter (1), Escape and the close box (2)
// to the command handler. The dialog manager does the keyboard: Tab, mnemonics, Enter and
// Escape, and an edit reached from the keyboard has its text selected.
#pragma once

#include <functional>
#include <string>

#include "base/user_interface.h"
#include "contact_dialog.h"
#include "core/dialog_model.h"
#include "dialog_window.h"

namespace kv58::win32 {

// What the window draws and whom it tells.
struct DialogBinding {
    DialogModel* model = nullptr;
    std::function<void(int)> command;    // a menu command, a posted command, Enter, close
    std::function<std::string()> title;  // the window title (Windows-1252)
    std::string aboutLine;               // the About dialog's version line
    std::function<void()> init;          // the dialog's initialisation, run as it opens
};

class MainWindow final : public DialogWindow, public DialogView {
public:
    explicit MainWindow(UserInterface& ui);

    void attach(DialogBinding binding) { binding_ = std::move(binding); }
    // Forgets the binding (before the model goes away).
    void detach() { binding_ = {}; }

    // DialogView.
    void refresh() override;
    void post(int commandId) override;
    void endDialog(int result) override;
    void showAbout() override;
    void showContact() override;

    // For the UserInterface: focus (as the dialog manager moves it, selecting an edit's
    // text), and the RUN check mark.
    void focusControl(int controlId);
    void setRunChecked(bool on);

    bool ended() const { return ended_; }
    int result() const { return result_; }

    // How Contact opens its links; tests replace it.
    LinkOpener openLink = shellLinkOpener();

protected:
    INT_PTR handle(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void initialise();
    void attachMenu();
    void setIcons();
    void onCommand(int id, int code, HWND control);
    void onNotification(const ControlTemplate& row, int code, HWND control);
    void focusChanged(int id);
    void run(int commandId);
    void drawList(HWND combo, const ListControl& list);
    void drawValue(HWND control, ControlKind kind, const ValueControl& value);

    UserInterface& ui_;
    DialogBinding binding_;
    bool refreshing_ = false;
    bool ended_ = false;
    int result_ = 0;
};

}  // namespace kv58::win32
