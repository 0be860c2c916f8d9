// The product-code decoder on arbitrary codes, with tables of the harness's own:
// - the result is 0 or 1; an accepted code showed no message;
// - every accepted code's fields lie within the tables: the output signal is one row of
//   "Output", the temperature range one row of "Temperatur" in the unit ordered (none for a
//   model without temperature), the model a KV58-F designation, the flags 0 or 1;
// - applied to the main dialog, a code gives the same selections the second time as the
//   first (applying it depends on nothing that the first application changed).
#include <array>
#include <string>
#include <tuple>
#include <vector>

#include "core/dialog_ids.h"
#include "core/dialog_model.h"
#include "fuzz_support.h"
#include "productcode/product_code_decoder.h"

using namespace kv58;

namespace {

struct OutputRow {
    const char* code;
    int min, max;
    const char* unit;
};
// The last rows are the cases a table may hold: a value that switches the row off, and a row
// whose unit no list item carries.
constexpr std::array<OutputRow, 6> kOutputs = {{{"1", 0, 10, "V"},
                                                {"2", 0, 5, "V"},
                                                {"5", 0, 20, "mA"},
                                                {"6", 4, 20, "mA"},
                                                {"a", -3, 7, "bar"},
                                                {"9", 0, 1, "?"}}};

struct TemperatureRow {
    const char* code;
    int minC, maxC, minF, maxF;
};
constexpr std::array<TemperatureRow, 4> kTemperatures = {{{"T01", 0, 50, 32, 122},
                                                          {"T02", -20, 80, -4, 176},
                                                          {"T05", -40, 120, -40, 248},
                                                          {"x7z", 90, -10, 194, 14}}};

std::string tablesFile() {
    std::string ini = "[Output]\r\n";
    for (const OutputRow& r : kOutputs) {
        ini += std::string("Min") + r.code + "=" + std::to_string(r.min) + "\r\n";
        ini += std::string("Max") + r.code + "=" + std::to_string(r.max) + "\r\n";
        ini += std::string("Unit") + r.code + "=" + r.unit + "\r\n";
    }
    ini += "Min8=?\r\nMax8=1\r\nUnit8=V\r\n[Temperatur]\r\n";
    for (const TemperatureRow& r : kTemperatures) {
        for (const auto& [suffix, value] :
             {std::pair{"MinC", r.minC}, {"MaxC", r.maxC}, {"MinF", r.minF}, {"MaxF", r.maxF}}) {
            ini += std::string(r.code) + suffix + "=" + std::to_string(value) + "\r\n";
        }
    }
    return ini;
}

const std::string& settingsPath() {
    static const std::string path = [] {
        const std::string& p = fuzz::inputFile("product_code.ini");
        const std::string ini = tablesFile();
        fuzz::writeInput(p, reinterpret_cast<const uint8_t*>(ini.data()), ini.size());
        return p;
    }();
    return path;
}

void checkWithinTables(const ProductCodeDecoder& d) {
    bool outputFound = false;
    for (const OutputRow& r : kOutputs) {
        outputFound |= d.getOutputMin() == r.min && d.getOutputMax() == r.max &&
                       d.getOutputUnit() == r.unit && std::string(r.unit) != "?";
    }
    KV58_FUZZ_CHECK(outputFound);
    const std::string model = d.getModel();
    KV58_FUZZ_CHECK(model.rfind("KV58-F", 0) == 0 && model.size() <= 8);
    KV58_FUZZ_CHECK(d.getCelsius() == 0 || d.getCelsius() == 1);
    KV58_FUZZ_CHECK(d.getAlarmRelay() == 0 || d.getAlarmRelay() == 1);
    const bool withTemperature = model.size() > 6 && (model[6] == 'T' || model[6] == 't');
    if (!withTemperature) {
        KV58_FUZZ_CHECK(d.getTempMin() == 0 && d.getTempMax() == 0);
        KV58_FUZZ_CHECK(d.getDisplay() == "RH");
        return;
    }
    bool rangeFound = false;
    for (const TemperatureRow& r : kTemperatures) {
        rangeFound |= d.getCelsius() ? d.getTempMin() == r.minC && d.getTempMax() == r.maxC
                                     : d.getTempMin() == r.minF && d.getTempMax() == r.maxF;
    }
    KV58_FUZZ_CHECK(rangeFound);
    // "TH", or Code 15: its one or two characters.
    KV58_FUZZ_CHECK(!d.getDisplay().empty() && d.getDisplay().size() <= 2);
}

struct NullView final : DialogView {
    void refresh() override {}
    void post(int) override {}
    void endDialog(int) override {}
    void showAbout() override {}
    void showContact() override {}
};

// What the new-configuration column shows.
using Selections = std::tuple<std::vector<int>, int32_t, int32_t, int32_t, std::string>;

Selections selectionsOf(const DialogModel& model) {
    std::vector<int> selected;
    for (int id :
         {ids::kTypeList, ids::kOutputList, ids::kUnitList, ids::kDisplayList, ids::kRelayList}) {
        selected.push_back(model.list(id).selected());
    }
    return {selected, model.tMin(), model.tMax(), model.buildConfigWord(),
            model.control(ids::kTMinUnit).text};
}

void checkAppliedTwice(const std::string& code) {
    fuzz::SilentUi ui;
    NullView view;
    Settings settings;
    settings.IniPath = settingsPath();
    settings.Limits = {-40, 120, 20, -40, 248, 36};
    TransmitterData data;
    data.actual = {0xB013, -20, 80, "01.02", "SN"};
    data.newConfig = data.actual;
    DialogModel model(ui, view, settings, data);
    model.showEntries();
    model.hideStartupControls();
    model.ShowActualConfiguration();
    model.FillTransmitterTypes();
    model.setControlText(ids::kProductCode, code);
    KV58_FUZZ_CHECK(model.ApplyProductCode());
    const Selections first = selectionsOf(model);
    KV58_FUZZ_CHECK(model.ApplyProductCode());
    KV58_FUZZ_CHECK(selectionsOf(model) == first);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::SilentUi ui;
    ProductCodeDecoder decoder(ui);
    decoder.setIniFile(settingsPath());
    const std::string code(reinterpret_cast<const char*>(data), size);
    const int accepted = decoder.parse(code);
    KV58_FUZZ_CHECK(accepted == 0 || accepted == 1);
    if (!accepted)
        return 0;
    KV58_FUZZ_CHECK(ui.messages == 0);
    checkWithinTables(decoder);
    checkAppliedTwice(code);
    return 0;
}
