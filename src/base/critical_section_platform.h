// What a CriticalSection asks of its platform (posix_critical_section.cpp,
// win32_critical_section.cpp). Called by the outermost section only.
#pragma once

#include <string>

namespace kv58::critical_section_platform {

// From now on, requests to end the program wait.
void holdRequests();
// The request that came while held, named for the user ("interrupt (SIGINT)"); empty when
// none came.
std::string heldRequest();
// Requests take their usual course again; a held one does so now.
void releaseRequests();

}  // namespace kv58::critical_section_platform
