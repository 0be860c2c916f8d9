#include "device/production_log.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <fstream>

#include "base/host_name.h"
#include "base/json.h"
#include "base/text.h"
#include "base/timestamp.h"
#include "device/choices.h"

namespace kv58 {

namespace {

std::string configurationJson(const std::optional<LoggedConfiguration>& c) {
    if (!c)
        return "null";
    return strprintf(
        "{\"word\": %d, \"output\": %s, \"unit\": %s, \"tmin\": %d, \"tmax\": %d, "
        "\"display\": %s, \"alarmRelay\": %s, \"factoryCalibration\": %s}",
        c->word, jsonString(c->output).c_str(), jsonString(c->unit).c_str(), c->tMin, c->tMax,
        jsonString(c->display).c_str(), c->alarmRelay ? "true" : "false",
        c->factoryCalibration ? "true" : "false");
}

// Reads the members of a parsed line; the first missing or mistyped one is the fault.
class Fields {
public:
    explicit Fields(const JsonValue& object) : object_(object) {}

    void text(const char* key, std::string& out) {
        if (const JsonValue* v = take(key, JsonValue::Type::String))
            out = v->asString();
    }
    template <typename Int>
    void integer(const char* key, Int& out) {
        const JsonValue* v = take(key, JsonValue::Type::Number);
        if (!v)
            return;
        const double n = v->asNumber();
        if (n != std::floor(n) || n < -9e15 || n > 9e15) {
            fail(key, "a whole number");
            return;
        }
        out = static_cast<Int>(n);
    }
    void flag(const char* key, bool& out) {
        if (const JsonValue* v = take(key, JsonValue::Type::Bool))
            out = v->asBool();
    }
    // Lines written before the relay became a boolean hold "Yes" or "No".
    void flagOrYesNo(const char* key, bool& out) {
        const JsonValue* v = object_.find(key);
        if (v && v->type() == JsonValue::Type::String) {
            out = v->asString() == "Yes";
            return;
        }
        flag(key, out);
    }
    void configuration(const char* key, std::optional<LoggedConfiguration>& out) {
        const JsonValue* v = object_.find(key);
        if (v && v->isNull()) {
            out.reset();
            return;
        }
        if (!(v = take(key, JsonValue::Type::Object)))
            return;
        Fields inner(*v);
        LoggedConfiguration c;
        inner.integer("word", c.word);
        inner.text("output", c.output);
        inner.text("unit", c.unit);
        inner.integer("tmin", c.tMin);
        inner.integer("tmax", c.tMax);
        inner.text("display", c.display);
        inner.flagOrYesNo("alarmRelay", c.alarmRelay);
        inner.flag("factoryCalibration", c.factoryCalibration);
        if (!inner.fault().empty())
            fail(key, inner.fault());
        out = c;
    }
    const std::string& fault() const { return fault_; }

private:
    const JsonValue* take(const char* key, JsonValue::Type type) {
        const JsonValue* v = object_.find(key);
        if (!v) {
            fail(key, "missing");
            return nullptr;
        }
        if (v->type() != type) {
            fail(key, "of the wrong type");
            return nullptr;
        }
        return v;
    }
    void fail(const char* key, const std::string& what) {
        if (fault_.empty())
            fault_ = strprintf("\"%s\" %s", key, what.c_str());
    }

