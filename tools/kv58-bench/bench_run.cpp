#include "bench_run.h"

#include <sys/resource.h>

#include <chrono>
#include <memory>

#include "base/text.h"
#include "bsl/segments.h"
#include "core/dialog_ids.h"
#include "core/main_dialog.h"
#include "device/flows.h"
#include "headless_app.h"
#include "sim/sim_port.h"
#include "sim_process.h"

namespace kv58::bench {

namespace {

int64_t cpuTimeUs() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto us = [](const timeval& tv) {
        return static_cast<int64_t>(tv.tv_sec) * 1'000'000 + tv.tv_usec;
    };
    return us(usage.ru_utime) + us(usage.ru_stime);
}

int64_t wallTimeUs() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// The port to open for a kind; a server process is started where one is needed.
bool preparePort(PortKind kind, int baud, int adapterLatencyMs, const std::string& log,
                 SimProcess& server, std::string& port, std::string& error) {
    const std::string line = std::to_string(baud) + ",8E1";
    switch (kind) {
        case PortKind::Sim:
            port = "sim:bench-" + std::to_string(baud) +
                   "?latency=" + std::to_string(adapterLatencyMs);
            return true;
        case PortKind::Pty:
            if (!server.start(simProgramPath(), {"--pty", "--line", line}, log, error))
                return false;
            port = server.firstLine();
            return true;
        case PortKind::Rfc2217:
            // The transmitter takes the line settings the client sets over the network.
            if (!server.start(simProgramPath(), {"--listen", "127.0.0.1:0"}, log, error))
                return false;
            port = server.firstLine();
            return true;
    }
    return false;
}

// The main dialog on one port, with a floor meter on its link and its clock.
class Bench {
public:
    Bench(const std::string& ini, int64_t characterUs, int64_t adapterHoldUs)
        : clock_(realClock(), meter_),
          dialog_(ui_, view_, clock_),
          ini_(ini),
          characterUs_(characterUs),
          timing_(simulatedDeviceTiming(adapterHoldUs)) {}

    bool start(std::string& error) {
        if (!dialog_.OnInitDialogWithIni(ini_))
            return fail("the first read failed", error);
        dialog_.link().addTraceObserver(&meter_);
        return true;
    }

    bool measure(Operation op, int round, Sample& sample, std::string& error) {
        ui_.clear();
        meter_.clear();
        const int64_t cpu0 = cpuTimeUs();
        const int64_t wall0 = wallTimeUs();
        const bool ok = run(op, round);
        sample.wallUs = wallTimeUs() - wall0;
        sample.cpuUs = cpuTimeUs() - cpu0;
        sample.floor = meter_.floor(characterUs_, timing_);
        return ok || fail(std::string(operationName(op)) + " failed", error);
    }

private:
    bool run(Operation op, int round) {
        Flows& flows = dialog_.flows();
        switch (op) {
            case Operation::Read:
                return flows.ReadDataKV58(false) && ui_.reports().empty();
            case Operation::Write: {
                // Alternate the output signal so that every round writes a real change.
                ListControl& outputs = dialog_.model().list(ids::kOutputList);
                outputs.setSelected(round % 2 == 0 ? outputs.count() - 1 : 0);
                flows.WriteDataKV58();
                return flows.lastWriteOutcome() == WriteOutcome::Confirmed && ui_.reports().empty();
            }
            case Operation::Segment: {
                // The device operation at the heart of a write: Segment A written back as
                // read (erase, programming run, verification), without the flow around it.
                TransmitterData& data = dialog_.data();
                return writeSegmentA(dialog_.link(), dialog_.settings().passwordFileNames(),
                                     data.segmentARead, ui_);
            }
            case Operation::Restore: {
                TransmitterData& data = dialog_.data();
                data.segmentBSaved = data.segmentBRead;
                data.segmentAWrite = data.segmentARead;
                flows.RestoreTransmitter();
                return ui_.reports().empty();
            }
        }
        return false;
    }

    bool fail(const std::string& what, std::string& error) const {
        error = what;
        if (!ui_.messages.empty())
            error += ": " + cp1252ToUtf8(ui_.messages.back().text);
        return false;
    }

    FloorMeter meter_;
    MeteredClock clock_;
    headless::QuietUi ui_;
    headless::QueueView view_;
    MainDialog dialog_;
    std::string ini_;
    int64_t characterUs_;
    DeviceTiming timing_;
};

}  // namespace

const char* portKindName(PortKind kind) {
    switch (kind) {
        case PortKind::Sim:
            return "sim";
        case PortKind::Pty:
            return "pty";
        case PortKind::Rfc2217:
            return "rfc2217";
    }
    return "?";
}

std::optional<PortKind> parsePortKind(const std::string& text) {
    for (PortKind k : {PortKind::Sim, PortKind::Pty, PortKind::Rfc2217}) {
        if (text == portKindName(k))
            return k;
    }
    return std::nullopt;
}

const char* operationName(Operation op) {
    switch (op) {
        case Operation::Read:
            return "read";
        case Operation::Write:
            return "write";
        case Operation::Segment:
            return "segment";
        case Operation::Restore:
            return "restore";
    }
    return "?";
}

std::string portLabel(const Row& row) {
    std::string label = portKindName(row.port);
    return row.adapterLatencyMs > 0 ? label + "+" + std::to_string(row.adapterLatencyMs) + "ms"
                                    : label;
}

bool runCell(PortKind port, int baud, int repeat, std::vector<Row>& rows, std::string& error,
             const CellOptions& options) {
    sim::registerSimPortScheme();
    sim::forgetSimDevices();
    headless::WorkFolder folder;
    SimProcess server;
    std::string portName;
    if (!preparePort(port, baud, options.adapterLatencyMs, folder.file("kv58-sim.log"), server,
                     portName, error)) {
        return false;
    }
    LineSettings line;
    line.baud = static_cast<uint32_t>(baud);
    Bench bench(folder.writeSettings(portName, baud), characterTimeUs(line),
                int64_t{options.adapterLatencyMs} * 1000);
    if (!bench.start(error))
        return false;
    const size_t first = rows.size();
    for (Operation op : options.operations)
        rows.push_back({port, baud, op, {}, options.adapterLatencyMs});
    for (int round = 0; round < repeat; ++round) {
        for (size_t i = 0; i < options.operations.size(); ++i) {
            Sample sample;
            if (!bench.measure(options.operations[i], round, sample, error))
                return false;
            rows[first + i].samples.push_back(sample);
        }
    }
    return true;
}

}  // namespace kv58::bench
