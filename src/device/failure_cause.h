// Why a device operation failed, in one message that follows the operation's own ones (which
// say only that reading or writing failed): the port's reason, the file that cannot be opened
// and the folders searched for it, or the link's last message.
#pragma once

#include <string>

#include "bsl/bsl_link.h"

namespace kv58 {

// The cause of the last failed operation on `link` (Windows-1252). `messageShown`: the
// operation's messages already held the link's message, which is then not repeated. Empty
// when there is nothing to add.
std::string failureCause(const BslLink& link, bool messageShown);

}  // namespace kv58
