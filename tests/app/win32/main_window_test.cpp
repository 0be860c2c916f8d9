// The main window driven through the system's dialog manager, as a technician's keys would
// drive it, against the in-process simulated transmitter on the virtual clock; only message
// boxes are answered from a script.
#include <gtest/gtest.h>

#include <memory>

#include "base/clock.h"
#include "core/dialog_ids.h"
#include "desktop_program.h"
#include "on_screen.h"
#include "sim/sim_port.h"
#include "support/scripted_messages.h"
#include "support/temp_dir.h"
#include "wide_text.h"

namespace kv58::win32 {
namespace {

using test::pressAltLetter;
using test::pressKey;
using test::pumpMessages;

// -40 to 120 degC with at least 20 between T min and T max; -40 to 248 degF with 36.
constexpr const char* kLimitsKey = "702633303B642834323B622034303D762032303B642032313B622034303D66";

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        KV58_SKIP_WITHOUT_DISPLAY();
        sim::registerSimPortScheme();
        sim::forgetSimDevices();
        for (const char* name : {"KV58-PW.TXT", "PATCH.TXT"})
            kv58::test::writeFile(
                dir.file(name),
                kv58::test::readFile(std::string(KV58_SOURCE_DIR) + "/resources/shipped/" + name));
        cwd = std::make_unique<kv58::test::WorkingDirectory>(dir.path());
    }
    void TearDown() override {
        program.reset();
        cwd.reset();
    }

    void writeSettings(const std::string& port, const std::string& passwordFile = "KV58-PW.TXT") {
        kv58::test::writeFile(dir.file("KV58.ini"),
                              "[COM]\nPort=" + port +
                                  "\nBaud=9600\nParity=even\n[Program]\nKey01=" + kLimitsKey +
                                  "\n[PWfile]\nPW01=" + passwordFile + "\n");
    }
    // Opens the program on a transmitter of its own; true when its window stays open.
    bool start(const std::string& label) {
        writeSettings("sim:" + label + "?serial=K58-TEST");
        return open();
    }
    bool open() {
        program = std::make_unique<DesktopProgram>(ui, clock);
        return program->open(dir.file("KV58.exe")) && !program->window().ended();
    }
    HWND dialog() { return program->window().hwnd(); }
    HWND control(int id) { return program->window().item(id); }
    std::string shown(int id) { return windowText(control(id)); }
    std::string selectedText(int id) {
        const auto index = static_cast<int>(SendMessageW(control(id), CB_GETCURSEL, 0, 0));
        return index < 0 ? std::string() : comboItemText(control(id), index);
    }
    bool visible(int id) { return (GetWindowLongW(control(id), GWL_STYLE) & WS_VISIBLE) != 0; }

    kv58::test::TempDir dir;
    std::unique_ptr<kv58::test::WorkingDirectory> cwd;
    Win32UserInterface ui;
    kv58::test::ScriptedMessages<Win32UserInterface> messages{ui};
    VirtualClock clock;
    std::unique_ptr<DesktopProgram> program;
};

TEST_F(MainWindowTest, StartUpShowsTheTransmitterTheTitleAndTheMenus) {
    ASSERT_TRUE(start("startup"));
    EXPECT_EQ(windowText(dialog()),
              "KV58 Configurator     V2.08.000   (sim:startup?serial=K58-TEST,9600,8,1,e)");
    EXPECT_EQ(shown(ids::kTypeText), "KV58-FT");
    EXPECT_EQ(shown(ids::kSerialText), "K58-TEST");
    EXPECT_EQ(shown(ids::kOutputText), "0 - 10 V");
    EXPECT_EQ(shown(ids::kTMaxEdit), "80");
    wchar_t unit[8] = {};
    GetWindowTextW(control(ids::kTMinUnit), unit, 8);
    EXPECT_STREQ(unit, L"\u00B0C") << "the degree sign crossed into UTF-16";
    EXPECT_EQ(selectedText(ids::kOutputList), "0 - 10 V");
    EXPECT_EQ(SendMessageW(control(ids::kOutputList), CB_GETCOUNT, 0, 0), 4);
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_FALSE(ui.infoWindow()) << "opened for the read and closed again";
    for (int id : {ids::kProductCodeLabel, ids::kProductCode, ids::kTypeList, ids::kWriteProgram,
                   ids::kLastButton})
        EXPECT_FALSE(visible(id)) << id;
    EXPECT_FALSE(IsWindowEnabled(control(ids::kUnitList)));
    EXPECT_FALSE(IsWindowEnabled(control(ids::kRelayList)));

    // The menu bar takes no room from the template's client area.
    RECT client, wanted{0, 0, 280, 191};
    GetClientRect(dialog(), &client);
    MapDialogRect(dialog(), &wanted);
    EXPECT_EQ(client.bottom, wanted.bottom);
    EXPECT_EQ(client.right, wanted.right);
    HMENU menu = GetMenu(dialog());
    ASSERT_TRUE(menu);
    EXPECT_EQ(GetMenuItemCount(menu), 2);
    wchar_t text[64] = {};
    GetMenuStringW(menu, ids::kMenuWrite, text, 64, MF_BYCOMMAND);
    EXPECT_STREQ(text, L"set &new configuration");
    GetMenuStringW(GetSystemMenu(dialog(), FALSE), ids::kSysAbout, text, 64, MF_BYCOMMAND);
    EXPECT_STREQ(text, L"Ab&out KV58...");
}

