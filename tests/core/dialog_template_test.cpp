#include "core/dialog_template.h"

#include <gtest/gtest.h>

#include <set>

namespace kv58 {
namespace {

const DialogTemplate* const kAllDialogs[] = {&mainDialogTemplate(), &portPromptTemplate(),
                                             &infoWindowTemplate(), &aboutTemplate(),
                                             &contactTemplate()};

// Both front ends place the controls where the templates say; a row outside its dialog or two
// rows with one id would be drawn clipped or found twice by either of them.
TEST(DialogTemplates, EveryControlLiesInsideItsDialogUnderAnIdOfItsOwn) {
    for (const DialogTemplate* dialog : kAllDialogs) {
        SCOPED_TRACE(dialog->resourceId);
        std::set<int> ids;
        for (const ControlTemplate& c : dialog->controls) {
            SCOPED_TRACE(c.id);
            EXPECT_GE(c.x, 0);
            EXPECT_GE(c.y, 0);
            EXPECT_GT(c.width, 0);
            EXPECT_GT(c.height, 0);
            EXPECT_LE(c.x + c.width, dialog->width);
            EXPECT_LE(c.y + c.height, dialog->height);
            if (c.id >= 0) {
                EXPECT_TRUE(ids.insert(c.id).second) << "id used twice";
            }
        }
    }
}

TEST(DialogTemplates, TheProgressBarSitsBelowTheTextInsideTheInformationWindow) {
    const DialogTemplate& info = infoWindowTemplate();
    ASSERT_EQ(info.controls.size(), 1u);
    const ControlTemplate& text = info.controls[0];
    const DialogRect& bar = kInfoProgressBar;
    EXPECT_GE(bar.y, text.y + text.height);
    EXPECT_LE(bar.y + bar.height, info.height);
    EXPECT_EQ(bar.x, text.x);
    EXPECT_LE(bar.x + bar.width, info.width);
}

TEST(ContactLinks, LoseTheBlankAfterTheSchemeAndAroundThem) {
    EXPECT_EQ(contactLinkTarget(kContactMailLink), "mailto:kv58-service@example.com");
    EXPECT_EQ(contactLinkTarget(kContactHomepageLink), "https://www.example.com/kv58/");
    EXPECT_EQ(contactLinkTarget("  mailto: \t a@example.org "), "mailto:a@example.org");
    // Without a scheme the text is only trimmed; a leading colon names no scheme.
    EXPECT_EQ(contactLinkTarget(" www.example.com "), "www.example.com");
    EXPECT_EQ(contactLinkTarget(":  x"), ":  x");
    EXPECT_EQ(contactLinkTarget(""), "");
}

}  // namespace
}  // namespace kv58
