// Prints the actual configuration as the main dialog shows it, as text or JSON.
#pragma once

#include <string>

#include "core/dialog_model.h"

namespace kv58::cli {

// `extraJson` holds further members of the JSON object ("\"outcome\": \"confirmed\""), or is
// empty.
void printConfiguration(const DialogModel& model, int32_t word, bool json,
                        const std::string& extraJson = "");

}  // namespace kv58::cli
