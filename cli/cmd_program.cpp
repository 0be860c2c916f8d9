// kv58ctl program FILE --yes: a full programming run of a TI-TXT image.
#include <cstdio>
#include <string>

#include "base/critical_section.h"
#include "base/files.h"
#include "base/paths.h"
#include "base/text.h"
#include "bsl/image_check.h"
#include "bsl/link_result.h"
#include "bsl/programming.h"
#include "command.h"
#include "console_ui.h"
#include "device/calibration_guard.h"
#include "device/production_log.h"
#include "device/way_back.h"
#include "device_command.h"
#include "diagnostics.h"
#include "kept_information.h"
#include "link_session.h"
#include "outcome_output.h"

namespace kv58::cli {

namespace {

int run(Context& ctx);

const Command kCommand{
    "program", "rewrite the whole transmitter from a TI-TXT image (full programming run)",
    "Usage: kv58ctl program FILE [--replace-info] --yes\n"
    "\n"
    "Writes the TI-TXT image FILE into the transmitter with a full programming run: the\n"
    "whole flash (program and information memory) is erased, then the image's address\n"
    "ranges are checked to be erased, programmed and verified, and the transmitter is\n"
    "reset into its own program. Everything not in the image stays erased, and the\n"
    "transmitter's password becomes the image's interrupt vectors.\n"
    "\n"
    "An image without information memory (nothing at 1000 to 10FF, as kv58ctl dump program\n"
    "writes one) keeps the transmitter's own: its Segments A (configuration) and B\n"
    "(calibration) are read first, appended to its backup file (SavePath, whatever SaveData\n"
    "says), and programmed and verified with the image, from TEMP-SERIAL.TXT (SERIAL: the\n"
    "transmitter's serial number), which then holds the whole transmitter. An image with its own "
    "Segment B is not programmed into a\n"
    "transmitter that holds another, intact one (an image of another transmitter would\n"
    "replace its calibration; the run checks it before its erase). --replace-info programs\n"
    "the image as it is.\n"
    "\n"
    "Nothing is erased unless the image can be programmed: every address line plain\n"
    "hexadecimal (\"@F000\", not \"@0x1100\"), every byte inside the flash (1000 to FFFF),\n"
    "no section running past FFFF. Old boot loaders (1.10 and lower) need the loader patch\n"
    "PATCH.TXT in the working directory or beside the settings file; the loader's version\n"
    "can only be read after the erase, so without PATCH.TXT nothing is erased either.\n"
    "Without --yes the command asks on the terminal first and does nothing unless the\n"
    "answer is yes; the question says what happens to Segments A and B. WaitPrg of the\n"
    "settings file paces the programming. A progress bar shows on stderr when it is a\n"
    "terminal. Ctrl-C, SIGTERM and SIGHUP are held from the erase to the end of the run.\n"
    "\n"
    "Exits with 0 when the run verified the image, 1 when nothing was erased, 3 when the run\n"
    "failed after its erase (the transmitter may be erased or partly programmed; the line\n"
    "names the image that puts it back).\n",
    run};

const CommandRegistrar kRegistrar(kCommand);

struct Request {
    std::string file;
    bool replaceInfo = false;
};

bool parseArgs(const std::vector<std::string>& args, Request& r, std::string& error) {
    for (const std::string& arg : args) {
        if (arg == "--replace-info") {
            r.replaceInfo = true;
        } else if (!arg.empty() && arg[0] != '-' && r.file.empty()) {
            r.file = arg;
        } else {
            error = "unexpected argument " + arg;
            return false;
        }
    }
    if (r.file.empty())
        error = "no image file given";
    return error.empty();
}

// The image must open, hold data and lie in the flash before the device is erased for it.
bool checkImage(const std::string& file, ImageLayout& layout) {
    if (!readImageLayout(file, layout)) {
        printError("kv58ctl: cannot open %s\n", file.c_str());
        return false;
    }
    if (const std::string problem = imageProblem(layout); !problem.empty()) {
        printError("kv58ctl: %s: %s; nothing programmed\n", file.c_str(), problem.c_str());
        return false;
    }
    return true;
}

// Whether the loader needs its patch shows only after the mass erase; a transmitter with an
// old loader must not be left erased for want of the patch image.
bool checkPatch(const std::string& patchFile) {
    if (fileReadable(patchFile))
        return true;
    printError(
        "kv58ctl: cannot open the loader patch %s (looked for in the working directory "
        "and beside the settings file); a transmitter with an old loader would be left "
        "erased: nothing programmed\n",
        patchFile.c_str());
    return false;
}

// What the run does to Segments A and B, for the question.
std::string informationText(const ImageLayout& layout, const KeptInformation* kept) {
    if (kept) {
        return ", keeping its Segments A and B (configuration and calibration; appended to " +
               cp1252ToUtf8(nativePath(kept->backupFile)) + " first)";
    }
    if (holdsInformationMemory(layout))
        return ", its information memory (Segments A and B) taken from the image";
    return ", leaving its Segments A and B (configuration and calibration) erased";
}

bool confirmed(const Context& ctx, const std::string& file, const std::string& port,
               const std::string& information) {
    const std::string question =
        utf8ToCp1252("Erase the whole transmitter on " + port + " and program " + file +
                     " into it" + information + "?");
    if (ctx.ui->messageBox(question, MsgIcon::Question, MsgButtons::YesNo) == MsgAnswer::Yes) {
        return true;
    }
    printError("kv58ctl: nothing programmed\n");
    return false;
}

// The run itself, with what it left on the transmitter, recorded in the production log before
// it is reported.
int programImage(const Context& ctx, LinkSession& session, const std::string& image,
                 const BeforeEraseCheck& check) {
    BslLink& link = session.link();
    Outcome left;
    left.wayBack.kind = WayBack::Kind::ProgramFile;
    left.wayBack.file = utf8ToCp1252(image);
    std::fprintf(stderr, "kv58ctl: should the run be cut off, %s puts the transmitter back\n",
                 cp1252ToUtf8(wayBackCommand(left.wayBack, wayBackProgram(ctx))).c_str());
    showProgress(link, *ctx.ui);
    const uint64_t flashCommands = link.flashCommandsSent();
    const CriticalSection critical;  // to the closing line
    const bool programmed = runProgramming(link, ProgrammingMode::FullRun, image, check);
    ctx.ui->infoClose();
    left.state = programmed                                  ? TransmitterState::Confirmed
                 : link.flashCommandsSent() == flashCommands ? TransmitterState::Unchanged
                                                             : TransmitterState::Unknown;
    LogRecord record;
    record.operation = "program";
    record.attempts = 1;
    record.outcome = programmed ? "programmed from " + image
                                : "not programmed from " + image + ": " + failureText(link);
    const int code = session.finish(record, exitCodeOf(left.state));
    if (programmed)
        std::fprintf(ctx.json ? stderr : stdout, "%s\n", cp1252ToUtf8(link.message()).c_str());
    else
        printFailure(link);
    reportOutcome(ctx, programmed ? "programmed and verified" : "programming failed", left, true);
    return code;
}

int run(Context& ctx) {
    Request request;
    std::string error;
    if (!parseArgs(ctx.args, request, error))
        return usageError(kCommand, error);
    ImageLayout layout;
    if (!checkImage(request.file, layout))
        return kExitFailure;
    LinkSession session(ctx);
    if (const int code = session.start(); code != kExitOk)
        return code;
    BslLink& link = session.link();
    if (!checkPatch(link.patchFile()))
        return kExitFailure;
    link.setWaits(session.settings().WaitPrg, session.settings().WaitSeg);
    const bool keep = !request.replaceInfo && !holdsInformationMemory(layout);
    KeptInformation kept;
    if (keep) {
        if (!readInformation(link, session.settings(), kept))
            return kExitFailure;
    }
    if (!confirmed(ctx, request.file, link.portName(),
                   informationText(layout, keep ? &kept : nullptr))) {
        return kExitFailure;
    }
    if (!keep) {
        const BeforeEraseCheck check =
            request.replaceInfo
                ? BeforeEraseCheck()
                : sameCalibration(session.settings().passwordFileNames(), request.file);
        return programImage(ctx, session, request.file, check);
    }
    // The image with the kept segments is also the way back should the run be cut off: it
    // carries the transmitter's serial number in its name, so that runs of other transmitters
    // in the same folder never replace it.
    const std::string image = wayBackImageName(link.tempFile(), kept.segmentA);
    if (!backUpInformation(session.settings(), kept, *ctx.ui) ||
        !writeImageWithInformation(request.file, kept, image)) {
        return kExitFailure;
    }
    return programImage(ctx, session, image, nullptr);
}

}  // namespace

}  // namespace kv58::cli
