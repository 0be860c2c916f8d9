#include "win32_user_interface.h"

#include "base/paths.h"
#include "port_prompt_dialog.h"
#include "wide_text.h"

namespace kv58::win32 {

namespace {

UINT iconFlags(MsgIcon icon) {
    switch (icon) {
        case MsgIcon::Exclamation:
            return MB_ICONEXCLAMATION;
        case MsgIcon::Stop:
            return MB_ICONSTOP;
        case MsgIcon::Information:
            return MB_ICONINFORMATION;
        case MsgIcon::Question:
            return MB_ICONQUESTION;
        case MsgIcon::None:
            break;
    }
    return 0;
}

std::string programBaseName() {
    const std::string name = baseName(programPath());
    const size_t dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

}  // namespace

Win32UserInterface::Win32UserInterface() : caption_(programBaseName()) {}

Win32UserInterface::~Win32UserInterface() = default;

// The dialog the user last worked in (About or Contact over the main window, or the main
// window itself); without a main window, whatever is active.
HWND Win32UserInterface::owner() const {
    if (window_ && window_->hwnd())
        return GetLastActivePopup(window_->hwnd());
    return GetActiveWindow();
}

MsgAnswer Win32UserInterface::messageBox(const std::string& text, MsgIcon icon,
                                         MsgButtons buttons) {
    if (scriptedMessages)
        return scriptedMessages(text, icon, buttons);
    const bool question = buttons == MsgButtons::YesNo;
    const int answer = MessageBoxW(owner(), toWide(text).c_str(), toWide(caption_).c_str(),
                                   iconFlags(icon) | (question ? MB_YESNO : MB_OK));
    if (!question)
        return MsgAnswer::Ok;
    return answer == IDYES ? MsgAnswer::Yes : MsgAnswer::No;
}

void Win32UserInterface::infoOpen() {
    info_ = std::make_unique<InfoWindow>();
    HWND active = GetActiveWindow();
    info_->open(active ? active : owner());
}

void Win32UserInterface::infoSetText(const std::string& text) {
    if (info_)
        info_->setText(text);
}

void Win32UserInterface::infoProgress(long done, long total) {
    if (info_)
        info_->setProgress(done, total);
}

void Win32UserInterface::infoClose() {
    info_.reset();
}

void Win32UserInterface::setRunChecked(bool on) {
    if (window_)
        window_->setRunChecked(on);
}

void Win32UserInterface::setFocus(int controlId) {
    if (window_)
        window_->focusControl(controlId);
}

void Win32UserInterface::bringToForeground() {
    if (window_ && window_->hwnd())
        SetForegroundWindow(window_->hwnd());
}

// The handler that asks runs to its end first; the dialog then ends with the code. During
// the dialog's initialisation the window is not shown at all.
void Win32UserInterface::requestQuit(int exitCode) {
    quitCode_ = exitCode;
    if (window_ && window_->hwnd())
        window_->endDialog(exitCode);
}

bool Win32UserInterface::runPortPrompt(PortPromptState& state) {
    if (scriptedPortPrompt)
        return scriptedPortPrompt(state);
    PortPromptDialog prompt(state);
    if (prompt.runModal(owner()) != IDOK)
        return false;
    state = prompt.state();
    return true;
}

}  // namespace kv58::win32
