// The product-code field of the main dialog: a decoded product code sets the choices of the
// new configuration.
#include "base/text.h"
#include "core/dialog_ids.h"
#include "core/dialog_model.h"
#include "productcode/display_text.h"
#include "productcode/product_code_decoder.h"

namespace kv58 {

namespace {
constexpr const char* kInvalidProductCode = "Invalid ProduktCode!";
}  // namespace

bool DialogModel::ApplyProductCode() {
    takeEntries();
    if (productCode_.empty())
        return false;
    ProductCodeDecoder decoder(ui_);
    decoder.setIniFile(settings_.IniPath);
    if (!decoder.parse(productCode_)) {
        ui_.messageBox(kInvalidProductCode, MsgIcon::Exclamation);
        moveFocus(ids::kProductCode);
        return false;
    }
    // The type first: applying it refills the other lists, which the code's own choices
    // then override.
    list(ids::kTypeList).selectString(0, decoder.getModel());
    ApplyTransmitterType();

    list(ids::kOutputList)
        .selectString(0, strprintf("%d - %d %s", decoder.getOutputMin(), decoder.getOutputMax(),
                                   decoder.getOutputUnit().c_str()));

    const std::string unit =
        std::string(1, settings_.TSym) + (decoder.getCelsius() == 1 ? "C" : "F");
    ListControl& units = list(ids::kUnitList);
    units.selectString(0, unit);
    if (units.hasSelection() && list(ids::kTypeList).hasSelection()) {
        textMembers_[ids::kTMinUnit] = units.selectedText();
        textMembers_[ids::kTMaxUnit] = units.selectedText();
        showEntries();
        refillDisplayList(units.selectedText());
    }

    list(ids::kDisplayList)
        .selectString(
            0, displaySearchText(decoder.getDisplay(), settings_.TSym, decoder.getCelsius()));
    list(ids::kRelayList).selectString(0, decoder.getAlarmRelay() == 1 ? "Yes" : "No");
    relayChosen_ = true;
    tMin_ = decoder.getTempMin();
    tMax_ = decoder.getTempMax();
    showEntries();
    return true;
}

}  // namespace kv58
