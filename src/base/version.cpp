#include "base/version.h"

#include "base/text.h"

namespace kv58 {

std::string versionNumberText() {
    return strprintf("%d.%02d.%03d", kVersionMajor, kVersionMinor, kVersionPatch);
}

std::string versionLine(const std::string& programName) {
    return programName + " " + versionNumberText() +
           strprintf(" (build %d, commit %s)", kVersionBuild, buildCommit());
}

}  // namespace kv58
