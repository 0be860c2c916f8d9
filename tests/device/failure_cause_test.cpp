// After the messages of a failed read, write or restore, one more gives the cause: the port's
// or the system's reason, the file not found and where it was looked for. Never an empty box.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "base/files.h"
#include "base/paths.h"
#include "core/dialog_ids.h"
#include "device/flow_fixture.h"
#include "device/flows.h"
#include "device/messages.h"

namespace kv58::test {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

// A folder as the messages name it.
std::string canonical(const std::string& folder) {
    return pathForMessage(std::filesystem::canonical(folder).string());
}

TEST_F(FlowTest, AMissingPasswordFileIsNamedWithTheFoldersSearched) {
    std::filesystem::remove(dir.file("KV58-PW.TXT"));
    EXPECT_FALSE(start());
    const std::vector<std::string> texts = ui.texts();
    ASSERT_EQ(texts.size(), 5u);
    EXPECT_EQ(texts[3], "ERROR reading data!");
    EXPECT_EQ(texts[4],
              "The file KV58-PW.TXT was not found; looked in: " + canonical(dir.path()) + ".");

    // Started from another folder, both the working folder and the settings file's are named.
    ui.clear();
    std::filesystem::create_directory(dir.file("elsewhere"));
    const WorkingDirectory elsewhere(dir.file("elsewhere"));
    dialog->onCommand(ids::kReadNow);
    ASSERT_FALSE(ui.texts().empty());
    EXPECT_EQ(ui.texts().back(),
              "The file KV58-PW.TXT was not found; looked in: " + canonical(dir.file("elsewhere")) +
                  ", " + canonical(dir.path()) + ".");
}

TEST_F(FlowTest, ARefusedPasswordIsExplainedOnceByTheRead) {
    // A loader that refuses every password was explained by the read itself.
    writeFile(dir.file("KV58-PW.TXT"),
              "@FFE0\nAA AA AA AA AA AA AA AA AA AA AA AA AA AA AA AA\n"
              "AA AA AA AA AA AA AA AA AA AA AA AA AA AA AA AA\nq\n");
    EXPECT_FALSE(start());
    const std::vector<std::string> texts = ui.texts();
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(texts.back(), text::kErrorReadingData);
}

TEST_F(FlowTest, AFolderThatCannotBeWrittenGivesTheSystemsReasonAndNoEmptyBox) {
    // What a read-only working folder does to a write, made so that it holds for any user:
    // the backup folder is a file, and the temporary image's name is a folder.
    writeFile(dir.file("backup"), "");
    std::filesystem::create_directory(dir.file("TEMP.TXT"));
    writeSettings("", "", "MaxWriteCnt=2\r\n");
    ASSERT_TRUE(start());
    choose(ids::kOutputList, "4 - 20 mA");
    ui.clear();
    writeFromMenu();
    EXPECT_EQ(dialog->flows().lastWriteOutcome(), WriteOutcome::NotSent);
    const std::vector<std::string> texts = ui.texts();
    EXPECT_THAT(texts, Not(Contains(std::string())));

    const auto after = [&](const std::string& message) {
        const auto at = std::find(texts.begin(), texts.end(), message);
        return at == texts.end() || at + 1 == texts.end() ? std::string() : *(at + 1);
    };
    const std::string backup = nativePath(".\\backup\\K58-104711.dat");
    EXPECT_THAT(after("Datei .\\backup\\K58-104711.dat konnte nicht ge\xF6"
                      "ffnet/erstellt werden!"),
                HasSubstr(backup + " (in the working folder " + canonical(dir.path()) +
                          ") cannot be written: "));
    EXPECT_THAT(after("Fehler beim \xD6"
                      "ffnen der Zieldatei <TEMP.TXT>!"),
                HasSubstr("TEMP.TXT (in the working folder " + canonical(dir.path()) +
                          ") cannot be written: "));
    EXPECT_EQ(std::count(texts.begin(), texts.end(),
                         "Fehler beim \xD6"
                         "ffnen der Zieldatei <TEMP.TXT>!"),
              2)
        << "one for each attempt";
}

}  // namespace
}  // namespace kv58::test
