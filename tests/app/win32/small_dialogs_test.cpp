// About, Contact, the port prompt and the information window on their own, and the program's
// version resource.
#include <gtest/gtest.h>

#include <vector>

// The common controls' header needs the system's first.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include "about_dialog.h"
#include "contact_dialog.h"
#include "core/main_dialog.h"
#include "info_window.h"
#include "on_screen.h"
#include "port_prompt_dialog.h"
#include "settings/port_prompt.h"
#include "support/scripted_messages.h"
#include "wide_text.h"
#include "win32_user_interface.h"

namespace kv58::win32 {
namespace {

constexpr int kMailButton = 1041;
constexpr int kHomepageButton = 1042;
constexpr int kPortList = 1047;
constexpr int kSetDefault = 1048;

class SmallDialogs : public ::testing::Test {
protected:
    void SetUp() override { KV58_SKIP_WITHOUT_DISPLAY(); }
};

TEST_F(SmallDialogs, AboutShowsTheProgramVersionWhateverTheTemplateSays) {
    AboutDialog about(aboutVersionLine());
    ASSERT_TRUE(about.create(nullptr));
    EXPECT_EQ(windowText(about.item(1038)), "KV58 Configurator   V2.08.000   (Build: 0046)");
    SendMessageW(about.hwnd(), WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    EXPECT_FALSE(about.hwnd()) << "OK closes it";
}

TEST_F(SmallDialogs, ContactHandsTheLinksOverAndReportsOneNothingTook) {
    Win32UserInterface ui;
    kv58::test::ScriptedMessages messages(ui);
    std::vector<std::wstring> opened;
    bool handlerWorks = false;
    ContactDialog contact(ui, [&](HWND owner, const std::wstring& link) {
        EXPECT_TRUE(owner);
        opened.push_back(link);
        return handlerWorks;
    });
    ASSERT_TRUE(contact.create(nullptr));

    SendMessageW(contact.item(kMailButton), BM_CLICK, 0, 0);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], L"mailto:kv58-service@example.com");
    ASSERT_EQ(messages.texts(), std::vector<std::string>{"ERROR sending eMail"});
    EXPECT_EQ(messages.shown[0].icon, MsgIcon::None);
    EXPECT_TRUE(IsWindowVisible(contact.hwnd())) << "the dialog stays open";

    handlerWorks = true;
    SendMessageW(contact.item(kHomepageButton), BM_CLICK, 0, 0);
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(opened[1], L"https://www.example.com/kv58/");
    EXPECT_EQ(messages.shown.size(), 1u) << "no message when the link was opened";

    handlerWorks = false;
    SendMessageW(contact.item(kHomepageButton), BM_CLICK, 0, 0);
    EXPECT_EQ(messages.texts().back(), "ERROR retrieving homepage");
}

TEST_F(SmallDialogs, PortPromptShowsTheStateAndHandsBackTheChoice) {
    PortPromptState initial = initialPortPromptState();
    PortPromptDialog prompt(initial);
    ASSERT_TRUE(prompt.create(nullptr));
    HWND list = prompt.item(kPortList);
    EXPECT_EQ(SendMessageW(list, CB_GETCOUNT, 0, 0), static_cast<LRESULT>(initial.items.size()));
    EXPECT_EQ(windowText(list), initial.items[0]) << "item 0 selected";

    // What the user chose in the list and the box comes back in the state.
    SendMessageW(list, CB_SETCURSEL, 2, 0);
    CheckDlgButton(prompt.hwnd(), kSetDefault, BST_CHECKED);
    SendMessageW(prompt.hwnd(), WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    EXPECT_EQ(prompt.state().selected, 2);
    EXPECT_EQ(prompt.state().editText, initial.items[2]);
    EXPECT_TRUE(prompt.state().setDefault);
}

TEST_F(SmallDialogs, PortPromptFindsTheSelectionByTextInItsSortedList) {
    PortPromptState state;
    state.items = {"COM10", "COM2", "COM1"};  // not the list's own order
    state.selected = 1;
    PortPromptDialog prompt(state);
    ASSERT_TRUE(prompt.create(nullptr));
    EXPECT_EQ(windowText(prompt.item(kPortList)), "COM2");
    SendMessageW(prompt.hwnd(), WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    EXPECT_EQ(prompt.state().selected, 1) << "the index into the state's items";
}

TEST_F(SmallDialogs, InformationWindowPaintsEveryTextAtOnce) {
    HWND owner = CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 100, 100, 600, 400,
                                 nullptr, nullptr, programInstance(), nullptr);
    {
        InfoWindow info;
        ASSERT_TRUE(info.open(owner));
        EXPECT_TRUE(IsWindowVisible(info.hwnd()));
        EXPECT_FALSE(GetWindowLongW(info.hwnd(), GWL_STYLE) & WS_SYSMENU);
        // Centred over the window it was opened over (a window manager may then move it down
        // by its own title bar).
        RECT frame, over;
        GetWindowRect(info.hwnd(), &frame);
        GetWindowRect(owner, &over);
        EXPECT_NEAR((frame.left + frame.right) / 2, (over.left + over.right) / 2, 1);
        EXPECT_NEAR((frame.top + frame.bottom) / 2, (over.top + over.bottom) / 2, 32);

        info.setText("reading data from KV58...");
        info.setText("writing new data...(segment A)");
        EXPECT_EQ(windowText(info.text()), "writing new data...(segment A)");
        EXPECT_FALSE(GetUpdateRect(info.text(), nullptr, FALSE)) << "painted without a loop";

        EXPECT_FALSE(IsWindowVisible(info.bar()));
        info.setProgress(250, 1000);
        EXPECT_TRUE(IsWindowVisible(info.bar()));
        EXPECT_EQ(SendMessageW(info.bar(), PBM_GETPOS, 0, 0), 250);
        EXPECT_FALSE(GetUpdateRect(info.bar(), nullptr, FALSE));
        info.setProgress(0, 0);
        EXPECT_FALSE(IsWindowVisible(info.bar()));
        SendMessageW(info.hwnd(), WM_CLOSE, 0, 0);
        EXPECT_TRUE(IsWindow(info.hwnd())) << "only the operation closes it";
    }
    DestroyWindow(owner);
}

// The version resource carries the program's own numbers (the .rc takes them from the code).
TEST(VersionResource, CarriesTheProgramsVersionAndNames) {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeW(path, &handle);
    ASSERT_GT(size, 0u);
    std::vector<BYTE> data(size);
    ASSERT_TRUE(GetFileVersionInfoW(path, 0, size, data.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(HIWORD(fixed->dwFileVersionMS), kVersionMajor);
    EXPECT_EQ(LOWORD(fixed->dwFileVersionMS), kVersionMinor);
    EXPECT_EQ(HIWORD(fixed->dwFileVersionLS), kVersionPatch);
    EXPECT_EQ(LOWORD(fixed->dwFileVersionLS), kVersionBuild);
    EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
    EXPECT_EQ(fixed->dwProductVersionLS, fixed->dwFileVersionLS);
    auto entry = [&](const wchar_t* name) {
        wchar_t* value = nullptr;
        UINT chars = 0;
        const std::wstring key = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
        if (!VerQueryValueW(data.data(), key.c_str(), reinterpret_cast<void**>(&value), &chars))
            return std::wstring();
        return std::wstring(value);
    };
    EXPECT_EQ(entry(L"ProductName"), L"KV58");
    EXPECT_EQ(entry(L"InternalName"), L"KV58 - Konfigurationssoftware");
    EXPECT_EQ(entry(L"OriginalFilename"), L"KV58.EXE");
}

}  // namespace
}  // namespace kv58::win32
