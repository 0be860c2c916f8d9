#include "contact_dialog.h"

#include <shellapi.h>

#include "device/messages.h"
#include "wide_text.h"

namespace kv58::win32 {

namespace {
constexpr int kMailButton = 1041;
constexpr int kHomepageButton = 1042;
constexpr INT_PTR kShellFailureLimit = 32;
}  // namespace

LinkOpener shellLinkOpener() {
    return [](HWND owner, const std::wstring& link) {
        const auto result = reinterpret_cast<INT_PTR>(
            ShellExecuteW(owner, L"open", link.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
        return result > kShellFailureLimit;
    };
}

ContactDialog::ContactDialog(UserInterface& ui, LinkOpener opener)
    : DialogWindow(contactTemplate()), ui_(ui), opener_(std::move(opener)) {}

INT_PTR ContactDialog::handle(UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) {
        SetFocus(item(IDOK));
        return FALSE;  // the focus is set
    }
    if (message != WM_COMMAND || HIWORD(wParam) != BN_CLICKED)
        return FALSE;
    switch (LOWORD(wParam)) {
        case kMailButton:
            openLink(kContactMailLink, text::kErrorSendingMail);
            return TRUE;
        case kHomepageButton:
            openLink(kContactHomepageLink, text::kErrorHomepage);
            return TRUE;
        case IDOK:
        case IDCANCEL:
            close(LOWORD(wParam));
            return TRUE;
        default:
            return FALSE;
    }
}

void ContactDialog::openLink(const char* link, const char* failure) {
    if (!opener_ || !opener_(hwnd(), toWide(contactLinkTarget(link))))
        ui_.messageBox(failure, MsgIcon::None);
}

}  // namespace kv58::win32
