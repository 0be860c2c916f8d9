#include "base/host_name.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace kv58 {

std::string hostName() {
    char name[256] = "";
#ifdef _WIN32
    DWORD size = sizeof name;
    if (!GetComputerNameExA(ComputerNameDnsHostname, name, &size) || size == 0)
        return "unknown";
    return std::string(name, size);
#else
    if (gethostname(name, sizeof name - 1) != 0 || name[0] == '\0')
        return "unknown";
    name[sizeof name - 1] = '\0';
    return name;
#endif
}

}  // namespace kv58
