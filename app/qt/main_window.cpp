#include "main_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTimer>
#include <QVBoxLayout>

#include "about_dialog.h"
#include "core/dialog_ids.h"
#include "core/dialog_template.h"
#include "device/messages.h"
#include "pictures.h"
#include "qt_text.h"

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace kv58::app {

namespace {

bool isEnterKey(const QKeyEvent* key) {
    return (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
           (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
}

}  // namespace

MainWindow::MainWindow(UserInterface& ui, QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      ui_(ui) {
    const DialogTemplate& dialog = mainDialogTemplate();
    setWindowTitle(toQt(dialog.caption));
    setWindowIcon(programIcon());
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    auto* client = new QWidget(this);
    built_ = buildDialog(dialog, client);
    layout->addWidget(client);
    buildMenu(layout);
    for (const auto& [id, widget] : built_.controls)
        ids_[widget] = id;
    connectControls();
    addSystemMenuEntry();
}

// Hiding while being destroyed moves the application's focus; the window no longer listens.
MainWindow::~MainWindow() {
    disconnect(focusConnection_);
    detach();
}

void MainWindow::attach(DialogBinding binding) {
    binding_ = std::move(binding);
    refresh();
}

void MainWindow::detach() {
    binding_ = {};
    pending_.clear();
}

void MainWindow::buildMenu(QLayout* layout) {
    auto* bar = new QMenuBar(this);
    bar->setFont(built_.font);
    for (const PopupMenuTemplate& popup : mainMenuTemplate().popups) {
        QMenu* menu = bar->addMenu(toQt(popup.text));
        menu->setFont(built_.font);  // a popup is a window of its own: it inherits no font
        for (const MenuItemTemplate& item : popup.items) {
            if (item.isSeparator()) {
                menu->addSeparator();
                continue;
            }
            QAction* action = menu->addAction(toQt(item.text));
            action->setMenuRole(QAction::NoRole);
            const int id = item.commandId;
            actions_[id] = action;
            connect(action, &QAction::triggered, this, [this, id] { runCommand(id); });
        }
    }
    runAction_ = menuAction(ids::kMenuRun);
    if (runAction_) {
        runAction_->setCheckable(true);
        // The check mark follows the RUN state, not the click.
        connect(runAction_, &QAction::toggled, this, [this](bool on) {
            if (on != runChecked_)
                runAction_->setChecked(runChecked_);
        });
    }
    layout->setMenuBar(bar);
}

void MainWindow::connectControls() {
    focusConnection_ = connect(qApp, &QApplication::focusChanged, this,
                               [this](QWidget*, QWidget* now) { onFocusChanged(now); });
    for (const auto& [id, widget] : built_.controls) {
        const int controlId = id;
        widget->installEventFilter(this);
        if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
            connect(edit, &QLineEdit::textEdited, this, [this, controlId](const QString& text) {
                if (binding_.model)
                    binding_.model->setControlText(controlId, fromQt(text));
            });
        } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
            connect(combo, &QComboBox::currentIndexChanged, this, [this, controlId](int index) {
                if (binding_.model && !refreshing_)
                    binding_.model->list(controlId).setSelected(index);
            });
        } else if (auto* box = qobject_cast<QCheckBox*>(widget)) {
            connect(box, &QCheckBox::toggled, this, [this, controlId](bool on) {
                if (binding_.model && !refreshing_)
                    binding_.model->control(controlId).checked = on;
            });
        } else if (auto* button = qobject_cast<QPushButton*>(widget)) {
            button->setAutoDefault(false);  // Enter follows the dialog's own rule
            connect(button, &QPushButton::clicked, this,
                    [this, controlId] { runCommand(controlId); });
        }
    }
}

QAction* MainWindow::menuAction(int commandId) const {
    const auto it = actions_.find(commandId);
    return it == actions_.end() ? nullptr : it->second;
}

int MainWindow::controlIdOf(const QWidget* widget) const {
    for (; widget && widget != this; widget = widget->parentWidget()) {
        const auto it = ids_.find(widget);
        if (it != ids_.end())
            return it->second;
    }
    return 0;
}

// --- Drawing the model. ---

void MainWindow::refresh() {
    if (!binding_.model)
        return;
    const DialogModel& model = *binding_.model;
    refreshing_ = true;
    for (const auto& [id, widget] : built_.controls) {
        if (model.isList(id)) {
            if (auto* combo = qobject_cast<QComboBox*>(widget))
                drawList(combo, model.list(id));
        } else {
            drawValue(widget, model.control(id));
        }
    }
    if (binding_.title)
        setWindowTitle(toQt(binding_.title()));
    refreshing_ = false;
}

void MainWindow::drawList(QComboBox* combo, const ListControl& list) {
    const QSignalBlocker block(combo);
    QStringList texts;
    for (const ListItem& item : list.items())
        texts << toQt(item.text);
    QStringList shown;
    for (int i = 0; i < combo->count(); ++i)
        shown << combo->itemText(i);
    if (shown != texts) {
        combo->clear();
        combo->addItems(texts);
    }
    combo->setCurrentIndex(list.selected());
    combo->setEnabled(list.enabled);
    combo->setHidden(!list.visible);
}

void MainWindow::drawValue(QWidget* widget, const ValueControl& value) {
    const QString text = toQt(value.text);
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        if (label->text() != text)
            label->setText(text);
    } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        if (edit->text() != text)
            edit->setText(text);
    } else if (auto* box = qobject_cast<QCheckBox*>(widget)) {
        const QSignalBlocker block(box);
        box->setChecked(value.checked);
    }
    widget->setEnabled(value.enabled);
    widget->setHidden(!value.visible);
}

