// kv58ctl program FILE --yes: a full programming run of a TI-TXT image.
#include <cstdio>
#include <string>

#include "base/files.h"
#include "base/text.h"
#include "bsl/link_result.h"
#include "bsl/programming.h"
#include "bsl/titxt.h"
#include "command.h"
#include "console_ui.h"
#include "device_command.h"
#include "link_session.h"

namespace kv58::cli {

namespace {

int run(Context& ctx);

const Command kCommand{
    "program", "rewrite the whole transmitter from a TI-TXT image (full programming run)",
    "Usage: kv58ctl program FILE --yes\n"
    "\n"
    "Writes the TI-TXT image FILE into the transmitter with a full programming run: the\n"
    "whole flash (program and information memory) is erased, then the image's address\n"
    "ranges are checked to be erased, programmed and verified, and the transmitter is\n"
    "reset into its own program. Everything not in the image stays erased, and the\n"
    "transmitter's password becomes the image's interrupt vectors.\n"
    "Without --yes the command asks on the terminal first and does nothing unless the\n"
    "answer is yes. Old boot loaders (1.10 and lower) need the loader patch PATCH.TXT in\n"
    "the working directory or beside the settings file; the loader's version can only be\n"
    "read after the erase, so without PATCH.TXT nothing is erased or programmed. WaitPrg\n"
    "of the settings file paces the programming. A progress bar shows on stderr when it is\n"
    "a terminal.\n",
    run};

const CommandRegistrar kRegistrar(kCommand);

// The image must open and hold data before the device is erased for it.
bool checkImage(const std::string& file) {
    long bytes = 0;
    const LinkResult rc =
        readTiTxtFile(file, kMaxImageBlock, [&](uint16_t, std::span<const uint8_t> block) {
            bytes += static_cast<long>(block.size());
            return LinkResult::Ok;
        });
    if (rc == LinkResult::FileOpenFailed) {
        std::fprintf(stderr, "kv58ctl: cannot open %s\n", file.c_str());
        return false;
    }
    if (bytes == 0) {
        std::fprintf(stderr, "kv58ctl: %s holds no data (not a TI-TXT image?)\n", file.c_str());
        return false;
    }
    return true;
}

// Whether the loader needs its patch shows only after the mass erase; a transmitter with an
// old loader must not be left erased for want of the patch image.
bool checkPatch(const std::string& patchFile) {
    if (fileReadable(patchFile))
        return true;
    std::fprintf(stderr,
                 "kv58ctl: cannot open the loader patch %s (looked for in the working directory "
                 "and beside the settings file); a transmitter with an old loader would be left "
                 "erased: nothing programmed\n",
                 patchFile.c_str());
    return false;
}

bool confirmed(const Context& ctx, const std::string& file, const std::string& port) {
    const std::string question = utf8ToCp1252("Erase the whole transmitter on " + port +
                                              " and program " + file + " into it?");
    if (ctx.ui->messageBox(question, MsgIcon::Question, MsgButtons::YesNo) == MsgAnswer::Yes) {
        return true;
    }
    std::fprintf(stderr, "kv58ctl: nothing programmed\n");
    return false;
}

int run(Context& ctx) {
    if (ctx.args.size() != 1 || ctx.args[0].empty() || ctx.args[0][0] == '-') {
        return usageError(kCommand,
                          ctx.args.empty() ? "no image file given" : "expected one image file");
    }
    const std::string file = ctx.args[0];
    if (!checkImage(file))
        return kExitFailure;
    LinkSession session(ctx);
    if (!session.loadSettings())
        return kExitSettings;
    BslLink& link = session.link();
    if (!checkPatch(link.patchFile()) || !confirmed(ctx, file, link.portName()))
        return kExitFailure;
    link.setWaits(session.settings().WaitPrg, session.settings().WaitSeg);
    showProgress(link, *ctx.ui);
    const bool programmed = runProgramming(link, ProgrammingMode::FullRun, file);
    ctx.ui->infoClose();
    if (!programmed) {
        printFailure(link);
        return kExitFailure;
    }
    std::printf("%s\n", cp1252ToUtf8(link.message()).c_str());
    return kExitOk;
}

}  // namespace

}  // namespace kv58::cli
