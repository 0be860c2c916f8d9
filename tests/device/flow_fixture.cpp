#include "device/flow_fixture.h"

#include <filesystem>

#include "core/dialog_ids.h"
#include "settings/limits_key.h"
#include "sim/sim_port.h"

namespace kv58::test {

namespace fs = std::filesystem;

FlowTest::FlowTest() {
    sim::registerSimPortScheme();
    sim::forgetSimDevices();
    for (const char* file : {"PATCH.TXT", "KV58-PW.TXT"}) {
        fs::copy_file(std::string(KV58_SOURCE_DIR) + "/resources/shipped/" + file, dir.file(file));
    }
    writeSettings("");
}

FlowTest::~FlowTest() {
    sim::forgetSimDevices();
}

void FlowTest::writeSettings(const std::string& simOptions, const std::string& comExtra,
                             const std::string& programExtra) {
    port = "sim:flow" + (simOptions.empty() ? std::string() : "?" + simOptions);
    const std::string key = EncodeKey({-40, 120, 20, -40, 248, 36});
    writeFile(dir.file("KV58.ini"),
              "[COM]\r\nPort=" + port + "\r\nBaud=9600\r\nParity=even\r\n" + comExtra +
                  "[Program]\r\nSaveData=Ja\r\nSavePath=.\\backup\r\nKey01=" + key + "\r\n" +
                  programExtra + "[PWfile]\r\nPW01=KV58-PW.TXT\r\n");
}

bool FlowTest::start() {
    dialog = std::make_unique<MainDialog>(ui, view, clock);
    return dialog->OnInitDialogWithIni(dir.file("KV58.ini"));
}

sim::SimDevice& FlowTest::device() {
    std::string error;
    auto device = sim::deviceFor(port, error);
    if (!device)
        throw std::runtime_error(error);
    return *device;
}

void FlowTest::choose(int listId, const std::string& text) {
    ASSERT_GE(dialog->model().list(listId).selectString(-1, text), 0) << text;
}

void FlowTest::writeFromMenu() {
    view.posted.clear();
    dialog->onCommand(ids::kMenuWrite);
    ASSERT_EQ(view.posted, std::vector<int>{ids::kWriteNow});
    dialog->onCommand(ids::kWriteNow);
}

SegmentData FlowTest::deviceSegment(uint16_t address) {
    SegmentData s{};
    for (size_t i = 0; i < s.size(); ++i)
        s[i] = device().memory().read(static_cast<uint16_t>(address + i));
    return s;
}

ProgramImage FlowTest::deviceProgram() {
    ProgramImage p{};
    for (size_t i = 0; i < p.size(); ++i)
        p[i] = device().memory().read(static_cast<uint16_t>(kProgramAddress + i));
    return p;
}

std::vector<std::string> FlowTest::infoTexts() const {
    std::vector<std::string> out;
    for (const auto& e : ui.infoEvents) {
        if (e.rfind("text:", 0) == 0)
            out.push_back(e.substr(5));
    }
    return out;
}

}  // namespace kv58::test
