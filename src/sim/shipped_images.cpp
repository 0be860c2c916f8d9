#include "sim/shipped_images.h"

#include "sim/image_text.h"
#include "sim/transmitter_contents.h"

namespace kv58::sim {

std::string passwordFileText() {
    const auto password = firmwarePassword();
    return formatImageText({{kVectorAddress, {password.begin(), password.end()}}});
}

std::string patchFileText() {
    return formatImageText({{kPatchAddress, loaderPatch()}});
}

}  // namespace kv58::sim
