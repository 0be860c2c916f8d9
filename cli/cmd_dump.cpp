// kv58ctl dump program|A|B [--out FILE]: reads the upper 4 KB of the program flash or an
// information-memory segment and prints it as a TI-TXT image.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "base/files.h"
#include "base/text.h"
#include "bsl/segments.h"
#include "bsl/titxt.h"
#include "command.h"
#include "console_ui.h"
#include "device/infomem.h"
#include "device/production_log.h"
#include "device_command.h"
#include "diagnostics.h"
#include "json_text.h"
#include "link_session.h"

namespace kv58::cli {

namespace {

int run(Context& ctx);

const Command kCommand{
    "dump", "read the program flash or Segment A or B and print it as TI-TXT",
    "Usage: kv58ctl dump program|A|B [--out FILE]\n"
    "\n"
    "Reads one area of the transmitter with its own device operation (port opened, loader\n"
    "started, password from the password files of the settings file, port closed) and\n"
    "prints it as a TI-TXT image in the form the Configurator writes its own files:\n"
    "  program  the upper 4 KB of the program flash, 0xF000-0xFFFF\n"
    "  A        information-memory Segment A (configuration), 0x1080, 128 bytes\n"
    "  B        information-memory Segment B (calibration), 0x1000, 128 bytes\n"
    "--out FILE writes the image to FILE instead of standard output; FILE is replaced only\n"
    "once the whole image has been read and written. Password files that are not in the\n"
    "working directory are also looked for beside the settings file. With --json the\n"
    "image printed on standard output is the string tiTxt of one object\n"
    "({\"area\": \"A\", \"tiTxt\": \"@1080\\n...\"}).\n",
    run};

const CommandRegistrar kRegistrar(kCommand);

struct DumpRequest {
    std::string area;  // "program", "A" or "B"
    std::string outFile;
};

// Parses the arguments; an empty area after a usage error has been reported.
bool parseArguments(const Context& ctx, DumpRequest& request, int& exitCode) {
    for (size_t i = 0; i < ctx.args.size(); ++i) {
        const std::string& arg = ctx.args[i];
        if (arg == "--out" && i + 1 < ctx.args.size()) {
            request.outFile = ctx.args[++i];
        } else if (arg == "--out") {
            exitCode = usageError(kCommand, "--out needs a file name");
            return false;
        } else if (request.area.empty() &&
                   (equalsIgnoreCase(arg, "program") || equalsIgnoreCase(arg, "A") ||
                    equalsIgnoreCase(arg, "B"))) {
            request.area = arg.size() == 1 ? std::string(1, toUpperAscii(arg[0])) : "program";
        } else {
            exitCode = usageError(kCommand, "unexpected argument " + arg);
            return false;
        }
    }
    if (request.area.empty()) {
        exitCode = usageError(kCommand, "which area: program, A or B?");
        return false;
    }
    return true;
}

// Reads the area with its own device operation; false after the link's failure.
bool readArea(BslLink& link, const PasswordFileList& passwords, const std::string& area,
              TiTxtSection& section) {
    if (area == "program") {
        std::array<uint8_t, kProgramArea.length> bytes{};
        if (!readProgram(link, passwords, bytes))
            return false;
        section = {kProgramArea.address, {bytes.begin(), bytes.end()}};
        return true;
    }
    std::array<uint8_t, kSegmentAArea.length> bytes{};
    const bool a = area == "A";
    if (!(a ? readSegmentA : readSegmentB)(link, passwords, bytes))
        return false;
    section = {a ? kSegmentAArea.address : kSegmentBArea.address, {bytes.begin(), bytes.end()}};
    return true;
}

SegmentData toSegment(const TiTxtSection& section) {
    SegmentData segment{};
    std::copy_n(section.bytes.begin(), std::min(section.bytes.size(), segment.size()),
                segment.begin());
    return segment;
}

bool writeOutput(const Context& ctx, const std::string& area, const std::string& image,
                 const std::string& outFile) {
    if (outFile.empty()) {
        if (ctx.json) {
            std::printf("{\"area\": %s, \"tiTxt\": %s}\n", jsonString(area).c_str(),
                        jsonString(image).c_str());
        } else {
            std::fwrite(image.data(), 1, image.size(), stdout);
        }
        return std::fflush(stdout) == 0;
    }
    switch (replaceFile(outFile, image)) {
        case FileWriteResult::Ok:
            return true;
        case FileWriteResult::CannotCreate:
            printError("kv58ctl: cannot create %s\n", outFile.c_str());
            return false;
        case FileWriteResult::WriteFailed:
            break;
    }
    printError("kv58ctl: writing %s failed; the file was left as it was\n", outFile.c_str());
    return false;
}

int run(Context& ctx) {
    DumpRequest request;
    int exitCode = kExitOk;
    if (!parseArguments(ctx, request, exitCode))
        return exitCode;
    LinkSession session(ctx);
    if (const int code = session.start(); code != kExitOk)
        return code;
    const PasswordFileList passwords = session.settings().passwordFileNames();
    BslLink& link = session.link();
    showProgress(link, *ctx.ui);
    TiTxtSection section;
    const bool ok = readArea(link, passwords, request.area, section);
    ctx.ui->infoClose();
    LogRecord record;
    record.operation = "dump " + request.area;
    record.attempts = 1;
    if (!ok) {
        record.outcome = "not read: " + failureText(link);
        const int code = session.finish(record, kExitFailure);
        printFailure(link);
        printUnreadablePasswordFiles(link, passwords);
        return code;
    }
    if (request.area == "A")
        describeTransmitter(record, decodeSegmentA(toSegment(section)), session.settings().TSym);
    const bool written =
        writeOutput(ctx, request.area, formatTiTxt({section}, true), request.outFile);
    record.outcome = written ? "read" : "read, but the image could not be written";
    return session.finish(record, written ? kExitOk : kExitFailure);
}

}  // namespace

}  // namespace kv58::cli
