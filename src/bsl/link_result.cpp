#include "bsl/link_result.h"

#include "base/text.h"

namespace kv58 {

std::string linkMessage(LinkResult result, bool passwordStage, const std::string& failedFile) {
    switch (result) {
        case LinkResult::Ok:
            return "Programming completed!";
        case LinkResult::Nak:
            return passwordStage ? "ERROR: Password not accepted!" : "ERROR: Communication Error!";
        case LinkResult::FileOpenFailed:
            return strprintf("ERROR: Unable to open input file \"%s\"!", failedFile.c_str());
        case LinkResult::EraseCheckFailed:
            return "ERROR: Erase check failed!";
        case LinkResult::VerifyFailed:
            return "ERROR: Verification failed!";
        case LinkResult::NoSync:
            return "ERROR: Syncronization failed!\nDevice with boot loader connected?";
        default:
            return "ERROR: Communication Error!";
    }
}

}  // namespace kv58
