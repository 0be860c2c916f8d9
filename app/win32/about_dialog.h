// About (template 100): the program icon and the version line, which replaces the
// template's text when the dialog opens.
#pragma once

#include <string>

#include "dialog_window.h"

namespace kv58::win32 {

class AboutDialog final : public DialogWindow {
public:
    explicit AboutDialog(std::string versionLine);

protected:
    INT_PTR handle(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    std::string versionLine_;
};

}  // namespace kv58::win32
