// The folder most command-line tests start from: the shipped loader patch and password file,
// and a settings file for a simulated transmitter whose state file lives in that folder.
#pragma once

#include <filesystem>
#include <string>

#include "settings/limits_key.h"

namespace kv58::test {

inline void copyShippedDataFiles(const std::string& folder) {
    for (const char* file : {"PATCH.TXT", "KV58-PW.TXT"}) {
        std::filesystem::copy_file(std::string(KV58_SOURCE_DIR) + "/resources/shipped/" + file,
                                   folder + "/" + file);
    }
}

// A fast line keeps the tests short; the transfers are those of the demo. `programExtra`
// goes into [Program], each key with its "\r\n".
inline std::string simSettingsText(const std::string& programExtra = "") {
    return "[COM]\r\nPort=sim:?state=sim.state\r\nBaud=115200\r\nParity=even\r\n"
           "[Program]\r\nWaitSeg=0\r\n" +
           programExtra +
           "SaveData=Ja\r\nSavePath=.\\backup\r\nKey01=" + EncodeKey({-40, 120, 20, -40, 248, 36}) +
           "\r\n[PWfile]\r\nPW01=KV58-PW.TXT\r\n";
}

}  // namespace kv58::test
