// Reads an extended dialog template back into its fields, as the dialog manager reads it, so
// that tests can check what the conversion wrote.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

namespace kv58::win32::test {

struct ReadItem {
    DWORD exStyle = 0, style = 0;
    short x = 0, y = 0, width = 0, height = 0;
    DWORD id = 0;
    WORD classAtom = 0;
    std::wstring title;
    int titleOrdinal = -1;  // the title is a resource number
    size_t offset = 0;      // in WORDs from the start
};

struct ReadDialog {
    WORD version = 0, signature = 0;
    DWORD exStyle = 0, style = 0;
    WORD count = 0;
    short width = 0, height = 0;
    WORD menu = 0, windowClass = 0;
    std::wstring title;
    WORD points = 0, weight = 0;
    BYTE italic = 0, charset = 0;
    std::wstring face;
    std::vector<ReadItem> items;
    size_t words = 0;  // WORDs read in all
};

class TemplateReader {
public:
    explicit TemplateReader(const std::vector<WORD>& words) : words_(words) {}

    ReadDialog read() {
        ReadDialog d;
        d.version = word();
        d.signature = word();
        dword();  // help id
        d.exStyle = dword();
        d.style = dword();
        d.count = word();
        word();  // x
        word();  // y
        d.width = static_cast<short>(word());
        d.height = static_cast<short>(word());
        d.menu = word();
        d.windowClass = word();
        d.title = text();
        d.points = word();
        d.weight = word();
        const WORD italicAndCharset = word();
        d.italic = LOBYTE(italicAndCharset);
        d.charset = HIBYTE(italicAndCharset);
        d.face = text();
        for (WORD i = 0; i < d.count; ++i)
            d.items.push_back(item());
        d.words = at_;
        return d;
    }

private:
    WORD word() {
        if (at_ >= words_.size()) {
            ADD_FAILURE() << "the template ends early, at word " << at_;
            return 0;
        }
        return words_[at_++];
    }
    DWORD dword() {
        const WORD low = word();
        return MAKELONG(low, word());
    }
    std::wstring text() {
        std::wstring out;
        for (WORD c = word(); c != 0; c = word())
            out += static_cast<wchar_t>(c);
        return out;
    }
    ReadItem item() {
        at_ += at_ % 2;  // each item starts on a DWORD
        ReadItem it;
        it.offset = at_;
        dword();  // help id
        it.exStyle = dword();
        it.style = dword();
        it.x = static_cast<short>(word());
        it.y = static_cast<short>(word());
        it.width = static_cast<short>(word());
        it.height = static_cast<short>(word());
        it.id = dword();
        EXPECT_EQ(word(), 0xFFFF) << "class by atom";
        it.classAtom = word();
        if (at_ < words_.size() && words_[at_] == 0xFFFF) {
            word();
            it.titleOrdinal = word();
        } else {
            it.title = text();
        }
        EXPECT_EQ(word(), 0) << "no creation data";
        return it;
    }

    const std::vector<WORD>& words_;
    size_t at_ = 0;
};

}  // namespace kv58::win32::test
