// The program's version, shared by every program of the installation, and the text of their
// --version option.
#pragma once

#include <string>

namespace kv58 {

// Version 2.08.000, build 46 (the window title and the About dialog show it).
constexpr int kVersionMajor = 2;
constexpr int kVersionMinor = 8;
constexpr int kVersionPatch = 0;
constexpr int kVersionBuild = 46;

// "2.08.000"
std::string versionNumberText();

// The commit the programs were built from, as git describes it when the build was made
// ("v2.8-41-g8d8c497", "8d8c497-dirty"); "unknown" for a build outside a git work tree.
const char* buildCommit();

// What --version prints: "kv58ctl 2.08.000 (build 46, commit 8d8c497)".
std::string versionLine(const std::string& programName);

}  // namespace kv58
