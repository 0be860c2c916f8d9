#include "device/restore_image.h"

#include "bsl/titxt.h"
#include "device/backup.h"

namespace kv58 {

std::string restoreImage(const TransmitterData& data) {
    std::string text = formatTiTxt(
        {{kSegmentBAddress, {data.segmentBSaved.begin(), data.segmentBSaved.end()}},
         {kSegmentAAddress, {data.segmentAWrite.begin(), data.segmentAWrite.end()}},
         {kProgramAddress, {data.referenceProgram.begin(), data.referenceProgram.end()}}},
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