TEST_F(MainWindowTest, AnOutputChosenByKeyboardIsWrittenAfterYes) {
    ASSERT_TRUE(start("write"));
    SetFocus(control(ids::kTMinEdit));
    pressAltLetter(dialog(), L'o');  // "&Output Signal:" moves to its list
    ASSERT_EQ(GetFocus(), control(ids::kOutputList));
    EXPECT_EQ(program->dialog().model().focused(), ids::kOutputList);
    pressKey(dialog(), VK_DOWN);
    EXPECT_EQ(program->dialog().model().list(ids::kOutputList).selectedText(), "0 - 5 V");

    messages.answers = {MsgAnswer::Yes};
    SendMessageW(dialog(), WM_COMMAND, MAKEWPARAM(ids::kMenuWrite, 0), 0);
    pumpMessages(dialog());  // the menu command posts the write
    ASSERT_EQ(messages.texts(), std::vector<std::string>{"write new configuration?"});
    EXPECT_EQ(messages.shown[0].icon, MsgIcon::Question);
    EXPECT_EQ(messages.shown[0].buttons, MsgButtons::YesNo);
    EXPECT_EQ(shown(ids::kOutputText), "0 - 5 V") << "the reread shows what was written";

    // The transmitter keeps it: a new start reads it back.
    program.reset();
    ASSERT_TRUE(open());
    EXPECT_EQ(shown(ids::kOutputText), "0 - 5 V");
}

TEST_F(MainWindowTest, EnterMovesOnSelectingTheEditsTextAndChecksTheRange) {
    ASSERT_TRUE(start("enter"));
    SendMessageW(dialog(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control(ids::kTMinEdit)), TRUE);
    pressKey(dialog(), VK_RETURN);
    ASSERT_EQ(GetFocus(), control(ids::kTMaxEdit));
    DWORD from = 1, to = 0;
    SendMessageW(control(ids::kTMaxEdit), EM_GETSEL, reinterpret_cast<WPARAM>(&from),
                 reinterpret_cast<LPARAM>(&to));
    EXPECT_EQ(from, 0u);
    EXPECT_EQ(to, 2u) << "\"80\" selected, so that typing replaces it";
    EXPECT_TRUE(messages.shown.empty()) << "-20 lies within the limits";

    SetWindowTextW(control(ids::kTMaxEdit), L"200");
    pressKey(dialog(), VK_RETURN);
    EXPECT_EQ(GetFocus(), control(ids::kDisplayList)) << "the next tab stop";
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text,
              "Value invalid - will be corrected automatically!\n"
              "\tmin. = -40 \xB0"
              "C\n\tmax. = 120 \xB0"
              "C\n\tdiff. = 20 \xB0"
              "C");
    EXPECT_EQ(messages.shown[0].icon, MsgIcon::Information);
    EXPECT_EQ(shown(ids::kTMaxEdit), "120");
    EXPECT_FALSE(program->window().ended()) << "Enter never closes the main dialog";
}

TEST_F(MainWindowTest, EscapeEndsTheProgramWithZero) {
    ASSERT_TRUE(start("escape"));
    SetFocus(control(ids::kOutputList));
    pressKey(dialog(), VK_ESCAPE);
    EXPECT_TRUE(program->window().ended());
    EXPECT_EQ(program->exitCode(), 0);
}

TEST_F(MainWindowTest, RefusedSettingsEndWithTwoAfterTheirTwoMessages) {
    writeSettings("sim:refused", "PASSWORD1.TXT");  // 13 characters: no 8.3 name
    EXPECT_FALSE(open());
    ASSERT_EQ(messages.shown.size(), 2u);
    EXPECT_EQ(messages.shown[0].icon, MsgIcon::Stop);
    EXPECT_NE(messages.shown[0].text.find("PASSWORD1.TXT"), std::string::npos);
    EXPECT_EQ(messages.shown[1].text, "ERROR reading INI-File!");
    EXPECT_EQ(messages.shown[1].icon, MsgIcon::Exclamation);
    EXPECT_EQ(program->exitCode(), 2);
}

TEST_F(MainWindowTest, RunTogglesItsCheckMark) {
    ASSERT_TRUE(start("run"));
    HMENU menu = GetMenu(dialog());
    auto checked = [&] {
        return (GetMenuState(menu, ids::kMenuRun, MF_BYCOMMAND) & MF_CHECKED) != 0;
    };
    EXPECT_FALSE(checked());
    SendMessageW(dialog(), WM_COMMAND, MAKEWPARAM(ids::kMenuRun, 0), 0);
    EXPECT_TRUE(checked());
    SendMessageW(dialog(), WM_COMMAND, MAKEWPARAM(ids::kMenuRun, 0), 0);
    EXPECT_FALSE(checked());
}

TEST_F(MainWindowTest, TheSystemMenusEntryOpensAbout) {
    ASSERT_TRUE(start("about"));
    std::string title, line;
    test::onNextModal([&](HWND about) {
        title = windowText(about);
        line = windowText(GetDlgItem(about, 1038));
    });
    SendMessageW(dialog(), WM_SYSCOMMAND, ids::kSysAbout, 0);
    EXPECT_EQ(title,
              "Info \xFC"
              "ber KV58 Configurator");
    EXPECT_EQ(line, "KV58 Configurator   V2.08.000   (Build: 0046)");
}

}  // namespace
}  // namespace kv58::win32
