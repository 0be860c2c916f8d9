// What the parent of a several-port run reports: progress lines, the table, the JSON array.
#include <algorithm>
#include <optional>

#include "base/json.h"
#include "base/text.h"
#include "every_port.h"

namespace kv58::cli {

namespace {

// The run's own object, when it printed one.
std::optional<JsonValue> objectOf(const PortOutcome& o) {
    std::optional<JsonValue> value = parseJson(o.out);
    if (value && value->type() == JsonValue::Type::Object)
        return value;
    return std::nullopt;
}

// The last non-empty line of standard error, without the program's prefix.
std::string lastMessage(const PortOutcome& o) {
    std::string text = o.err;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    // A message of several lines goes on with indented lines: it is taken whole.
    size_t start = text.find_last_of('\n');
    while (start != std::string::npos && text.compare(start + 1, 2, "  ") == 0 && start > 0)
        start = text.find_last_of('\n', start - 1);
    std::string line = text.substr(start == std::string::npos ? 0 : start + 1);
    if (line.rfind("kv58ctl: ", 0) == 0)
        line.erase(0, 9);
    for (size_t at = line.find("\n  "); at != std::string::npos; at = line.find("\n  ", at))
        line.replace(at, 3, " ");  // one line, for the table
    return line;
}

// A run that succeeded says so by its outcome ("confirmed") or its exit code; one that
// failed by its last message.
std::string resultOf(const PortOutcome& o) {
    if (o.exitCode == 0) {
        const std::optional<JsonValue> object = objectOf(o);
        const JsonValue* outcome = object ? object->find("outcome") : nullptr;
        return outcome && outcome->type() == JsonValue::Type::String ? outcome->asString() : "ok";
    }
    const std::string message = lastMessage(o);
    if (!message.empty())
        return message;
    return o.exitCode < 0 ? "ended abnormally" : strprintf("failed (exit %d)", o.exitCode);
}

std::string serialOf(const PortOutcome& o) {
    const std::optional<JsonValue> object = objectOf(o);
    const JsonValue* serial = object ? object->find("serial") : nullptr;
    return serial && serial->type() == JsonValue::Type::String ? serial->asString() : "-";
}

int severity(int code) {
    switch (code) {
        case 0:
            return 0;
        case 1:
            return 1;
        case 2:
            return 2;
        default:
            return 3;  // damaged or unknown, and a run that did not end normally
    }
}

}  // namespace

int worstExitCode(const std::vector<PortOutcome>& outcomes) {
    int worst = 0;
    for (const PortOutcome& o : outcomes)
        worst = std::max(worst, severity(o.exitCode));
    return worst;
}

std::string progressLine(const PortOutcome& o) {
    return strprintf("%s: %s (%.1f s)", o.port.c_str(), resultOf(o).c_str(), o.seconds);
}

std::string summaryTable(const std::vector<PortOutcome>& outcomes) {
    size_t portWidth = 4, serialWidth = 13;
    for (const PortOutcome& o : outcomes) {
        portWidth = std::max(portWidth, o.port.size());
        serialWidth = std::max(serialWidth, serialOf(o).size());
    }
    const auto row = [&](const std::string& port, const std::string& serial,
                         const std::string& time, const std::string& result) {
        return strprintf("%-*s  %-*s  %7s  %s\n", static_cast<int>(portWidth), port.c_str(),
                         static_cast<int>(serialWidth), serial.c_str(), time.c_str(),
                         result.c_str());
    };
    std::string table = row("port", "serial number", "time", "result");
    for (const PortOutcome& o : outcomes)
        table += row(o.port, serialOf(o), strprintf("%.1f s", o.seconds), resultOf(o));
    return table;
}

std::string textOutputOf(const PortOutcome& o) {
    if (const std::optional<JsonValue> object = objectOf(o)) {
        const JsonValue* image = object->find("tiTxt");
        return image && image->type() == JsonValue::Type::String ? image->asString() : "";
    }
    return o.out;
}

std::string jsonArray(const std::vector<PortOutcome>& outcomes) {
    std::string out = "[";
    for (const PortOutcome& o : outcomes) {
        const std::optional<JsonValue> object = objectOf(o);
        std::string item = "{\"port\": " + jsonString(o.port);
        // A run's failure object brings its own "ok" (with its "error"); a key is never given
        // twice.
        if (!object || !object->find("ok"))
            item += std::string(", \"ok\": ") + (o.exitCode == 0 ? "true" : "false");
        item += strprintf(", \"exitCode\": %d", o.exitCode);
        if (!object || !object->find("outcome"))
            item += ", \"outcome\": " + jsonString(resultOf(o));
        if (o.exitCode != 0)
            item += ", \"message\": " + jsonString(lastMessage(o));
        if (object) {
            // The run's own members follow: its object without the opening brace.
            const size_t brace = o.out.find('{');
            const std::string rest = o.out.substr(brace + 1);
            const bool empty = rest.find_first_not_of(" \t\r\n}") == std::string::npos;
            item += empty ? "}" : ", " + rest.substr(rest.find_first_not_of(" \t\r\n"));
            while (!item.empty() && (item.back() == '\n' || item.back() == '\r'))
                item.pop_back();
        } else {
            item += (o.out.empty() ? "" : ", \"output\": " + jsonString(o.out)) + "}";
        }
        out += (out.size() > 1 ? ",\n " : "") + item;
    }
    return out + "]\n";
}

}  // namespace kv58::cli
