// The text of the display-reading list that a decoded display code stands for.
#pragma once

#include <string>

namespace kv58 {

// The list text to search for a display code ("TH", "RH" or Code 15 of a product code):
// "R…" gives "%RH"; "TE" gives the temperature unit (`tSym` followed by C, or F when
// `celsius` is 0, e.g. "°C"); "TH" gives "%RH / " followed by that unit; any other code is
// searched unchanged. `tSym` is the Windows-1252 degree character of the settings.
std::string displaySearchText(const std::string& displayCode, char tSym, int celsius);

}  // namespace kv58
