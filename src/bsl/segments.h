// The device operations that read and write the transmitter's data: the upper 4 KB of the
// program flash, and the information-memory segments A (configuration) and B (calibration).
//
// Each operation is self-contained: it opens the port, enters the loader, finds an accepted
// password among the configured password files, transfers, and closes the port again.
//
//   password search  the files are tried in list order (up to ten, ending at the first empty
//                    name); a file that cannot be opened or a refused password moves the
//                    search on. The erased-device password is never tried.
//   reads            TX data blocks of 128 bytes; the program flash as 32 of them, from
//                    0xF000 upwards. A failed block fails the whole read; the destination
//                    is written only after every block has arrived.
//   writes           the data go to "TEMP.TXT" in the working directory as a TI-TXT image
//                    (byte-exact: "@1080", lines of 16 "%02X " values, "q", CR LF line ends);
//                    the segment is erased in one operation, then a programming run
//                    (ProgrammingMode::SegmentWrite) checks that it is erased, programs and
//                    verifies the image, its steps up to the programming pass paced by
//                    WaitSeg. Nothing is erased unless the loader patch is at hand where it
//                    may be needed (patchAtHand) and, when the caller names one, an area of
//                    the transmitter still holds what the caller read from it (the
//                    transmitter on the line is the one it checked). From the erase to the
//                    verified end, requests to end the program are held.
//
// All return true on success. On failure BslLink::message holds the text for the user,
// for example "ERROR: send password failed (reading data Segment A)!". Progress goes to
// BslLink::progress in bytes of the area.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "bsl/link_result.h"

namespace kv58 {

class BslLink;
class UserInterface;

// A memory area of the transmitter that the operations transfer.
struct MemoryArea {
    uint16_t address;
    uint16_t length;
};
inline constexpr MemoryArea kSegmentAArea{0x1080, 128};
inline constexpr MemoryArea kSegmentBArea{0x1000, 128};
inline constexpr MemoryArea kProgramArea{0xF000, 4096};
constexpr uint16_t kProgramReadBlock = 128;  // bytes per read command of the program flash

// Password file names as the settings list them (Settings::passwordFileNames()).
using PasswordFileList = std::vector<std::string>;
// The password search tries at most this many files, as many as the settings file has slots.
constexpr size_t kPasswordSearchLimit = 10;

// Within an open device operation whose loader was entered: tries the password files in
// list order (up to kPasswordSearchLimit, ending at the first empty name) until the loader
// accepts one. BslLink::passwordFile names the accepted file (or the last one tried). The
// result of the last attempt (Ok when one was accepted; Nak when there was none to try).
LinkResult unlockLoader(BslLink& link, const PasswordFileList& passwordFiles);

// Reads 0xF000–0xFFFF into `destination`. A block that cannot be read fails the operation
// with a message that names its address; `destination` is then left as it was.
[[nodiscard]] bool readProgram(BslLink& link, const PasswordFileList& passwordFiles,
                               std::span<uint8_t, kProgramArea.length> destination);

// Reads the segment and copies its first destination.size() bytes (at most 128) into
// `destination`; the destination is left as it was when the read fails.
[[nodiscard]] bool readSegmentA(BslLink& link, const PasswordFileList& passwordFiles,
                                std::span<uint8_t> destination);
[[nodiscard]] bool readSegmentB(BslLink& link, const PasswordFileList& passwordFiles,
                                std::span<uint8_t> destination);

// What a segment write checks before its erase: `area` of the transmitter holds `expected`.
// A segment the write leaves alone serves (Segment B for a write of Segment A): it tells the
// transmitter apart from one connected in its place since the caller read it.
struct SameTransmitter {
    MemoryArea area;
    std::span<const uint8_t> expected;
    char letter;  // of the segment, for the message
};

// Erases the segment and programs `data` (1 … 128 bytes, normally 128) from its start,
// verified. A temporary image that cannot be created is reported through `ui` in a message
// box ("Fehler beim Öffnen der Zieldatei <TEMP.TXT>!"); the device is then not touched.
[[nodiscard]] bool writeSegmentA(BslLink& link, const PasswordFileList& passwordFiles,
                                 std::span<const uint8_t> data, UserInterface& ui,
                                 const std::optional<SameTransmitter>& check = std::nullopt);
[[nodiscard]] bool writeSegmentB(BslLink& link, const PasswordFileList& passwordFiles,
                                 std::span<const uint8_t> data, UserInterface& ui,
                                 const std::optional<SameTransmitter>& check = std::nullopt);

}  // namespace kv58
