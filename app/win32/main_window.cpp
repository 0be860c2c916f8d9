#include "main_window.h"

#include "about_dialog.h"
#include "core/dialog_ids.h"
#include "device/messages.h"
#include "menu.h"
#include "wide_text.h"

namespace kv58::win32 {

namespace {

const ControlTemplate* rowOf(int id) {
    for (const ControlTemplate& row : mainDialogTemplate().controls) {
        if (row.id == id)
            return &row;
    }
    return nullptr;
}

bool sameItems(HWND combo, const ListControl& list) {
    const auto& items = list.items();
    if (SendMessageW(combo, CB_GETCOUNT, 0, 0) != static_cast<LRESULT>(items.size()))
        return false;
    for (size_t i = 0; i < items.size(); ++i) {
        if (comboItemText(combo, static_cast<int>(i)) != items[i].text)
            return false;
    }
    return true;
}

// Shows or hides a control, and enables or disables it, only where that changes something.
void setState(HWND control, bool enabled, bool visible) {
    if ((IsWindowEnabled(control) != FALSE) != enabled)
        EnableWindow(control, enabled);
    const bool shown = (GetWindowLongW(control, GWL_STYLE) & WS_VISIBLE) != 0;
    if (shown != visible)
        ShowWindow(control, visible ? SW_SHOWNA : SW_HIDE);
}

}  // namespace

MainWindow::MainWindow(UserInterface& ui) : DialogWindow(mainDialogTemplate()), ui_(ui) {}

INT_PTR MainWindow::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            initialise();
            return TRUE;  // the dialog manager focuses the first tab stop
        case WM_COMMAND:
            onCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
            return TRUE;
        case WM_SYSCOMMAND:
            if ((wParam & 0xFFF0) == static_cast<WPARAM>(ids::kSysAbout)) {
                run(ids::kSysAbout);
                return TRUE;
            }
            return FALSE;
        default:
            return FALSE;
    }
}

void MainWindow::initialise() {
    attachMenu();
    setIcons();
    appendToSystemMenu(hwnd(), ids::kSysAbout, text::kAboutMenu);
    if (binding_.init)
        binding_.init();
    refresh();
}

