// Writes small settings files with "Output" and "Temperatur" tables for the decoder's tests.
#pragma once

#include <initializer_list>
#include <string>

#include "support/temp_dir.h"

namespace kv58::test {

// Joins the lines with CR LF, as the settings files are written.
inline std::string iniText(std::initializer_list<std::string> lines) {
    std::string text;
    for (const std::string& line : lines)
        text += line + "\r\n";
    return text;
}

// Rows for the output codes 6 (4 - 20 mA) and 1 (0 - 10 V), and the temperature code T02 in
// both units.
inline std::string standardTables() {
    return iniText({"[Output]", "Min6=4", "Max6=20", "Unit6=mA", "Min1=0", "Max1=10", "Unit1=V",
                    "[Temperatur]", "T02MinC=-20", "T02MaxC=80", "T02MinF=-4", "T02MaxF=176"});
}

}  // namespace kv58::test
