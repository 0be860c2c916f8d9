#include "batch_run.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>

#include "base/paths.h"
#include "base/text.h"
#include "core/dialog_ids.h"
#include "core/main_dialog.h"
#include "device/flows.h"
#include "headless_app.h"
#include "report.h"
#include "sim/shipped_images.h"
#include "sim/sim_port.h"
#include "sim_process.h"
#include "wire_floor.h"

namespace kv58::bench {

namespace {

// The two outputs the rounds write in turn, so that every write changes the transmitter.
constexpr const char* kOutputs[] = {"4 - 20 mA", "0 - 10 V"};

int64_t steadyUs() {
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

int64_t microseconds(const timeval& tv) {
    return static_cast<int64_t>(tv.tv_sec) * 1'000'000 + tv.tv_usec;
}

std::string ctlProgramPath() {
    const std::string dir = dirName(programPath());
    return (dir.empty() ? std::string(".") : dir) + "/kv58ctl";
}

// User and system time a running process has used so far (Linux /proc).
int64_t processCpuUs(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), {});
    const size_t end = text.rfind(')');  // the program name may hold blanks
    if (end == std::string::npos)
        return 0;
    std::vector<std::string> fields;
    std::string field;
    for (size_t i = end + 2; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == ' ') {
            fields.push_back(field);
            field.clear();
        } else {
            field += text[i];
        }
    }
    // Fields from the state on: utime and stime are the 12th and 13th.
    if (fields.size() < 13)
        return 0;
    const int64_t ticks = std::stoll(fields[11]) + std::stoll(fields[12]);
    return ticks * 1'000'000 / sysconf(_SC_CLK_TCK);
}

// The floor of one port alone: what `kv58ctl write` runs (the start-up read, then the write
// with its reread), on the virtual clock against the in-process transmitter.
int64_t floorOfOnePort(int baud, const std::string& folder) {
    sim::registerSimPortScheme();
    sim::forgetSimDevices();
    const std::string ini = folder + "/floor.ini";
    if (!headless::writeBytes(ini, headless::settingsText("sim:batch-floor", baud)))
        return 0;
    FloorMeter meter;
    VirtualClock virtualClock;
    MeteredClock clock(virtualClock, meter);
    headless::QuietUi ui;
    headless::QueueView view;
    MainDialog dialog(ui, view, clock);
    dialog.link().addTraceObserver(&meter);
    if (!dialog.OnInitDialogWithIni(ini))
        return 0;
    ListControl& outputs = dialog.model().list(ids::kOutputList);
    outputs.setSelected(outputs.selectString(-1, kOutputs[0]));
    dialog.onCommand(ids::kWriteNow);
    dialog.link().removeTraceObserver(&meter);
    sim::forgetSimDevices();
    if (dialog.flows().lastWriteOutcome() != WriteOutcome::Confirmed)
        return 0;
    LineSettings line;
    line.baud = static_cast<uint32_t>(baud);
    return meter.floor(characterTimeUs(line), simulatedDeviceTiming()).totalUs;
}

// One port of the bench: its server and its folder with settings and password file.
struct Station {
    SimProcess server;
    std::string folder;
};

bool setUpStation(Station& s, int index, int baud, const std::string& parent, std::string& error) {
    s.folder = parent + "/port-" + std::to_string(index);
    if (::mkdir(s.folder.c_str(), 0755) != 0) {
        error = "cannot create " + s.folder + ": " + std::strerror(errno);
        return false;
    }
    const std::string serial = "BENCH-" + std::to_string(index);
    const std::vector<std::string> args =
        index % 2 == 0 ? std::vector<std::string>{"--pty", "--line", std::to_string(baud) + ",8E1",
                                                  "--serial", serial}
                       : std::vector<std::string>{"--listen", "127.0.0.1:0", "--serial", serial};
    if (!s.server.start(simProgramPath(), args, s.folder + "/kv58-sim.log", error))
        return false;
    if (!headless::writeBytes(s.folder + "/KV58.ini",
                              headless::settingsText(s.server.firstLine(), baud)) ||
        !headless::writeBytes(s.folder + "/" + sim::kPasswordFileName, sim::passwordFileText())) {
        error = "cannot write the settings into " + s.folder;
        return false;
    }
    return true;
}

