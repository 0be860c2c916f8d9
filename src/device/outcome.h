// What a device command leaves on the transmitter, as far as the program knows, and the way
// back when that is not what the user asked for.
//
// Every command that writes (a configuration write, a backup restore, a programming run) ends
// in one of these states. Only Confirmed says that the transmitter holds what was intended;
// Unchanged that nothing on it was changed (Segment A, Segment B and the program as they
// were). Every other state is damage, or a change nobody could check, and names the way back:
// a backup entry to restore, or an image to program.
#pragma once

#include <string>

namespace kv58 {

enum class TransmitterState {
    Confirmed,            // a reread showed exactly what was intended
    Unchanged,            // nothing was written, or nothing that was written took effect
    SegmentAErased,       // Segment A (configuration) is all 0xFF
    SegmentAHalfWritten,  // Segment A holds neither its old nor its new contents, or
                          // fields no transmitter writes (segment_state.h: implausible)
    SegmentBErased,       // Segment B (calibration) is all 0xFF
    SegmentBHalfWritten,  // Segment B holds neither its old nor its new contents
    NotVerified,          // written as far as the link knows, but the check that would
                          // confirm it (the reread, the program check) could not be made
    Unknown,              // cut off after an erase where nothing could be read back: any
                          // part may be erased or partly programmed
};

// Whether the state is damage or an unchecked change: anything but Confirmed and Unchanged.
bool needsWayBack(TransmitterState state);
// "confirmed", "unchanged", "segment-a-erased", ...: the words of kv58ctl's JSON output.
const char* stateKey(TransmitterState state);

// How to put the transmitter back.
struct WayBack {
    enum class Kind {
        None,          // nothing on disk is known to hold it
        RestoreEntry,  // kv58ctl backup restore FILE --entry N [--with-segment-b]
                       //   [--match-segment-b]
        ProgramFile,   // kv58ctl program FILE
    };
    Kind kind = Kind::None;
    std::string file;  // native path, Windows-1252, as a user types it from the working folder
    int entry = 0;
    bool withSegmentB = false;
    bool matchSegmentB = false;

    bool operator==(const WayBack&) const = default;
};

// `text` as one word of a command line: as it is when the shell takes it so, else quoted.
std::string shellWord(const std::string& text);

// The command line of the way back, with `program` in front ("kv58ctl", or with the global
// options of the run that found it); empty for Kind::None. Arguments that the shell would
// split or expand are quoted.
std::string wayBackCommand(const WayBack& way, const std::string& program);

// What a user reads about the way back: the command, or that none was found (Windows-1252).
std::string wayBackText(const WayBack& way, const std::string& program);

struct Outcome {
    TransmitterState state = TransmitterState::Unchanged;
    WayBack wayBack;
};

// The sentence a user is shown at the end of a command (Windows-1252): what the transmitter
// holds and, where it needs one, the way back. Empty for Confirmed: a success says nothing
// beyond the messages it always had.
std::string outcomeSentence(const Outcome& outcome, const std::string& program);

}  // namespace kv58