// --- Commands and focus. ---

void MainWindow::runCommand(int commandId) {
    if (!binding_.command)
        return;
    if (busy_) {
        enqueue([this, commandId] { binding_.command(commandId); });
        return;
    }
    busy_ = true;
    binding_.command(commandId);
    busy_ = false;
    if (!pending_.empty())
        QTimer::singleShot(0, this, &MainWindow::drain);
}

void MainWindow::enqueue(std::function<void()> job) {
    pending_.push_back(std::move(job));
    if (!busy_)
        QTimer::singleShot(0, this, &MainWindow::drain);
}

// Runs what was posted, in order, outside any other command.
void MainWindow::drain() {
    if (busy_)
        return;
    busy_ = true;
    while (!pending_.empty()) {
        const std::function<void()> job = std::move(pending_.front());
        pending_.pop_front();
        job();
    }
    busy_ = false;
}

void MainWindow::post(int commandId) {
    enqueue([this, commandId] {
        if (binding_.command)
            binding_.command(commandId);
    });
}

// Only moves inside this window count: a message box taking the focus is no change of the
// dialog's focus control, which Qt gives back when the box closes.
void MainWindow::onFocusChanged(QWidget* now) {
    if (!binding_.model || ending_ || !now || now->window() != this)
        return;
    const int id = controlIdOf(now);
    if (id == 0)
        return;
    enqueue([this, id] { binding_.model->focusChanged(id); });
}

// As the dialog manager moves the focus: an edit it moves into has its text selected, so
// that typing replaces it.
void MainWindow::focusControl(int controlId) {
    QWidget* widget = control(controlId);
    if (!widget)
        return;
    widget->setFocus(Qt::OtherFocusReason);
    if (auto* edit = qobject_cast<QLineEdit*>(widget))
        edit->selectAll();
}

void MainWindow::focusLeavesForAnotherWindow() {
    const QWidget* focus = QApplication::focusWidget();
    if (binding_.model && !ending_ && focus && focus->window() == this)
        binding_.model->focusLeavesWindow();
}

void MainWindow::setRunChecked(bool on) {
    runChecked_ = on;
    if (runAction_)
        runAction_->setChecked(on);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && isEnterKey(static_cast<QKeyEvent*>(event))) {
        runCommand(ids::kIdOk);
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
    if (isEnterKey(event)) {
        runCommand(ids::kIdOk);
        return;
    }
    QDialog::keyPressEvent(event);  // Escape ends in reject()
}

// Escape and the close box.
void MainWindow::reject() {
    runCommand(ids::kIdCancel);
}

void MainWindow::endDialog(int result) {
    ending_ = true;
    done(result);
}

void MainWindow::showAbout() {
    focusLeavesForAnotherWindow();
    AboutDialog about(binding_.aboutLine, this);
    about.exec();
}

void MainWindow::showContact() {
    focusLeavesForAnotherWindow();
    ContactDialog contact(ui_, openUrl, this);
    contact.exec();
}

// --- The system menu's About entry, where the platform has one to extend. ---

#ifdef Q_OS_WIN
void MainWindow::addSystemMenuEntry() {
    const std::string text = text::kAboutMenu;
    if (text.empty())
        return;
    HMENU menu = GetSystemMenu(reinterpret_cast<HWND>(winId()), FALSE);
    if (!menu)
        return;
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, ids::kSysAbout, reinterpret_cast<LPCWSTR>(toQt(text).utf16()));
}

bool MainWindow::nativeEvent(const QByteArray& eventType, void* message, qintptr* result) {
    const MSG* msg = static_cast<const MSG*>(message);
    if (msg->message == WM_SYSCOMMAND &&
        (msg->wParam & 0xFFF0) == static_cast<WPARAM>(ids::kSysAbout)) {
        runCommand(ids::kSysAbout);
        *result = 0;
        return true;
    }
    return QDialog::nativeEvent(eventType, message, result);
}
#else
void MainWindow::addSystemMenuEntry() {}
#endif

}  // namespace kv58::app
