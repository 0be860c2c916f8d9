#include "qt_user_interface.h"

#include <QApplication>
#include <QFileInfo>
#include <QMessageBox>
#include <QThread>

#include "main_window.h"
#include "port_prompt_dialog.h"
#include "qt_text.h"

namespace kv58::app {

namespace {

QMessageBox::Icon boxIcon(MsgIcon icon) {
    switch (icon) {
        case MsgIcon::Exclamation:
            return QMessageBox::Warning;
        case MsgIcon::Stop:
            return QMessageBox::Critical;
        case MsgIcon::Information:
            return QMessageBox::Information;
        case MsgIcon::Question:
            return QMessageBox::Question;
        case MsgIcon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

}  // namespace

QtUserInterface::QtUserInterface()
    : caption_(QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName()) {}

QtUserInterface::~QtUserInterface() = default;

QWidget* QtUserInterface::dialogParent() const {
    if (QWidget* active = QApplication::activeWindow())
        return active;
    if (window_ && window_->isVisible())
        return window_;
    return nullptr;
}

MsgAnswer QtUserInterface::messageBox(const std::string& text, MsgIcon icon, MsgButtons buttons) {
    if (window_)
        window_->focusLeavesForAnotherWindow();
    if (scriptedMessages)
        return scriptedMessages(text, icon, buttons);
    const bool question = buttons == MsgButtons::YesNo;
    QMessageBox box(boxIcon(icon), caption_, toQt(text),
                    question ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok,
                    dialogParent());
    box.setTextFormat(Qt::PlainText);
    const int answer = box.exec();
    if (!question)
        return MsgAnswer::Ok;
    return answer == QMessageBox::Yes ? MsgAnswer::Yes : MsgAnswer::No;
}

void QtUserInterface::infoOpen() {
    QWidget* over = dialogParent();
    info_ = std::make_unique<InfoWindow>(over);
    info_->open(over);
}

void QtUserInterface::infoSetText(const std::string& text) {
    if (info_)
        info_->setText(toQt(text));
}

void QtUserInterface::infoProgress(long done, long total) {
    if (info_)
        info_->setProgress(done, total);
}

void QtUserInterface::infoClose() {
    info_.reset();
}

void QtUserInterface::setRunChecked(bool on) {
    if (window_)
        window_->setRunChecked(on);
}

void QtUserInterface::setFocus(int controlId) {
    if (window_)
        window_->focusControl(controlId);
}

void QtUserInterface::bringToForeground() {
    if (!window_)
        return;
    window_->raise();
    window_->activateWindow();
}

// The handler that asks runs to its end first; the event loop then ends with the code.
// Before the event loop runs (the dialog's initialisation) the caller reads quitCode().
void QtUserInterface::requestQuit(int exitCode) {
    quitCode_ = exitCode;
    if (QThread::currentThread()->loopLevel() == 0)
        return;
    QMetaObject::invokeMethod(
        qApp, [exitCode] { QCoreApplication::exit(exitCode); }, Qt::QueuedConnection);
}

bool QtUserInterface::runPortPrompt(PortPromptState& state) {
    if (scriptedPortPrompt)
        return scriptedPortPrompt(state);
    PortPromptDialog prompt(state, dialogParent());
    if (prompt.exec() != QDialog::Accepted)
        return false;
    state = prompt.state();
    return true;
}

}  // namespace kv58::app
