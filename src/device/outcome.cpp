#include "device/outcome.h"

#include <string_view>

namespace kv58 {

namespace {

// Characters the shell takes as part of a word (on Windows the path separator too).
#ifdef _WIN32
constexpr std::string_view kPlainMarks = "._-/\\:+,=@";
#else
constexpr std::string_view kPlainMarks = "._-/:+,=@";
#endif

bool plainArgument(std::string_view text) {
    if (text.empty())
        return false;
    for (char c : text) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || kPlainMarks.find(c) != std::string_view::npos;
        if (!plain)
            return false;
    }
    return true;
}

}  // namespace

std::string shellWord(const std::string& text) {
    if (plainArgument(text))
        return text;
#ifdef _WIN32
    return "\"" + text + "\"";
#else
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
#endif
}

namespace {

const char* stateText(TransmitterState state) {
    switch (state) {
        case TransmitterState::Confirmed:
            return "";
        case TransmitterState::Unchanged:
            return "The transmitter is unchanged.";
        case TransmitterState::SegmentAErased:
            return "Segment A (configuration) of the transmitter is erased.";
        case TransmitterState::SegmentAHalfWritten:
            return "Segment A (configuration) of the transmitter is half-written or damaged.";
        case TransmitterState::SegmentBErased:
            return "Segment B (calibration) of the transmitter is erased.";
        case TransmitterState::SegmentBHalfWritten:
            return "Segment B (calibration) of the transmitter is half-written or damaged.";
        case TransmitterState::NotVerified:
            return "The transmitter was changed, but the change could not be verified.";
        case TransmitterState::Unknown:
            return "The state of the transmitter is unknown: its flash may be erased or partly "
                   "programmed.";
    }
    return "";
}

}  // namespace

bool needsWayBack(TransmitterState state) {
    return state != TransmitterState::Confirmed && state != TransmitterState::Unchanged;
}

const char* stateKey(TransmitterState state) {
    switch (state) {
        case TransmitterState::Confirmed:
            return "confirmed";
        case TransmitterState::Unchanged:
            return "unchanged";
        case TransmitterState::SegmentAErased:
            return "segment-a-erased";
        case TransmitterState::SegmentAHalfWritten:
            return "segment-a-half-written";
        case TransmitterState::SegmentBErased:
            return "segment-b-erased";
        case TransmitterState::SegmentBHalfWritten:
            return "segment-b-half-written";
        case TransmitterState::NotVerified:
            return "not-verified";
        case TransmitterState::Unknown:
            return "unknown";
    }
    return "unknown";
}

std::string wayBackCommand(const WayBack& way, const std::string& program) {
    switch (way.kind) {
        case WayBack::Kind::None:
            return "";
        case WayBack::Kind::RestoreEntry:
            return program + " backup restore " + shellWord(way.file) + " --entry " +
                   std::to_string(way.entry) + (way.withSegmentB ? " --with-segment-b" : "") +
                   (way.matchSegmentB ? " --match-segment-b" : "") + " --yes";
        case WayBack::Kind::ProgramFile:
            return program + " program " + shellWord(way.file) + " --yes";
    }
    return "";
}

std::string wayBackText(const WayBack& way, const std::string& program) {
    const std::string command = wayBackCommand(way, program);
    switch (way.kind) {
        case WayBack::Kind::RestoreEntry:
            return "To put it back:\n" + command;
        case WayBack::Kind::ProgramFile:
            return "To put it back, program the image that holds it:\n" + command;
        case WayBack::Kind::None:
            break;
    }
    return "No backup entry or image that holds it was found (" + program +
           " backup list FILE shows what a backup file holds).";
}

std::string outcomeSentence(const Outcome& outcome, const std::string& program) {
    const std::string text = stateText(outcome.state);
    if (!needsWayBack(outcome.state))
        return text;
    return text + "\n" + wayBackText(outcome.wayBack, program);
}

}  // namespace kv58
