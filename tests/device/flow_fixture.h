// A main dialog started against an in-process simulated transmitter on the virtual clock,
// with a settings file, the password file and the loader patch in a temporary working
// directory, and a recording user interface.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "base/clock.h"
#include "core/dialog_model.h"
#include "core/main_dialog.h"
#include "sim/sim_device.h"
#include "support/recording_ui.h"
#include "support/temp_dir.h"

namespace kv58::test {

struct PostingView : DialogView {
    void refresh() override { ++refreshes; }
    void post(int commandId) override { posted.push_back(commandId); }
    void endDialog(int result) override { ended = result; }
    void showAbout() override { ++aboutShown; }
    void showContact() override { ++contactShown; }
    int refreshes = 0;
    std::vector<int> posted;
    int ended = -1;
    int aboutShown = 0;
    int contactShown = 0;
};

class FlowTest : public ::testing::Test {
protected:
    FlowTest();
    ~FlowTest() override;

    // Writes the settings file; `extra` lines go into [Program] ("MaxWriteCnt=1").
    void writeSettings(const std::string& simOptions, const std::string& comExtra = "",
                       const std::string& programExtra = "");
    // Builds the dialog and runs its initialisation; returns OnInitDialog's result.
    bool start();
    // The device behind the settings' port name.
    sim::SimDevice& device();
    // Selects a list item by its text as the user would.
    void choose(int listId, const std::string& text);
    // "set new configuration" from the menu, the posted command delivered.
    void writeFromMenu();
    // Segment A of the device.
    SegmentData deviceSegment(uint16_t address);
    ProgramImage deviceProgram();
    std::vector<std::string> infoTexts() const;

    TempDir dir;
    WorkingDirectory cwd{dir.path()};
    VirtualClock clock;
    RecordingUi ui;
    PostingView view;
    std::string port;
    std::unique_ptr<MainDialog> dialog;
};

}  // namespace kv58::test
