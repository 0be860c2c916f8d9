// Result codes of the bootstrap-loader link and the user message for each.
//
// Every link step returns one of these codes, 0 for success. Device operations built on the
// link (segment reads and writes, programming runs) turn them into their own true/false
// results; the text for a code comes from linkMessage().
#pragma once

#include <string>

namespace kv58::link {

constexpr int kOk = 0;
constexpr int kInvalidReply = 1;      // unexpected header, invalid or incomplete data frame
constexpr int kPortOpenFailed = 2;    // port could not be opened or prepared
constexpr int kPortConfigFailed = 3;  // line settings rejected
constexpr int kNoReply = 6;           // no reply byte within the reply time-out
constexpr int kNak = 7;               // negative acknowledge
constexpr int kReplyHeader70 = 9;     // reply header with high nibble 0x70
constexpr int kPortCloseFailed = 10;  // closing the port failed
constexpr int kFileOpenFailed = 96;   // image file cannot be opened
constexpr int kEraseCheckFailed = 97;
constexpr int kVerifyFailed = 98;
constexpr int kNoSync = 99;  // no synchronisation after three attempts

// The message a device operation leaves for the user after ending with `code`.
// `passwordStage` tells a refused password from any other negative acknowledge;
// `failedFile` names the image file of code 96.
std::string linkMessage(int code, bool passwordStage, const std::string& failedFile);

}  // namespace kv58::link