// The menu bar takes room from the client area; the window grows by as much, so that the
// client area keeps the template's size, and stays centred.
void MainWindow::attachMenu() {
    SetMenu(hwnd(), createMenuBar(mainMenuTemplate()));
    RECT wanted{0, 0, dialogTemplate().width, dialogTemplate().height};
    MapDialogRect(hwnd(), &wanted);
    RECT client, frame;
    GetClientRect(hwnd(), &client);
    GetWindowRect(hwnd(), &frame);
    const int grow = (wanted.bottom - client.bottom);
    const int widen = (wanted.right - client.right);
    SetWindowPos(hwnd(), nullptr, frame.left - widen / 2, frame.top - grow / 2,
                 frame.right - frame.left + widen, frame.bottom - frame.top + grow,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void MainWindow::setIcons() {
    auto icon = [](int metricX, int metricY) {
        return LoadImageW(programInstance(), MAKEINTRESOURCEW(kProgramIcon), IMAGE_ICON,
                          GetSystemMetrics(metricX), GetSystemMetrics(metricY), LR_SHARED);
    };
    SendMessageW(hwnd(), WM_SETICON, ICON_BIG,
                 reinterpret_cast<LPARAM>(icon(SM_CXICON, SM_CYICON)));
    SendMessageW(hwnd(), WM_SETICON, ICON_SMALL,
                 reinterpret_cast<LPARAM>(icon(SM_CXSMICON, SM_CYSMICON)));
}

// --- Commands, edits, choices and focus. ---

void MainWindow::onCommand(int id, int code, HWND control) {
    if (!control) {  // a menu item, a posted command, Enter (1), Escape or close box (2)
        run(id);
        return;
    }
    if (const ControlTemplate* row = rowOf(id))
        onNotification(*row, code, control);
}

void MainWindow::onNotification(const ControlTemplate& row, int code, HWND control) {
    if (!binding_.model || refreshing_)
        return;
    DialogModel& model = *binding_.model;
    switch (row.kind) {
        case ControlKind::Edit:
            if (code == EN_CHANGE)
                model.setControlText(row.id, windowText(control));
            if (code == EN_SETFOCUS)
                focusChanged(row.id);
            break;
        case ControlKind::DropDownList:
            if (code == CBN_SELCHANGE)
                model.list(row.id).setSelected(
                    static_cast<int>(SendMessageW(control, CB_GETCURSEL, 0, 0)));
            if (code == CBN_SETFOCUS)
                focusChanged(row.id);
            break;
        case ControlKind::CheckBox:
            if (code == BN_CLICKED)
                model.control(row.id).checked = IsDlgButtonChecked(hwnd(), row.id) == BST_CHECKED;
            if (code == BN_SETFOCUS)
                focusChanged(row.id);
            break;
        case ControlKind::PushButton:
        case ControlKind::DefaultButton:
            if (code == BN_CLICKED)
                run(row.id);
            break;
        default:
            break;
    }
}

// Only moves between this dialog's controls count: a message box taking the focus for a while
// is no change of the dialog's focus control, which the dialog manager gives back afterwards.
void MainWindow::focusChanged(int id) {
    if (!ended_)
        binding_.model->focusChanged(id);
}

void MainWindow::run(int commandId) {
    if (binding_.command && !ended_)
        binding_.command(commandId);
}

void MainWindow::post(int commandId) {
    PostMessageW(hwnd(), WM_COMMAND, MAKEWPARAM(commandId, 0), 0);
}

void MainWindow::endDialog(int result) {
    ended_ = true;
    result_ = result;
    close(result);
}

void MainWindow::focusControl(int controlId) {
    if (HWND control = item(controlId))
        SendMessageW(hwnd(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE);
}

void MainWindow::setRunChecked(bool on) {
    CheckMenuItem(GetMenu(hwnd()), ids::kMenuRun,
                  MF_BYCOMMAND | static_cast<UINT>(on ? MF_CHECKED : MF_UNCHECKED));
}

void MainWindow::showAbout() {
    AboutDialog about(binding_.aboutLine);
    about.runModal(hwnd());
}

void MainWindow::showContact() {
    ContactDialog contact(ui_, openLink);
    contact.runModal(hwnd());
}

// --- Drawing the model. ---

void MainWindow::refresh() {
    if (!binding_.model || !hwnd())
        return;
    const DialogModel& model = *binding_.model;
    refreshing_ = true;
    for (const ControlTemplate& row : dialogTemplate().controls) {
        HWND control = row.id >= 0 ? item(row.id) : nullptr;
        if (!control)
            continue;
        if (model.isList(row.id)) {
            drawList(control, model.list(row.id));
        } else {
            drawValue(control, row.kind, model.control(row.id));
        }
    }
    if (binding_.title) {
        const std::string title = binding_.title();
        if (windowText(hwnd()) != title)
            SetWindowTextW(hwnd(), toWide(title).c_str());
    }
    refreshing_ = false;
}

void MainWindow::drawList(HWND combo, const ListControl& list) {
    if (!sameItems(combo, list)) {
        SendMessageW(combo, CB_RESETCONTENT, 0, 0);
        for (const ListItem& entry : list.items())
            SendMessageW(combo, CB_ADDSTRING, 0,
                         reinterpret_cast<LPARAM>(toWide(entry.text).c_str()));
    }
    if (SendMessageW(combo, CB_GETCURSEL, 0, 0) != list.selected())
        SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(list.selected()), 0);
    setState(combo, list.enabled, list.visible);
}

void MainWindow::drawValue(HWND control, ControlKind kind, const ValueControl& value) {
    if (kind == ControlKind::CheckBox) {
        CheckDlgButton(hwnd(), GetDlgCtrlID(control), value.checked ? BST_CHECKED : BST_UNCHECKED);
    } else if (windowText(control) != value.text) {
        SetWindowTextW(control, toWide(value.text).c_str());
    }
    setState(control, value.enabled, value.visible);
}

}  // namespace kv58::win32
