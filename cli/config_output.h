// Prints the actual configuration as the main dialog shows it, as text or JSON.
#pragma once

#include "core/dialog_model.h"

namespace kv58::cli {

void printConfiguration(const DialogModel& model, int32_t word, bool json);

}  // namespace kv58::cli