struct Child {
    pid_t pid = -1;
    int64_t startUs = 0;
    int64_t endUs = 0;
    int status = 0;
};

// Starts `program` with `args` (args[0] the program) in `folder`, its output to kv58ctl.out
// there and its input from /dev/null.
Child startIn(const std::string& folder, const std::string& program,
              std::vector<std::string> args) {
    Child c;
    c.startUs = steadyUs();
    c.pid = ::fork();
    if (c.pid == 0) {
        if (::chdir(folder.c_str()) != 0)
            ::_exit(126);
        const int out = ::open("kv58ctl.out", O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out >= 0) {
            ::dup2(out, STDOUT_FILENO);
            ::dup2(out, STDERR_FILENO);
        }
        const int in = ::open("/dev/null", O_RDONLY);
        if (in >= 0)
            ::dup2(in, STDIN_FILENO);
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    return c;
}

// Starts `kv58ctl write --output TEXT --yes` in the station's folder.
Child startWrite(const Station& s, const std::string& program, const char* output) {
    return startIn(s.folder, program,
                   {program, "--ini", "KV58.ini", "write", "--output", output, "--yes"});
}

// Starts one `kv58ctl --port P1 --port P2 … write --output TEXT --yes` for every station, from
// the folder of the first (its settings; --port names each station's port).
Child startOneCommand(const std::vector<Station>& stations, const std::string& program,
                      const char* output) {
    std::vector<std::string> args{program, "--ini", "KV58.ini"};
    for (const Station& s : stations)
        args.insert(args.end(), {"--port", s.server.firstLine()});
    args.insert(args.end(), {"write", "--output", output, "--yes"});
    return startIn(stations.front().folder, program, std::move(args));
}

// Runs one batch: all writes started at once, each waited for with its resource use.
bool runOnce(std::vector<Station>& stations, int round, bool oneCommand, BatchSample& sample,
             std::string& error) {
    std::vector<int64_t> simCpu0;
    for (const Station& s : stations)
        simCpu0.push_back(processCpuUs(s.server.pid()));
    std::vector<Child> children;
    const std::string program = ctlProgramPath();
    const int64_t start = steadyUs();
    if (oneCommand) {
        children.push_back(startOneCommand(stations, program, kOutputs[round % 2]));
    } else {
        for (const Station& s : stations)
            children.push_back(startWrite(s, program, kOutputs[round % 2]));
    }
    for (size_t left = children.size(); left > 0; --left) {
        int status = 0;
        rusage usage{};
        const pid_t pid = ::wait4(-1, &status, 0, &usage);
        if (pid < 0) {
            error = std::string("wait4: ") + std::strerror(errno);
            return false;
        }
        Child* child = nullptr;
        for (Child& c : children)
            child = c.pid == pid ? &c : child;
        if (!child) {
            error = "a kv58-sim process ended during the batch";
            return false;
        }
        child->endUs = steadyUs();
        child->status = status;
        sample.ctlCpuUs += microseconds(usage.ru_utime) + microseconds(usage.ru_stime);
        sample.slowestUs = std::max(sample.slowestUs, child->endUs - child->startUs);
        sample.wallUs = std::max(sample.wallUs, child->endUs - start);
    }
    for (size_t i = 0; i < stations.size(); ++i)
        sample.simCpuUs += processCpuUs(stations[i].server.pid()) - simCpu0[i];
    for (size_t i = 0; i < children.size(); ++i) {
        const int st = children[i].status;
        if (!WIFEXITED(st) || WEXITSTATUS(st) != 0) {
            std::ifstream out(stations[i].folder + "/kv58ctl.out");
            error = "the write on " + stations[i].server.firstLine() +
                    " failed: " + std::string((std::istreambuf_iterator<char>(out)), {});
            return false;
        }
    }
    return true;
}

double share(int64_t part, int64_t whole) {
    return whole > 0 ? 100.0 * static_cast<double>(part) / static_cast<double>(whole) : 0;
}

}  // namespace