    const JsonValue& object_;
    std::string fault_;
};

bool passes(const LogRecord& record, const LogFilter& filter, std::string& fault) {
    if (filter.serial && record.serial != *filter.serial)
        return false;
    if (!filter.sinceUnixMs)
        return true;
    const std::optional<int64_t> time = parseIso8601(record.time);
    if (!time) {
        fault = "\"time\" is not an ISO 8601 time: " + record.time;
        return false;
    }
    return *time >= *filter.sinceUnixMs;
}

}  // namespace

LoggedConfiguration loggedConfiguration(const TransmitterConfig& config, char degreeSign) {
    const ConfigTexts texts = describeConfigWord(config.nBitMaske, degreeSign);
    LoggedConfiguration c;
    c.word = config.nBitMaske;
    c.tMin = config.nTempVon;
    c.tMax = config.nTempBis;
    c.output = cp1252ToUtf8(texts.output);
    c.unit = cp1252ToUtf8(texts.unit);
    c.display = cp1252ToUtf8(texts.display);
    c.alarmRelay = (config.nBitMaske & config_bits::kRelay) != 0;
    c.factoryCalibration = texts.factoryCalibration;
    return c;
}

void describeTransmitter(LogRecord& record, const TransmitterConfig& config, char degreeSign) {
    record.serial = cp1252ToUtf8(config.strID);
    record.type = cp1252ToUtf8(describeConfigWord(config.nBitMaske, degreeSign).type);
    record.softwareVersion = cp1252ToUtf8(config.strVersion);
}

std::string formatLogLine(const LogRecord& r) {
    std::string line = "{\"time\": " + jsonString(r.time);
    line += ", \"station\": " + jsonString(r.station);
    line += ", \"program\": " + jsonString(r.program);
    line += ", \"operation\": " + jsonString(r.operation);
    line += ", \"port\": " + jsonString(r.port);
    line += ", \"serial\": " + jsonString(r.serial);
    line += ", \"type\": " + jsonString(r.type);
    line += ", \"softwareVersion\": " + jsonString(r.softwareVersion);
    line += ", \"before\": " + configurationJson(r.before);
    line += ", \"after\": " + configurationJson(r.after);
    line += ", \"outcome\": " + jsonString(r.outcome);
    line += strprintf(", \"exitCode\": %d, \"attempts\": %d, \"durationMs\": %lld", r.exitCode,
                      r.attempts, static_cast<long long>(r.durationMs));
    line += ", \"backupFile\": " + jsonString(r.backupFile);
    line += strprintf(", \"backupEntry\": %d}\n", r.backupEntry);
    return line;
}

bool parseLogLine(std::string_view line, LogRecord& record, std::string& error) {
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.remove_suffix(1);
    std::string why;
    const std::optional<JsonValue> value = parseJson(line, &why);
    if (!value) {
        error = "not JSON (" + why + ")";
        return false;
    }
    if (value->type() != JsonValue::Type::Object) {
        error = "not a JSON object";
        return false;
    }
    LogRecord r;
    Fields f(*value);
    f.text("time", r.time);
    f.text("station", r.station);
    f.text("program", r.program);
    f.text("operation", r.operation);
    f.text("port", r.port);
    f.text("serial", r.serial);
    f.text("type", r.type);
    f.text("softwareVersion", r.softwareVersion);
    f.configuration("before", r.before);
    f.configuration("after", r.after);
    f.text("outcome", r.outcome);
    f.integer("exitCode", r.exitCode);
    f.integer("attempts", r.attempts);
    f.integer("durationMs", r.durationMs);
    f.text("backupFile", r.backupFile);
    f.integer("backupEntry", r.backupEntry);
    if (!f.fault().empty()) {
        error = f.fault();
        return false;
    }
    record = std::move(r);
    return true;
}

ProductionLog::ProductionLog(std::string program)
    : program_(std::move(program)), station_(hostName()) {}

bool ProductionLog::open(const std::string& path, std::string& error) {
    path_ = path;
    failure_.clear();
    file_.close();
    if (path_.empty())
        return true;
    std::string reason;
    if (file_.open(path_, reason))
        return true;
    failure_ = strprintf("cannot write the production log %s: %s", path_.c_str(), reason.c_str());
    error = failure_;
    return false;
}

bool ProductionLog::ready(std::string& error) const {
    if (!configured() || failure_.empty())
        return true;
    error = failure_;
    return false;
}

bool ProductionLog::append(LogRecord record, std::string& error) {
    if (!configured())
        return true;
    if (!ready(error))
        return false;
    record.time = formatIso8601(zonedTimeNow());
    record.station = station_;
    record.program = program_;
    std::string reason;
    if (file_.append(formatLogLine(record), reason))
        return true;
    failure_ = strprintf("the production log %s did not take the %s of %s: %s", path_.c_str(),
                         record.operation.c_str(), record.port.c_str(), reason.c_str());
    error = failure_;
    return false;
}

bool readProductionLog(
    const std::string& path, const LogFilter& filter,
    const std::function<void(const LogRecord&, std::string_view line)>& onRecord,
    const std::function<void(long lineNumber, const std::string& fault)>& onDamaged,
    std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot open the production log " + path;
        return false;
    }
    std::string line;
    long number = 0;
    bool tooLong = false;
    const auto finishLine = [&] {
        ++number;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        std::string fault;
        LogRecord record;
        if (tooLong) {
            onDamaged(number, strprintf("longer than %zu bytes", kMaxLogLineLength));
        } else if (!line.empty()) {
            if (!parseLogLine(line, record, fault))
                onDamaged(number, fault);
            else if (passes(record, filter, fault))
                onRecord(record, line);
            else if (!fault.empty())
                onDamaged(number, fault);
        }
        line.clear();
        tooLong = false;
    };
    // Read in blocks into a bounded line, so that a file without line ends costs no more
    // memory than the longest record.
    std::array<char, 64 * 1024> block{};
    while (in.read(block.data(), block.size()) || in.gcount() > 0) {
        std::string_view rest(block.data(), static_cast<size_t>(in.gcount()));
        while (!rest.empty()) {
            const size_t end = rest.find('\n');
            const std::string_view part = rest.substr(0, end);
            const size_t room = kMaxLogLineLength - std::min(kMaxLogLineLength, line.size());
            line.append(part.substr(0, room));
            tooLong = tooLong || part.size() > room;
            if (end == std::string_view::npos)
                break;
            finishLine();
            rest.remove_prefix(end + 1);
        }
    }
    if (in.bad()) {
        error = "cannot read the production log " + path;
        return false;
    }
    if (!line.empty() || tooLong)
        finishLine();
    return true;
}

}  // namespace kv58
