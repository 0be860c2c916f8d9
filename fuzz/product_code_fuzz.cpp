// The product-code decoder on arbitrary codes, with the demo settings file's tables.
#include <string>

#include "fuzz_support.h"
#include "productcode/product_code_decoder.h"

using namespace kv58;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static fuzz::SilentUi ui;
    ProductCodeDecoder decoder(ui);
    decoder.setIniFile(KV58_SOURCE_DIR "/resources/shipped/KV58.ini");
    const std::string code(reinterpret_cast<const char*>(data), size);
    ui.messages = 0;
    const int accepted = decoder.parse(code);
    KV58_FUZZ_CHECK(accepted == 0 || accepted == 1);
    if (accepted) {
        KV58_FUZZ_CHECK(ui.messages == 0);
        KV58_FUZZ_CHECK(!decoder.getModel().empty());
        decoder.getDisplay();
        decoder.getOutputUnit();
    }
    return 0;
}