bool runBatch(int ports, int baud, int repeat, bool oneCommand, std::vector<BatchRow>& rows,
              std::string& error) {
    headless::WorkFolder folder;
    const int64_t floorUs = floorOfOnePort(baud, folder.path());
    if (floorUs <= 0) {
        error = "the floor of one port could not be computed (its write failed)";
        return false;
    }
    std::vector<Station> stations(static_cast<size_t>(ports));
    for (int i = 0; i < ports; ++i) {
        if (!setUpStation(stations[static_cast<size_t>(i)], i, baud, folder.path(), error))
            return false;
    }
    BatchRow row{ports, baud, oneCommand, {}};
    for (int round = 0; round < repeat; ++round) {
        BatchSample sample;
        sample.floorUs = floorUs;
        if (!runOnce(stations, round, oneCommand, sample, error))
            return false;
        row.samples.push_back(sample);
    }
    rows.push_back(row);
    return true;
}

std::string formatBatchTable(const std::vector<BatchRow>& rows) {
    std::string out =
        strprintf("%5s %-5s %7s %4s  %-27s %10s  %-23s %-17s %-17s %-14s\n", "ports", "form",
                  "baud", "reps", "batch wall ms (min/med/max)", "floor ms", "ratio (min/med/max)",
                  "kv58ctl cpu % core", "per process %", "servers cpu %");
    for (const BatchRow& row : rows) {
        std::vector<double> wall, ratio, ctl, perProcess, sims;
        for (const BatchSample& s : row.samples) {
            wall.push_back(static_cast<double>(s.wallUs) / 1000);
            ratio.push_back(static_cast<double>(s.wallUs) / static_cast<double>(s.floorUs));
            ctl.push_back(share(s.ctlCpuUs, s.wallUs));
            perProcess.push_back(share(s.ctlCpuUs / row.ports, s.slowestUs));
            sims.push_back(share(s.simCpuUs, s.wallUs));
        }
        const Spread w = spreadOf(wall), r = spreadOf(ratio), c = spreadOf(ctl),
                     p = spreadOf(perProcess), m = spreadOf(sims);
        out += strprintf(
            "%5d %-5s %7d %4zu  %8.1f/%8.1f/%8.1f %10.1f  %6.3f/%6.3f/%6.3f   %4.1f/%4.1f/%4.1f    "
            "%4.1f/%4.1f/%4.1f    %4.1f/%4.1f/%4.1f\n",
            row.ports, row.oneCommand ? "one" : "procs", row.baud, row.samples.size(), w.min,
            w.median, w.max, static_cast<double>(row.samples.front().floorUs) / 1000, r.min,
            r.median, r.max, c.min, c.median, c.max, p.min, p.median, p.max, m.min, m.median,
            m.max);
    }
    return out;
}

std::string formatBatchJson(const std::vector<BatchRow>& rows) {
    std::string out = "[";
    for (size_t i = 0; i < rows.size(); ++i) {
        out += strprintf("%s\n    {\"ports\": %d, \"form\": \"%s\", \"baud\": %d, \"samples\": [",
                         i ? "," : "", rows[i].ports,
                         rows[i].oneCommand ? "one command" : "processes", rows[i].baud);
        for (size_t k = 0; k < rows[i].samples.size(); ++k) {
            const BatchSample& s = rows[i].samples[k];
            out += strprintf(
                "%s{\"wall_ms\": %.3f, \"floor_ms\": %.3f, \"slowest_process_ms\": %.3f, "
                "\"kv58ctl_cpu_ms\": %.3f, \"servers_cpu_ms\": %.3f}",
                k ? ", " : "", static_cast<double>(s.wallUs) / 1000,
                static_cast<double>(s.floorUs) / 1000, static_cast<double>(s.slowestUs) / 1000,
                static_cast<double>(s.ctlCpuUs) / 1000, static_cast<double>(s.simCpuUs) / 1000);
        }
        out += "]}";
    }
    return out + "\n  ]";
}

}  // namespace kv58::bench
