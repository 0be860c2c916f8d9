// kv58ctl writes UTF-8 (the library's Windows-1252 texts are converted at the terminal's
// edge). A Windows console shows UTF-8 only in its UTF-8 code page, so for the program's run
// the console is switched to it, and back to the code page it had afterwards. Output to a
// file or pipe is the same UTF-8 either way; elsewhere this does nothing.
#pragma once

namespace kv58::cli {

class Utf8Console {
public:
    Utf8Console();
    ~Utf8Console();
    Utf8Console(const Utf8Console&) = delete;
    Utf8Console& operator=(const Utf8Console&) = delete;

private:
    unsigned previous_ = 0;  // 0: nothing to restore
};

}  // namespace kv58::cli
