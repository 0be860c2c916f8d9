// The declarative templates as the system's extended dialog templates: header, font, every
// control's class, id, style, rectangle and UTF-16 text, read back word by word.
#include <gtest/gtest.h>

#include "core/dialog_template.h"
#include "dialog_template_ex.h"
#include "template_reader.h"
#include "wide_text.h"

namespace kv58::win32 {
namespace {

using test::ReadDialog;
using test::ReadItem;
using test::TemplateReader;

ReadDialog readBack(const DialogTemplate& dialog, DWORD extraStyle = 0) {
    const std::vector<WORD> words = dialogTemplateEx(dialog, extraStyle);
    ReadDialog read = TemplateReader(words).read();
    EXPECT_EQ(read.words, words.size()) << "nothing after the last control";
    return read;
}

const ReadItem& itemWithId(const ReadDialog& dialog, int id) {
    for (const ReadItem& item : dialog.items) {
        if (item.id == static_cast<DWORD>(id))
            return item;
    }
    ADD_FAILURE() << "no control " << id;
    static const ReadItem none;
    return none;
}

DWORD staticType(DWORD style) {
    return style & SS_TYPEMASK;
}

TEST(TemplateConversion, HeaderCarriesSizeCaptionAndFontInUtf16) {
    const ReadDialog about = readBack(aboutTemplate(), DS_CENTER);
    EXPECT_EQ(about.version, 1);
    EXPECT_EQ(about.signature, 0xFFFF);
    EXPECT_EQ(about.width, 235);
    EXPECT_EQ(about.height, 60);
    EXPECT_EQ(about.count, aboutTemplate().controls.size());
    EXPECT_EQ(about.menu, 0);
    EXPECT_EQ(about.windowClass, 0);
    EXPECT_EQ(about.title, L"Info \u00FCber KV58 Configurator");
    EXPECT_EQ(about.points, 8);
    EXPECT_EQ(about.weight, FW_NORMAL);
    EXPECT_EQ(about.italic, 0);
    EXPECT_EQ(about.charset, DEFAULT_CHARSET);
    EXPECT_EQ(about.face, L"MS Sans Serif");
    const DWORD frame = WS_POPUP | WS_CAPTION | DS_MODALFRAME | DS_SETFONT | WS_SYSMENU;
    EXPECT_EQ(about.style & frame, frame);
    EXPECT_TRUE(about.style & DS_CENTER) << "the extra style is added";
    EXPECT_TRUE(about.style & WS_VISIBLE);
    EXPECT_FALSE(about.style & WS_MINIMIZEBOX);
    EXPECT_EQ(about.exStyle, 0u);
}

TEST(TemplateConversion, FrameFlagsBecomeWindowStyles) {
    const ReadDialog main = readBack(mainDialogTemplate());
    EXPECT_TRUE(main.style & WS_SYSMENU);
    EXPECT_TRUE(main.style & WS_MINIMIZEBOX);
    EXPECT_EQ(main.exStyle, static_cast<DWORD>(WS_EX_APPWINDOW)) << "a button in the task bar";
    EXPECT_FALSE(main.style & DS_CENTER);

    // The information window: a caption without system menu, created invisible.
    const ReadDialog info = readBack(infoWindowTemplate());
    EXPECT_TRUE(info.style & WS_CAPTION);
    EXPECT_FALSE(info.style & WS_SYSMENU);
    EXPECT_FALSE(info.style & WS_VISIBLE);
    EXPECT_EQ(info.title, L"KV58 Configurator: Information...");
}

TEST(TemplateConversion, EveryRowKeepsItsIdRectangleAndOrder) {
    for (const DialogTemplate* dialog :
         {&mainDialogTemplate(), &portPromptTemplate(), &infoWindowTemplate(), &aboutTemplate(),
          &contactTemplate()}) {
        SCOPED_TRACE(dialog->resourceId);
        const ReadDialog read = readBack(*dialog);
        ASSERT_EQ(read.items.size(), dialog->controls.size());
        for (size_t i = 0; i < read.items.size(); ++i) {
            const ControlTemplate& row = dialog->controls[i];
            const ReadItem& item = read.items[i];
            SCOPED_TRACE(row.id);
            EXPECT_EQ(item.offset % 2, 0u) << "DWORD-aligned";
            EXPECT_EQ(item.id, static_cast<DWORD>(row.id));
            EXPECT_EQ(item.x, row.x);
            EXPECT_EQ(item.y, row.y);
            EXPECT_EQ(item.width, row.width);
            EXPECT_EQ(item.height, row.height);
            EXPECT_TRUE(item.style & WS_CHILD);
            EXPECT_TRUE(item.style & WS_VISIBLE);
            EXPECT_EQ((item.style & WS_TABSTOP) != 0, (row.style & kStyleTabStop) != 0);
            if (item.titleOrdinal < 0) {
                EXPECT_EQ(item.title, toWide(row.text));
            }
        }
    }
}

TEST(TemplateConversion, MainDialogControlsGetTheirClassesAndStyles) {
    const ReadDialog main = readBack(mainDialogTemplate());

    const ReadItem& label = itemWithId(main, 1002);
    EXPECT_EQ(label.classAtom, kStaticClass);
    EXPECT_EQ(staticType(label.style), static_cast<DWORD>(SS_RIGHT));
    EXPECT_FALSE(label.style & SS_NOPREFIX) << "its mnemonic moves the focus";
    EXPECT_EQ(label.title, L"Trans&mittertype:");

    const ReadItem& value = itemWithId(main, 1004);
    EXPECT_EQ(value.classAtom, kStaticClass);
    EXPECT_EQ(staticType(value.style), static_cast<DWORD>(SS_CENTER));
    EXPECT_TRUE(value.style & SS_SUNKEN);
    EXPECT_EQ(value.title, L"\u00B0C");

    const ReadItem& output = itemWithId(main, 1022);
    EXPECT_EQ(output.classAtom, kComboBoxClass);
    EXPECT_EQ(output.style & 0x3, static_cast<DWORD>(CBS_DROPDOWNLIST));
    EXPECT_TRUE(output.style & WS_VSCROLL);
    EXPECT_FALSE(output.style & CBS_SORT);
    EXPECT_EQ(output.height, 61) << "the open list's height";

    const ReadItem& code = itemWithId(main, 1042);
    EXPECT_EQ(code.classAtom, kEditClass);
    EXPECT_TRUE(code.style & ES_UPPERCASE);
    EXPECT_TRUE(code.style & ES_AUTOHSCROLL);
    EXPECT_EQ(code.exStyle, static_cast<DWORD>(WS_EX_CLIENTEDGE));
    const ReadItem& tMin = itemWithId(main, 1008);
    EXPECT_FALSE(tMin.style & ES_UPPERCASE);
    EXPECT_FALSE(tMin.style & ES_NUMBER) << "a minus sign must be typed";

    const ReadItem& box = itemWithId(main, 1036);
    EXPECT_EQ(box.classAtom, kButtonClass);
    EXPECT_EQ(box.style & BS_TYPEMASK, static_cast<DWORD>(BS_AUTOCHECKBOX));
    EXPECT_TRUE(box.style & BS_NOTIFY);
    EXPECT_EQ(itemWithId(main, 1040).style & BS_TYPEMASK, static_cast<DWORD>(BS_PUSHBUTTON));

    const ReadItem& group = main.items[0];
    EXPECT_EQ(group.id, 0xFFFFFFFFu) << "a control without an id";
    EXPECT_EQ(group.classAtom, kButtonClass);
    EXPECT_EQ(group.style & BS_TYPEMASK, static_cast<DWORD>(BS_GROUPBOX));
}

TEST(TemplateConversion, SmallDialogsControls) {
    const ReadDialog about = readBack(aboutTemplate());
    EXPECT_EQ(staticType(about.items[0].style), static_cast<DWORD>(SS_ICON));
    EXPECT_EQ(about.items[0].titleOrdinal, kProgramIcon);
    const ReadItem& version = itemWithId(about, 1038);
    EXPECT_EQ(staticType(version.style), static_cast<DWORD>(SS_LEFT));
    EXPECT_TRUE(version.style & SS_NOPREFIX);
    EXPECT_EQ(itemWithId(about, IDOK).style & BS_TYPEMASK, static_cast<DWORD>(BS_DEFPUSHBUTTON));

    const ReadDialog contact = readBack(contactTemplate());
    EXPECT_EQ(staticType(contact.items[0].style), static_cast<DWORD>(SS_BITMAP));
    EXPECT_TRUE(contact.items[0].style & SS_CENTERIMAGE) << "the rectangle stays the template's";
    EXPECT_EQ(contact.items[0].titleOrdinal, kContactBitmap);

    const ReadDialog info = readBack(infoWindowTemplate());
    const ReadItem& text = itemWithId(info, 1037);
    EXPECT_EQ(staticType(text.style), static_cast<DWORD>(SS_CENTER));
    EXPECT_TRUE(text.style & SS_CENTERIMAGE) << "centred vertically";
    EXPECT_TRUE(text.style & SS_NOPREFIX);

    const ReadDialog prompt = readBack(portPromptTemplate());
    const ReadItem& ports = itemWithId(prompt, 1047);
    EXPECT_EQ(ports.style & 0x3, static_cast<DWORD>(CBS_SIMPLE));
    EXPECT_TRUE(ports.style & CBS_SORT);
    EXPECT_EQ(itemWithId(prompt, IDCANCEL).style & BS_TYPEMASK, static_cast<DWORD>(BS_PUSHBUTTON));
}

TEST(WideText, Windows1252BecomesUtf16AndBack) {
    EXPECT_EQ(toWide("\xB0"
                     "C"),
              L"\u00B0C");
    EXPECT_EQ(toWide("\x80 \xFC"), L"\u20AC \u00FC");
    EXPECT_EQ(toWide(""), L"");
    EXPECT_EQ(fromWide(L"\u00B0F \u20AC"),
              "\xB0"
              "F \x80");
    EXPECT_EQ(fromWide(L"\u4E2D\u00B0"), "?\xB0") << "no Windows-1252 code: '?'";
    std::string every;
    for (int c = 1; c < 256; ++c)
        every += static_cast<char>(c);
    EXPECT_EQ(fromWide(toWide(every)), every) << "every byte survives the round trip";
}

}  // namespace
}  // namespace kv58::win32
