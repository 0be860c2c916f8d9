// The main window: template 102 with menu 134, drawn from the dialog model.
//
// Every rule lives in the model and in the commands behind it; the window only shows the
// model (refresh), writes the user's edits and choices into it as they happen, reports where
// the focus goes, and turns menu items, Enter, Escape and the close box into commands.
// Commands that the model posts, and focus reports, run from the event loop one at a time,
// never inside another command.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <QAction>
#include <QDialog>
#include <string>

#include "base/user_interface.h"
#include "contact_dialog.h"
#include "core/dialog_model.h"
#include "dialog_builder.h"

class QComboBox;

namespace kv58::app {

// What the window draws and whom it tells.
struct DialogBinding {
    DialogModel* model = nullptr;
    std::function<void(int)> command;    // a menu command, a posted command, Enter (1), close (2)
    std::function<std::string()> title;  // the window title (Windows-1252)
    std::string aboutLine;               // the About dialog's version line
};

class MainWindow final : public QDialog, public DialogView {
    Q_OBJECT
public:
    explicit MainWindow(UserInterface& ui, QWidget* parent = nullptr);
    ~MainWindow() override;

    void attach(DialogBinding binding);
    // Forgets the binding (before the model goes away) and what was posted to it.
    void detach();

    // DialogView.
    void refresh() override;
    void post(int commandId) override;
    void endDialog(int result) override;
    void showAbout() override;
    void showContact() override;

    // For the UserInterface: focus, and the RUN check mark.
    void focusControl(int controlId);
    // Another window (a message box, About, Contact) is about to take the focus from this
    // one: the model runs the leave rule of its focused control first.
    void focusLeavesForAnotherWindow();
    void setRunChecked(bool on);

    QWidget* control(int controlId) const { return built_.widget(controlId); }
    QAction* menuAction(int commandId) const;
    int controlIdOf(const QWidget* widget) const;
    const BuiltDialog& built() const { return built_; }

    // How Contact opens its links; tests replace it.
    UrlOpener openUrl = desktopUrlOpener();

protected:
    void reject() override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
#ifdef Q_OS_WIN
    bool nativeEvent(const QByteArray& eventType, void* message, qintptr* result) override;
#endif

private:
    void buildMenu(QLayout* layout);
    void connectControls();
    void addSystemMenuEntry();
    void onFocusChanged(QWidget* now);
    void runCommand(int commandId);
    void enqueue(std::function<void()> job);
    void drain();
    void drawList(QComboBox* combo, const ListControl& list);
    void drawValue(QWidget* widget, const ValueControl& value);

    UserInterface& ui_;
    DialogBinding binding_;
    BuiltDialog built_;
    std::map<const QWidget*, int> ids_;
    std::map<int, QAction*> actions_;
    QAction* runAction_ = nullptr;
    bool runChecked_ = false;
    bool refreshing_ = false;
    bool busy_ = false;
    bool ending_ = false;
    std::deque<std::function<void()>> pending_;
    QMetaObject::Connection focusConnection_;
};

}  // namespace kv58::app
