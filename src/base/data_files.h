// Where the files named in a settings file are found: password files, the loader patch, the
// simulated transmitter's state file and relative backup folders. A program started from any
// folder (a desktop launcher, a script) finds the files of its installation, while a file in
// the working folder still comes first, as it always did.
#pragma once

#include <string>
#include <vector>

namespace kv58 {

// A relative `name` is looked for in the working folder first, then in each of `folders` in
// order; an absolute name is taken as it is. Returns the path to use: where it was found, or
// else `name` itself (the working folder, which the messages then name). Files and folders
// alike; `name` and `folders` are paths as the file system names them.
std::string findDataFile(const std::string& name, const std::vector<std::string>& folders);

// For a file or folder the program creates when it is missing (the simulated transmitter's
// state file, a backup folder): where it exists, found as above in the working folder and
// then in `home`; when it exists in neither, in `home` if the program may write there, else in
// the working folder. `home` is the settings file's folder ("" for the working folder).
std::string placeDataFile(const std::string& name, const std::string& home);

}  // namespace kv58
