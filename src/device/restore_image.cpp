#include "device/restore_image.h"

#include "bsl/titxt.h"
#include "device/backup.h"

namespace kv58 {

std::string restoreImage(const SegmentData& segmentB, const SegmentData& segmentA,
                         const ProgramImage& program) {
    std::string text = formatTiTxt({{kSegmentBAddress, {segmentB.begin(), segmentB.end()}},
                                    {kSegmentAAddress, {segmentA.begin(), segmentA.end()}},
                                    {kProgramAddress, {program.begin(), program.end()}}},
                                   false);
    std::string out;  // written as a text file: the platform's line ends
    for (char c : text) {
        if (c == '\r')
            continue;
        if (c == '\n') {
            out += kTextLineEnd;
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace kv58
