#include "port_list_file.h"

#include <algorithm>
#include <set>

#include "base/files.h"
#include "base/text.h"

namespace kv58::cli {

namespace {

constexpr size_t kMaxPorts = 256;

}  // namespace

bool readPortsFile(const std::string& path, std::vector<std::string>& ports, std::string& error) {
    std::string bytes;
    switch (readWholeFile(path, bytes)) {
        case ReadResult::Missing:
            error = "the ports file " + path + " does not exist";
            return false;
        case ReadResult::Failed:
            error = "the ports file " + path + " cannot be read";
            return false;
        case ReadResult::Ok:
            break;
    }
    size_t lineNumber = 0;
    for (size_t start = 0; start < bytes.size();) {
        const size_t end = std::min(bytes.find('\n', start), bytes.size());
        const std::string line = trim(std::string_view(bytes).substr(start, end - start), " \t\r");
        start = end + 1;
        ++lineNumber;
        if (line.empty() || line[0] == '#')
            continue;
        if (ports.size() == kMaxPorts) {
            error = strprintf("the ports file %s: line %zu: more than %zu ports", path.c_str(),
                              lineNumber, kMaxPorts);
            return false;
        }
        ports.push_back(line);
    }
    return true;
}

std::string portGivenTwice(const std::vector<std::string>& ports) {
    std::set<std::string> seen;
    for (const std::string& port : ports) {
        if (!seen.insert(port).second)
            return port;
    }
    return {};
}

}  // namespace kv58::cli
