// JSON text for kv58ctl's --json output: the library's string literals, in kv58ctl's namespace.
#pragma once

#include "base/json.h"

namespace kv58::cli {

using kv58::jsonCp1252;
using kv58::jsonString;

}  // namespace kv58::cli
