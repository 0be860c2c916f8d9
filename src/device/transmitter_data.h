// What the Configurator knows about the connected transmitter between commands: the actual
// and the new configuration, the segment and program images, and the flags the reading and
// writing flows share. The main dialog owns one of these for the whole run.
#pragma once

#include "device/infomem.h"

namespace kv58 {

struct TransmitterData {
    TransmitterConfig actual;     // as last read
    TransmitterConfig newConfig;  // as chosen for writing

    SegmentData segmentARead{};       // every Segment A read (also the identity check)
    SegmentData segmentBRead{};       // every Segment B read
    SegmentData segmentAWrite{};      // built when a write starts
    SegmentData segmentBSaved{};      // Segment B as read when the write started
    ProgramImage referenceProgram{};  // program read of the last plain read
    ProgramImage checkProgram{};      // program read of the reread after a write

    // The reference program image holds a program that a successful read delivered; without
    // it no program check and no restore can be made.
    bool referenceValid = false;
    // Compare the program images at the end of a reread (set at the start of every attempt).
    bool programCheck = false;
    // The "&write program" flag: set when the software version is below 1.00, cleared after
    // every write; while set, the reread after a write skips the program check.
    bool writeProgram = false;
};

}  // namespace kv58
