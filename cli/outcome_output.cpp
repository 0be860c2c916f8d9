#include "outcome_output.h"

#include <cstdio>

#include "base/text.h"
#include "diagnostics.h"
#include "json_text.h"

namespace kv58::cli {

std::string wayBackProgram(const Context& ctx) {
    std::string program = "kv58ctl";
    if (ctx.iniGiven)
        program += " --ini " + shellWord(utf8ToCp1252(ctx.iniPath));
    if (ctx.port)
        program += " --port " + shellWord(utf8ToCp1252(*ctx.port));
    return program;
}

const char* stateSummary(TransmitterState state) {
    switch (state) {
        case TransmitterState::Confirmed:
            return "";
        case TransmitterState::Unchanged:
            return "the transmitter is unchanged";
        case TransmitterState::SegmentAErased:
            return "Segment A (configuration) is erased";
        case TransmitterState::SegmentAHalfWritten:
            return "Segment A (configuration) is half-written or damaged";
        case TransmitterState::SegmentBErased:
            return "Segment B (calibration) is erased";
        case TransmitterState::SegmentBHalfWritten:
            return "Segment B (calibration) is half-written or damaged";
        case TransmitterState::NotVerified:
            return "the transmitter was changed, but the change could not be verified";
        case TransmitterState::Unknown:
            return "the state of the transmitter is unknown";
    }
    return "";
}

std::string outcomeJson(const Context& ctx, const Outcome& outcome) {
    const std::string command = wayBackCommand(outcome.wayBack, wayBackProgram(ctx));
    return strprintf("\"outcome\": \"%s\", \"wayBack\": %s", stateKey(outcome.state),
                     command.empty() ? "null" : jsonCp1252(command).c_str());
}

int reportOutcome(const Context& ctx, const std::string& whatHappened, const Outcome& outcome,
                  bool printJson) {
    const std::string summary = stateSummary(outcome.state);
    printError("kv58ctl: %s%s%s\n", whatHappened.c_str(), summary.empty() ? "" : "; ",
               summary.c_str());
    if (ctx.json && printJson) {
        if (exitCodeOf(outcome.state) == 0)
            std::printf("{%s}\n", outcomeJson(ctx, outcome).c_str());
        else
            keepFailureOutcome(outcomeJson(ctx, outcome));
    }
    return exitCodeOf(outcome.state);
}

}  // namespace kv58::cli
