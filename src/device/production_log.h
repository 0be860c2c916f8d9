// The production log: one JSON line per device operation, appended by every program of the
// system (the desktop program, kv58ctl) and by every process of a bench to one shared file.
//
// A line, keys in this order (texts UTF-8; "before" and "after" are null when unknown,
// "backupFile" is "" and "backupEntry" 0 when no backup entry was written or restored):
//
//   {"time": "2026-12-07T16:05:54.123+01:00", "station": "bench-3",
//    "program": "kv58ctl 2.08.000", "operation": "write", "port": "/dev/ttyUSB0",
//    "serial": "K58-104711", "type": "KV58-FT", "softwareVersion": "01.02",
//    "before": {"word": 45075, "output": "0 - 10 V", "unit": "°C", "tmin": -20, "tmax": 80,
//               "display": "%RH / °C", "alarmRelay": false, "factoryCalibration": true},
//    "after": {...}, "outcome": "written and confirmed", "exitCode": 0, "attempts": 1,
//    "durationMs": 10383, "backupFile": "backup\\K58-104711.dat", "backupEntry": 3}
//
// Operations: read, write, restore (a backup entry put back), dump, program, probe. The exit
// code is the one kv58ctl gives for the outcome, also when the desktop program logs it.
//
// Writing: each line is one write call on the file opened for appending (AppendFile), flushed
// before the operation reports, so that lines of many processes never mix. A log that is
// configured but cannot be opened, or that failed to take a line, stops every further device
// operation before it starts: a bench must not program transmitters it cannot account for.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "base/append_file.h"
#include "device/infomem.h"

namespace kv58 {

// A configuration as the log records it: the word and what the dialog shows for it (UTF-8).
struct LoggedConfiguration {
    int32_t word = 0;
    int32_t tMin = 0;
    int32_t tMax = 0;
    std::string output;
    std::string unit;
    std::string display;
    bool alarmRelay = false;
    bool factoryCalibration = false;

    bool operator==(const LoggedConfiguration&) const = default;
};

struct LogRecord {
    std::string time;     // ISO 8601 with the zone's offset; filled in by ProductionLog
    std::string station;  // host name; filled in by ProductionLog
    std::string program;  // "kv58ctl 2.08.000"; filled in by ProductionLog
    std::string operation;
    std::string port;
    std::string serial;
    std::string type;
    std::string softwareVersion;
    std::optional<LoggedConfiguration> before;
    std::optional<LoggedConfiguration> after;
    std::string outcome;
    int exitCode = 0;
    int attempts = 0;
    int64_t durationMs = 0;
    std::string backupFile;
    int backupEntry = 0;

    bool operator==(const LogRecord&) const = default;
};

// The configuration with its texts; the degree sign of the settings makes the unit text.
LoggedConfiguration loggedConfiguration(const TransmitterConfig& config, char degreeSign);
// Serial number, transmitter type and software version of the record from a configuration.
void describeTransmitter(LogRecord& record, const TransmitterConfig& config, char degreeSign);

// The record as one JSON line, "\n" at its end.
std::string formatLogLine(const LogRecord& record);
// Reads a line that formatLogLine wrote (line end optional). False with the reason in `error`
// when it is not JSON or lacks a key or has one of the wrong type; unknown keys are ignored.
bool parseLogLine(std::string_view line, LogRecord& record, std::string& error);

class ProductionLog {
public:
    // `program`: name and version, as the lines name the program that wrote them.
    explicit ProductionLog(std::string program);

    // Opens the log at `path` (created when missing); an empty path means no log. False with
    // `error` naming the file, the system's reason and the consequence.
    [[nodiscard]] bool open(const std::string& path, std::string& error);
    bool configured() const { return !path_.empty(); }
    const std::string& path() const { return path_; }

    // Whether a device operation may start: no log is configured, or it is open and took
    // every line so far. False with the reason in `error` otherwise.
    [[nodiscard]] bool ready(std::string& error) const;

    // Appends the record with time, station and program filled in, and flushes it. True
    // without writing when no log is configured; false with `error` when the line could not
    // be written (and from then on ready() is false).
    [[nodiscard]] bool append(LogRecord record, std::string& error);

private:
    std::string program_;
    std::string station_;
    std::string path_;
    AppendFile file_;
    std::string failure_;  // why the log cannot be used; empty while it can
};

// Lines longer than this are not records (a damaged file must not exhaust the memory).
constexpr size_t kMaxLogLineLength = 64 * 1024;

struct LogFilter {
    std::optional<std::string> serial;   // exact serial number
    std::optional<int64_t> sinceUnixMs;  // records at or after this moment
};

// Reads the log at `path` line by line: `onRecord` gets each record that passes the filter
// with its line as written, `onDamaged` the number (from 1) and fault of each line that is
// not a record. Empty lines are skipped. False with `error` naming the file when it cannot
// be opened or read.
bool readProductionLog(
    const std::string& path, const LogFilter& filter,
    const std::function<void(const LogRecord&, std::string_view line)>& onRecord,
    const std::function<void(long lineNumber, const std::string& fault)>& onDamaged,
    std::string& error);

}  // namespace kv58
