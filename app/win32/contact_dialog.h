// Contact (template 137): a picture and two buttons that hand the mail link and the homepage
// to the shell's "open". A link the shell cannot open is reported; the dialog stays.
#pragma once

#include <functional>
#include <string>

#include "base/user_interface.h"
#include "dialog_window.h"

namespace kv58::win32 {

// Opens a link for `owner`; false when nothing took it.
using LinkOpener = std::function<bool(HWND owner, const std::wstring& link)>;
// The shell's "open" (ShellExecuteW): a result of 32 or less is a failure.
LinkOpener shellLinkOpener();

class ContactDialog final : public DialogWindow {
public:
    ContactDialog(UserInterface& ui, LinkOpener opener);

protected:
    INT_PTR handle(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void openLink(const char* link, const char* failure);

    UserInterface& ui_;
    LinkOpener opener_;
};

}  // namespace kv58::win32
