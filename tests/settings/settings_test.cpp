#include "settings/settings.h"

#include <gtest/gtest.h>

#include "settings/port_prompt.h"
#include "settings/profile.h"
#include "support/recording_ui.h"
#include "support/temp_dir.h"

namespace kv58 {
namespace {

using test::readFile;
using test::RecordingUi;
using test::TempDir;
using test::writeFile;

const char* const kPortMessage = "ERROR reading INI-File\n[COM], Port";

class LoadSettingsTest : public ::testing::Test {
protected:
    // Writes the settings file (CR LF line ends added) and loads it.
    bool load(const std::string& lines, const SettingsLoadOptions& options = {}) {
        std::string bytes;
        for (char c : lines)
            bytes += c == '\n' ? std::string("\r\n") : std::string(1, c);
        writeFile(ini, bytes);
        SettingsLoadOptions withFailure = options;
        withFailure.failure = &failure;
        return LoadSettingsFromFile(s, ui, ini, withFailure);
    }

    TempDir dir;
    std::string ini = dir.file("Conf.ini");
    Settings s;
    RecordingUi ui;
    SettingsLoadFailure failure;
};

TEST_F(LoadSettingsTest, AFileWithOnlyThePortTakesEveryDefault) {
    ASSERT_TRUE(load("[COM]\nPort=COM2\n"));
    EXPECT_EQ(s.Port, "COM2");
    EXPECT_EQ(s.Baud, 9600);
    EXPECT_EQ(s.DataBit, 8);
    EXPECT_EQ(s.StopBit, 1);
    EXPECT_EQ(s.Parity, "none");
    EXPECT_FALSE(s.AutoDTR);
    EXPECT_FALSE(s.InvertDTR);
    EXPECT_FALSE(s.InvertRTS);
    EXPECT_EQ(s.WaitPrg, 0);
    EXPECT_EQ(s.WaitSeg, 2);
    EXPECT_EQ(s.MaxWriteCnt, 3);
    EXPECT_EQ(s.TSym, '\xB0');
    EXPECT_FALSE(s.SaveData);
    EXPECT_EQ(s.SavePath, ".\\");
    EXPECT_TRUE(s.passwordFileNames().empty());
    EXPECT_EQ(s.Limits, (TemperatureLimits{}));
    EXPECT_EQ(s.IniPath, ini);
    EXPECT_EQ(s.LastValuePath, dir.file("Conf.lkd"));
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(LoadSettingsTest, ReadsEveryKeyWithItsConversion) {
    const std::string key = EncodeKey({-40, 120, 20, -40, 248, 36});
    ASSERT_TRUE(
        load("[COM]\nPort=\" COM1 \"\nBaud= 19200 baud\nDataBit=seven\nStopBit=2\n"
             "Parity=Odd\nAutoDTR=Ja\nInvertDTR=yes\nInvertRTS=1\n"
             "[Program]\nWaitPrg=-5\nWaitSeg=10\nMaxWriteCnt=+7\nT-Sym=*deg\n"
             "SaveData=Yes\nSavePath= \"  .\\backup \" \nKey01=" +
             key +
             "\n"
             "[PWfile]\nPW01=A.TXT\nPW02=ABCDEFGH.TXT\n"));
    EXPECT_EQ(s.Port, " COM1 ");  // a port from the file is not trimmed
    EXPECT_EQ(s.Baud, 19200);
    EXPECT_EQ(s.DataBit, 0);
    EXPECT_EQ(s.StopBit, 2);
    EXPECT_EQ(s.Parity, "Odd");
    EXPECT_TRUE(s.AutoDTR);
    EXPECT_TRUE(s.InvertDTR);
    EXPECT_TRUE(s.InvertRTS);
    EXPECT_EQ(s.WaitPrg, -5);
    EXPECT_EQ(s.WaitSeg, 10);
    EXPECT_EQ(s.MaxWriteCnt, 7);
    EXPECT_EQ(s.TSym, '*');
    EXPECT_TRUE(s.SaveData);
    EXPECT_EQ(s.SavePath, ".\\backup");
    EXPECT_EQ(s.passwordFileNames(), (std::vector<std::string>{"A.TXT", "ABCDEFGH.TXT"}));
    EXPECT_EQ(s.Limits, (TemperatureLimits{-40, 120, 20, -40, 248, 36}));
}

TEST_F(LoadSettingsTest, StopBitRule) {
    const std::pair<const char*, int32_t> cases[] = {{"1", 1}, {"1.5", 15}, {"15", 15}, {"1x", 15},
                                                     {"2", 2}, {"2x", 2},   {"3", 1},   {"", 1},
                                                     {"0", 1}, {" 2", 2}};
    for (const auto& [value, code] : cases) {
        ASSERT_TRUE(load(std::string("[COM]\nPort=COM1\nStopBit=") + value + "\n"));
        EXPECT_EQ(s.StopBit, code) << "StopBit=" << value;
    }
}

TEST_F(LoadSettingsTest, YesNoFlags) {
    for (const char* no : {"Nein", "0", "", "No", "nope", "true"}) {
        ASSERT_TRUE(load(std::string("[COM]\nPort=COM1\nAutoDTR=") + no +
                         "\n[Program]\nSaveData=" + no + "\n"));
        EXPECT_FALSE(s.SaveData) << no;
        EXPECT_FALSE(s.AutoDTR) << no;
    }
    for (const char* yes : {"Ja", "yes", "1", "j", "Y"}) {
        ASSERT_TRUE(load(std::string("[COM]\nPort=COM1\nAutoDTR=") + yes +
                         "\n[Program]\nSaveData=" + yes + "\n"));
        EXPECT_TRUE(s.SaveData) << yes;
        EXPECT_TRUE(s.AutoDTR) << yes;
    }
}

TEST_F(LoadSettingsTest, EmptyDegreeSignAndSavePathKeepTheirDefaults) {
    ASSERT_TRUE(load("[COM]\nPort=COM1\n[Program]\nT-Sym=\nSavePath=   \n"));
    EXPECT_EQ(s.TSym, '\xB0');
    EXPECT_EQ(s.SavePath, ".\\");
}

TEST_F(LoadSettingsTest, AUtf8FileGivesTheSameDegreeSign) {
    writeFile(ini, "\xEF\xBB\xBF[COM]\nPort=COM1\n[Program]\nT-Sym=\xC2\xB0\n");
    ASSERT_TRUE(LoadSettingsFromFile(s, ui, ini));
    EXPECT_EQ(s.TSym, '\xB0');
}

TEST_F(LoadSettingsTest, PasswordListEndsAtTheFirstMissingKey) {
    ASSERT_TRUE(load("[COM]\nPort=COM1\n[PWfile]\nPW01=ONE.TXT\nPW03=THREE.TXT\n"));
    EXPECT_EQ(s.passwordFileNames(), std::vector<std::string>{"ONE.TXT"});
    EXPECT_EQ(std::string(s.PasswordFiles[1].data(), 14), std::string(14, '\0'));
    EXPECT_EQ(std::string(s.PasswordFiles[2].data(), 14), std::string(14, '\0'));
}

TEST_F(LoadSettingsTest, TwelveCharacterNameIsTheLongestAccepted) {
    ASSERT_TRUE(load("[COM]\nPort=COM1\n[PWfile]\nPW01=123456789012\n"));
    EXPECT_EQ(std::string(s.PasswordFiles[0].data(), 14), std::string("123456789012\0\0", 14));
    EXPECT_EQ(ui.quitCode, -1);

    EXPECT_FALSE(
        load("[COM]\nPort=COM1\n[PWfile]\nPW01=A.TXT\nPW02=B.TXT\nPW03=1234567890123\n"
             "[Program]\nKey01=whatever\n"));
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text,
              "Dateiname f\xFCr Passwortfile aus INI-Datei lesen.\n\nFEHLER!\n"
              "Der Dateiname <1234567890123> hat nicht das geforderte 8.3-Format!");
    EXPECT_EQ(ui.messages[0].icon, MsgIcon::Stop);
    EXPECT_EQ(ui.quitCode, 2);
    EXPECT_EQ(s.passwordFileNames(), (std::vector<std::string>{"A.TXT", "B.TXT"}));
    EXPECT_EQ(failure.file, ini);
    EXPECT_EQ(failure.section, "PWfile");
    EXPECT_EQ(failure.key, "PW03");
}

TEST_F(LoadSettingsTest, LimitsKey) {
    // A key whose checksum does not match counts as all-zero limits, which are valid.
    std::string key = EncodeKey({-40, 120, 20, -40, 248, 36});
    key[10] = key[10] == 'A' ? 'B' : 'A';
    ASSERT_TRUE(load("[COM]\nPort=COM1\n[Program]\nKey01=" + key + "\n"));
    EXPECT_EQ(s.Limits, (TemperatureLimits{}));

    // Limits that violate the minimum difference fail the load without a message of its own.
    const std::string bad = EncodeKey({-40, 120, 200, -40, 248, 36});
    EXPECT_FALSE(load("[COM]\nPort=COM1\n[Program]\nKey01=" + bad + "\n"));
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(ui.quitCode, -1);
    EXPECT_EQ(s.Limits.minDiffC, 200);
    EXPECT_EQ(failure.section, "Program");
    EXPECT_EQ(failure.key, "Key01");
}

TEST_F(LoadSettingsTest, PathsFollowTheProgramsFileName) {
    writeFile(dir.file("Conf.ini"), "[COM]\nPort=COM7\n");
    ASSERT_TRUE(LoadSettings(s, ui, dir.file("Conf")));
    EXPECT_EQ(s.IniPath, dir.file("Conf.ini"));
    EXPECT_EQ(s.LastValuePath, dir.file("Conf.lkd"));
    EXPECT_EQ(s.Port, "COM7");
    ASSERT_TRUE(LoadSettings(s, ui, dir.file("Conf.exe")));
    EXPECT_EQ(s.LastValuePath, dir.file("Conf.lkd"));
    EXPECT_EQ(s.Port, "COM7");
}

TEST_F(LoadSettingsTest, PortOptionReplacesTheFilesPortWithoutAPrompt) {
    SettingsLoadOptions options;
    options.port = "sim:";
    ASSERT_TRUE(load("[COM]\nBaud=4800\n", options));
    EXPECT_EQ(s.Port, "sim:");
    EXPECT_EQ(s.Baud, 4800);
    EXPECT_EQ(ui.portPromptCalls, 0);
    ASSERT_TRUE(LoadSettingsFromFile(s, ui, dir.file("missing.ini"), options));
    EXPECT_EQ(s.Port, "sim:");
    EXPECT_EQ(s.LastValuePath, dir.file("missing.lkd"));
}

TEST_F(LoadSettingsTest, AMissingFileIsReportedAsSuchWithThePlacesSearched) {
    SettingsLoadOptions options;
    options.failure = &failure;
    EXPECT_FALSE(LoadSettingsFromFile(s, ui, dir.file("missing.ini"), options));
    ASSERT_EQ(ui.texts().size(), 1u);
    EXPECT_EQ(ui.texts()[0], "The settings file " + dir.file("missing.ini") + " does not exist.");
    EXPECT_EQ(ui.portPromptCalls, 0) << "no port prompt for a file that is not there";
    EXPECT_EQ(failure.file, dir.file("missing.ini"));
    EXPECT_EQ(failure.section, "");
    EXPECT_EQ(describe(failure), dir.file("missing.ini") + ": the settings file does not exist");

    options.placesSearched = {dir.file("missing.ini"), "/etc/kv58/KV58.ini"};
    EXPECT_FALSE(LoadSettingsFromFile(s, ui, dir.file("missing.ini"), options));
    EXPECT_EQ(ui.texts().back(), "The settings file " + dir.file("missing.ini") +
                                     " does not exist.\nNone was found in:\n" +
                                     dir.file("missing.ini") + "\n/etc/kv58/KV58.ini");
    EXPECT_EQ(failure.reason,
              "no settings file was found in " + dir.file("missing.ini") + ", /etc/kv58/KV58.ini");
}

TEST_F(LoadSettingsTest, DataFilesAreLookedForBesideTheSettingsFile) {
    ASSERT_TRUE(load("[COM]\nPort=COM1\n"));
    ASSERT_FALSE(s.DataFolders.empty());
    EXPECT_EQ(s.DataFolders.front(), dir.path());
    EXPECT_EQ(s.settingsFolder(), dir.path());
    EXPECT_EQ(describe({"a.ini", "PWfile", "PW02", "too long"}), "a.ini: [PWfile] PW02: too long");
}

// The prompt offers four ports here, whatever the platform would list.
class PortPromptTest : public LoadSettingsTest {
protected:
    bool load(const std::string& lines) {
        SettingsLoadOptions options;
        options.listPorts = [] { return std::vector<std::string>{"COM3", "COM1", "COM4", "COM2"}; };
        return LoadSettingsTest::load(lines, options);
    }
};

TEST_F(PortPromptTest, StartsWithFourPortsAndTheFirstSelected) {
    PortPromptState seen;
    ui.portPrompt = [&](PortPromptState& state) {
        seen = state;
        return true;
    };
    ASSERT_TRUE(load("[COM]\nPort=\n"));
    EXPECT_EQ(seen.items, (std::vector<std::string>{"COM1", "COM2", "COM3", "COM4"}));
    EXPECT_EQ(seen.selected, 0);
    EXPECT_FALSE(seen.setDefault);
    EXPECT_EQ(s.Port, "COM1");
}

TEST_F(PortPromptTest, ClassicOfferTakesNoTypedName) {
    ui.portPrompt = [](PortPromptState& state) {
        EXPECT_EQ(state.items, (std::vector<std::string>{"COM1", "COM2", "COM3", "COM4"}));
        state.selected = -1;
        state.editText = "COM9";
        return true;
    };
    const std::optional<PortChoice> choice = RunPortPrompt(ui, classicPortPromptOffer());
    ASSERT_TRUE(choice);
    EXPECT_EQ(choice->port, "COM1");
}

TEST_F(PortPromptTest, OffersThePortsTheSystemReportsAndTakesATypedName) {
    SettingsLoadOptions options;
    options.listPorts = [] { return std::vector<std::string>{"/dev/ttyUSB0", "/dev/ttyS0"}; };
    PortPromptState seen;
    ui.portPrompt = [&](PortPromptState& state) {
        seen = state;
        state.selected = -1;
        state.editText = " /dev/pts/7 ";
        return true;
    };
    ASSERT_TRUE(LoadSettingsTest::load("[COM]\n", options));
#ifdef _WIN32
    EXPECT_EQ(seen.items, (std::vector<std::string>{"COM1", "COM2", "COM3", "COM4"}));
    EXPECT_EQ(s.Port, "COM1");
#else
    EXPECT_EQ(seen.items, (std::vector<std::string>{"/dev/ttyS0", "/dev/ttyUSB0"}));
    EXPECT_EQ(seen.selected, 0);
    EXPECT_EQ(s.Port, "/dev/pts/7");
    // No port at all and nothing typed: the port is missing, as after Cancel.
    options.listPorts = [] { return std::vector<std::string>{}; };
    ui.portPrompt = [&](PortPromptState& state) {
        seen = state;
        return true;
    };
    EXPECT_FALSE(LoadSettingsTest::load("[COM]\n", options));
    EXPECT_TRUE(seen.items.empty());
    EXPECT_EQ(seen.selected, -1);
    EXPECT_EQ(ui.texts().back(), kPortMessage);
#endif
}

TEST_F(PortPromptTest, CancelFailsTheLoadWithTheReadingError) {
    EXPECT_FALSE(load("[COM]\nBaud=9600\n"));
    EXPECT_EQ(ui.portPromptCalls, 1);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, kPortMessage);
    EXPECT_EQ(ui.messages[0].icon, MsgIcon::Exclamation);
    EXPECT_EQ(ui.quitCode, -1);
    EXPECT_EQ(failure.section, "COM");
    EXPECT_EQ(failure.key, "Port");
}

TEST_F(PortPromptTest, SelectedItemIsTrimmedAndWinsOverTypedText) {
    ui.portPrompt = [](PortPromptState& state) {
        state.items[2] = " COM3\t";
        state.selected = 2;
        state.editText = "COM9";
        return true;
    };
    ASSERT_TRUE(load("[COM]\n"));
    EXPECT_EQ(s.Port, "COM3");
}

TEST_F(PortPromptTest, BlankChoiceFailsLikeCancel) {
    ui.portPrompt = [](PortPromptState& state) {
        state.items[0] = "   ";
        return true;
    };
    EXPECT_FALSE(load("[COM]\n"));
    ASSERT_EQ(ui.texts(), std::vector<std::string>{kPortMessage});
}

TEST_F(PortPromptTest, SetDefaultWritesThePortBackAndKeepsTheRestOfTheFile) {
    ui.portPrompt = [](PortPromptState& state) {
        state.selected = 3;
        state.setDefault = true;
        return true;
    };
    ASSERT_TRUE(load("; bench 4\n[COM]\nPort=\nBaud=9600\n"));
    EXPECT_EQ(s.Port, "COM4");
    EXPECT_EQ(readFile(ini), "; bench 4\r\n[COM]\r\nPort=COM4\r\nBaud=9600\r\n");

    ui.portPrompt = [](PortPromptState& state) { return state.selected == 0; };
    ASSERT_TRUE(load("[COM]\nPort=\n"));
    EXPECT_EQ(readFile(ini), "[COM]\r\nPort=\r\n");
}

}  // namespace
}  // namespace kv58
