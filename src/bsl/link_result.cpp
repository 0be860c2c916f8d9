#include "bsl/link_result.h"

#include "base/text.h"

namespace kv58::link {

std::string linkMessage(int code, bool passwordStage, const std::string& failedFile) {
    switch (code) {
        case kOk:
            return "Programming completed!";
        case kNak:
            return passwordStage ? "ERROR: Password not accepted!" : "ERROR: Communication Error!";
        case kFileOpenFailed:
            return strprintf("ERROR: Unable to open input file \"%s\"!", failedFile.c_str());
        case kEraseCheckFailed:
            return "ERROR: Erase check failed!";
        case kVerifyFailed:
            return "ERROR: Verification failed!";
        case kNoSync:
            return "ERROR: Syncronization failed!\nDevice with boot loader connected?";
        default:
            return "ERROR: Communication Error!";
    }
}

}  // namespace kv58::link
