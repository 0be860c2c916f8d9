// The converted templates as the system's dialog manager builds them: the window's client area,
// and every control's class, style, text and place in dialog units of the template's font.
#include <gtest/gtest.h>

#include <vector>

#include "core/dialog_template.h"
#include "dialog_template_ex.h"
#include "dialog_window.h"
#include "on_screen.h"
#include "wide_text.h"

namespace kv58::win32 {
namespace {

using test::className;

// A dialog with the dialog manager's default handling only.
class PlainDialog final : public DialogWindow {
public:
    using DialogWindow::DialogWindow;

protected:
    INT_PTR handle(UINT, WPARAM, LPARAM) override { return FALSE; }
};

std::wstring expectedClass(ControlKind kind) {
    switch (kind) {
        case ControlKind::Edit:
            return L"EDIT";
        case ControlKind::DropDownList:
        case ControlKind::SimpleCombo:
            return L"COMBOBOX";
        case ControlKind::Label:
        case ControlKind::ValueText:
        case ControlKind::Icon:
        case ControlKind::Bitmap:
            return L"STATIC";
        default:
            return L"BUTTON";
    }
}

// Position and size in pixels, each converted on its own as the dialog manager converts them:
// left, top, width, height.
RECT inDialogUnits(HWND dialog, int x, int y, int width, int height) {
    RECT rect{x, y, width, height};
    MapDialogRect(dialog, &rect);
    return rect;
}

RECT placeOf(HWND dialog, HWND control) {
    RECT rect;
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

class DialogsOnScreen : public ::testing::TestWithParam<const DialogTemplate*> {
protected:
    void SetUp() override { KV58_SKIP_WITHOUT_DISPLAY(); }
};

TEST_P(DialogsOnScreen, TheSystemBuildsEveryControlAsTheTemplateSays) {
    const DialogTemplate& dialog = *GetParam();
    PlainDialog window(dialog);
    ASSERT_TRUE(window.create(nullptr));
    HWND hwnd = window.hwnd();

    RECT client;
    GetClientRect(hwnd, &client);
    const RECT size = inDialogUnits(hwnd, 0, 0, dialog.width, dialog.height);
    EXPECT_EQ(client.right, size.right);
    EXPECT_EQ(client.bottom, size.bottom);
    EXPECT_EQ(windowText(hwnd), dialog.caption);

    for (const ControlTemplate& row : dialog.controls) {
        if (row.id < 0)
            continue;
        SCOPED_TRACE(row.id);
        HWND control = window.item(row.id);
        ASSERT_TRUE(control);
        EXPECT_EQ(className(control), expectedClass(row.kind));
        const ControlStyle style = controlStyle(row);
        // A combo box hands its scroll bar on to its list.
        const DWORD wanted =
            className(control) == L"COMBOBOX" ? style.style & ~WS_VSCROLL : style.style;
        const auto actual = static_cast<DWORD>(GetWindowLongW(control, GWL_STYLE));
        EXPECT_EQ(actual & wanted, wanted);
        const auto actualEx = static_cast<DWORD>(GetWindowLongW(control, GWL_EXSTYLE));
        EXPECT_EQ(actualEx & style.exStyle, style.exStyle);
        if (row.kind != ControlKind::DropDownList && row.kind != ControlKind::SimpleCombo) {
            EXPECT_EQ(windowText(control), row.text);
        }

        const RECT expected = inDialogUnits(hwnd, row.x, row.y, row.width, row.height);
        const RECT placed = placeOf(hwnd, control);
        EXPECT_EQ(placed.left, expected.left);
        EXPECT_EQ(placed.top, expected.top);
        EXPECT_EQ(placed.right - placed.left, expected.right);
        // A drop-down list is as tall as its field; the rest of its height is the open list.
        if (row.kind == ControlKind::DropDownList) {
            EXPECT_LT(placed.bottom - placed.top, expected.bottom);
        } else {
            EXPECT_EQ(placed.bottom - placed.top, expected.bottom);
        }
    }
}

TEST_P(DialogsOnScreen, TabOrderIsTheTemplatesOrder) {
    const DialogTemplate& dialog = *GetParam();
    PlainDialog window(dialog);
    ASSERT_TRUE(window.create(nullptr));
    std::vector<int> expected;
    for (const ControlTemplate& row : dialog.controls) {
        if (row.style & kStyleTabStop)
            expected.push_back(row.id);
    }
    ASSERT_FALSE(expected.empty() && dialog.resourceId != 131);
    if (expected.empty())
        return;  // the information window takes no input
    // Tab from the first tab stop round to it again.
    std::vector<int> visited;
    HWND first = window.item(expected[0]);
    for (HWND at = first; at && visited.size() <= expected.size();) {
        visited.push_back(GetDlgCtrlID(at));
        at = GetNextDlgTabItem(window.hwnd(), at, FALSE);
        if (at == first)
            break;
    }
    EXPECT_EQ(visited, expected);
}

INSTANTIATE_TEST_SUITE_P(AllTemplates, DialogsOnScreen,
                         ::testing::Values(&mainDialogTemplate(), &portPromptTemplate(),
                                           &infoWindowTemplate(), &aboutTemplate(),
                                           &contactTemplate()),
                         [](const auto& row) { return std::to_string(row.param->resourceId); });

TEST(PicturesOnScreen, IconAndBitmapComeFromTheProgramsResources) {
    KV58_SKIP_WITHOUT_DISPLAY();
    PlainDialog about(aboutTemplate());
    ASSERT_TRUE(about.create(nullptr));
    HWND icon = GetWindow(about.hwnd(), GW_CHILD);  // the first control of the template
    EXPECT_TRUE(SendMessageW(icon, STM_GETICON, 0, 0)) << "icon 128 loaded";

    PlainDialog contact(contactTemplate());
    ASSERT_TRUE(contact.create(nullptr));
    HWND picture = GetWindow(contact.hwnd(), GW_CHILD);
    EXPECT_TRUE(SendMessageW(picture, STM_GETIMAGE, IMAGE_BITMAP, 0)) << "bitmap 136 loaded";
}

}  // namespace
}  // namespace kv58::win32
