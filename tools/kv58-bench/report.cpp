#include "report.h"

#include <sys/utsname.h>

#include <algorithm>
#include <ctime>
#include <fstream>
#include <thread>

#include "base/text.h"

namespace kv58::bench {

namespace {

std::string jsonString(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            out += strprintf("\\u%04x", static_cast<unsigned char>(c));
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string jsonSpread(const Spread& s, int decimals) {
    return strprintf("{\"min\": %.*f, \"median\": %.*f, \"max\": %.*f}", decimals, s.min, decimals,
                     s.median, decimals, s.max);
}

std::string jsonSample(const Sample& sample) {
    const Floor& f = sample.floor;
    return strprintf(
        "{\"wall_ms\": %.3f, \"cpu_ms\": %.3f, \"floor_ms\": %.3f, \"pauses_ms\": %.3f, "
        "\"device_ms\": %.3f, \"bytes_sent\": %zu, \"bytes_received\": %zu}",
        static_cast<double>(sample.wallUs) / 1000, static_cast<double>(sample.cpuUs) / 1000,
        static_cast<double>(f.totalUs) / 1000, static_cast<double>(f.pausesUs) / 1000,
        static_cast<double>(f.deviceUs) / 1000, f.bytesSent, f.bytesReceived);
}

std::string cpuModel() {
    std::ifstream in("/proc/cpuinfo");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("model name", 0) == 0) {
            const size_t colon = line.find(':');
            if (colon != std::string::npos)
                return trim(line.substr(colon + 1));
        }
    }
    return "unknown";
}

}  // namespace

Spread spreadOf(std::vector<double> values) {
    if (values.empty())
        return {};
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    const double median = n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
    return {values.front(), median, values.back()};
}

Summary summarize(const Row& row) {
    std::vector<double> wall, floor, ratio, cpu;
    for (const Sample& s : row.samples) {
        wall.push_back(static_cast<double>(s.wallUs) / 1000);
        floor.push_back(static_cast<double>(s.floor.totalUs) / 1000);
        ratio.push_back(s.floor.totalUs > 0
                            ? static_cast<double>(s.wallUs) / static_cast<double>(s.floor.totalUs)
                            : 0);
        cpu.push_back(s.wallUs > 0
                          ? 100.0 * static_cast<double>(s.cpuUs) / static_cast<double>(s.wallUs)
                          : 0);
    }
    return {spreadOf(wall), spreadOf(floor), spreadOf(ratio), spreadOf(cpu)};
}

Machine thisMachine() {
    Machine m;
    m.cpu = cpuModel();
    m.cores = static_cast<int>(std::thread::hardware_concurrency());
    utsname u{};
    if (uname(&u) == 0)
        m.system = std::string(u.sysname) + " " + u.release;
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char buffer[32];
    std::strftime(buffer, sizeof buffer, "%Y-%m-%dT%H:%M:%SZ", &utc);
    m.date = buffer;
    return m;
}

std::string formatTable(const std::vector<Row>& rows, const std::vector<std::string>& notes) {
    std::string out = strprintf("%-8s %7s  %-8s %4s  %-27s %10s  %-23s %-17s\n", "port", "baud",
                                "op", "reps", "wall ms (min/median/max)", "floor ms",
                                "ratio (min/median/max)", "cpu % (min/med/max)");
    for (const Row& row : rows) {
        const Summary s = summarize(row);
        out += strprintf(
            "%-8s %7d  %-8s %4zu  %8.1f/%8.1f/%8.1f %10.1f  %6.3f/%6.3f/%6.3f   "
            "%4.1f/%4.1f/%4.1f\n",
            portLabel(row).c_str(), row.baud, operationName(row.op), row.samples.size(),
            s.wallMs.min, s.wallMs.median, s.wallMs.max, s.floorMs.median, s.ratio.min,
            s.ratio.median, s.ratio.max, s.cpuPercent.min, s.cpuPercent.median, s.cpuPercent.max);
    }
    for (const std::string& note : notes)
        out += note + "\n";
    return out;
}

std::string formatJson(const std::vector<Row>& rows, const Machine& machine, int repeat,
                       const std::vector<std::string>& notes) {
    std::string out = "{\n  \"machine\": {\"cpu\": " + jsonString(machine.cpu) +
                      strprintf(", \"cores\": %d", machine.cores) +
                      ", \"system\": " + jsonString(machine.system) +
                      ", \"date\": " + jsonString(machine.date) + "},\n" +
                      strprintf("  \"repeat\": %d,\n  \"results\": [", repeat);
    for (size_t i = 0; i < rows.size(); ++i) {
        const Row& row = rows[i];
        const Summary s = summarize(row);
        out += strprintf(
            "%s\n    {\"port\": \"%s\", \"baud\": %d, \"operation\": \"%s\", "
            "\"adapter_latency_ms\": %d, \"wall_ms\": %s, \"floor_ms\": %s, \"ratio\": %s, "
            "\"cpu_percent\": %s, \"samples\": [",
            i ? "," : "", portKindName(row.port), row.baud, operationName(row.op),
            row.adapterLatencyMs, jsonSpread(s.wallMs, 3).c_str(), jsonSpread(s.floorMs, 3).c_str(),
            jsonSpread(s.ratio, 4).c_str(), jsonSpread(s.cpuPercent, 2).c_str());
        for (size_t k = 0; k < row.samples.size(); ++k)
            out += (k ? ", " : "") + jsonSample(row.samples[k]);
        out += "]}";
    }
    out += "\n  ],\n  \"notes\": [";
    for (size_t i = 0; i < notes.size(); ++i)
        out += (i ? ", " : "") + jsonString(notes[i]);
    return out + "]\n}\n";
}

}  // namespace kv58::bench
