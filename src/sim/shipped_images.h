// The data files shipped with the simulated transmitter, as TI-TXT text in the program's own
// form (CR LF line ends, a space after every value, a final "q"):
//   KV58-PW.TXT  the password of the simulated firmware: its 32 vector bytes at 0xFFE0
//   PATCH.TXT    the loader patch image for RAM at 0x0220
#pragma once

#include <string>

namespace kv58::sim {

constexpr const char* kPasswordFileName = "KV58-PW.TXT";
constexpr const char* kPatchFileName = "PATCH.TXT";

std::string passwordFileText();
std::string patchFileText();

}  // namespace kv58::sim
