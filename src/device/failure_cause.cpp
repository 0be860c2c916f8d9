#include "device/failure_cause.h"

#include <algorithm>
#include <filesystem>
#include <vector>

#include "base/files.h"
#include "base/text.h"

namespace kv58 {

namespace {

// The data file the link could not open: where it was looked for, or why an existing one
// cannot be read.
std::string missingFile(const BslLink& link) {
    const std::string& file = link.failedFile();
    if (pathExists(file))
        return strprintf("The file %s exists but cannot be read (check its permissions).",
                         pathForMessage(file).c_str());
    std::vector<std::string> places{workingFolderForMessage()};
    if (!std::filesystem::path(file).is_absolute()) {
        for (const std::string& folder : link.dataFolders()) {
            if (folder.empty())
                continue;  // the working folder
            std::error_code error;
            std::string place =
                std::filesystem::absolute(folder, error).lexically_normal().string();
            while (place.size() > 1 && (place.back() == '/' || place.back() == '\\'))
                place.pop_back();
            place = pathForMessage(error ? folder : place);
            if (std::find(places.begin(), places.end(), place) == places.end())
                places.push_back(place);
        }
    }
    std::string list;
    for (const std::string& place : places)
        list += (list.empty() ? "" : ", ") + place;
    return strprintf("The file %s was not found; looked in: %s.", pathForMessage(file).c_str(),
                     list.c_str());
}

}  // namespace

std::string failureCause(const BslLink& link, bool messageShown) {
    switch (link.resultCode()) {
        case LinkResult::Ok:
            return {};
        case LinkResult::PortOpenFailed:
        case LinkResult::PortConfigFailed: {
            const std::string& reason = link.transport().lastError();
            if (reason.find(link.portName()) != std::string::npos)
                return reason;
            if (!reason.empty())
                return link.portName() + ": " + reason;
            break;
        }
        case LinkResult::NoSync:
            // The operation's message names the step; this says what to check.
            return linkMessage(LinkResult::NoSync, false, "");
        case LinkResult::FileOpenFailed:
            if (!link.failedFile().empty())
                return missingFile(link);
            break;
        default:
            break;
    }
    return messageShown ? std::string() : link.message();
}

}  // namespace kv58
