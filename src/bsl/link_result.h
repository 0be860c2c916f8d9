// Result codes of the bootstrap-loader link and the user message for each.
//
// Every link step returns one of these results. The numbers are the codes the system has
// always shown and logged (0 for success), so a result converts to its number for the user
// and for logs, never the other way round. Device operations built on the link (segment
// reads and writes, programming runs) turn them into their own true/false results; the text
// for a result comes from linkMessage().
#pragma once

#include <string>

namespace kv58 {

enum class [[nodiscard]] LinkResult : int{
    Ok = 0,
    InvalidReply = 1,      // unexpected header, invalid or incomplete data frame
    PortOpenFailed = 2,    // port could not be opened or prepared
    PortConfigFailed = 3,  // line settings rejected
    NoReply = 6,           // no reply byte within the reply time-out
    Nak = 7,               // negative acknowledge
    ReplyHeader70 = 9,     // reply header with high nibble 0x70
    PortCloseFailed = 10,  // closing the port failed
    FileOpenFailed = 96,   // image file cannot be opened
    EraseCheckFailed = 97,
    VerifyFailed = 98,
    NoSync = 99,  // no synchronisation after three attempts
};

constexpr bool failed(LinkResult result) {
    return result != LinkResult::Ok;
}

// The code's number, as messages and logs show it.
constexpr int codeOf(LinkResult result) {
    return static_cast<int>(result);
}

// The message a device operation leaves for the user after ending with `result`.
// `passwordStage` tells a refused password from any other negative acknowledge;
// `failedFile` names the image file of FileOpenFailed.
std::string linkMessage(LinkResult result, bool passwordStage, const std::string& failedFile);

}  // namespace kv58
