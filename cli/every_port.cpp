#include "every_port.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>

#include "base/paths.h"

#ifndef _WIN32
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;
#endif

namespace kv58::cli {

bool runsOnSeveralPorts(const std::string& command, const std::vector<std::string>& args) {
    if (command == "backup")
        return !args.empty() && args.front() == "restore";
    return command == "read" || command == "write" || command == "dump" || command == "program";
}

#ifdef _WIN32

int runOnEveryPort(const Context&, const std::string&, const std::vector<std::string>&) {
    std::fprintf(stderr,
                 "kv58ctl: several ports in one command are not available on Windows yet; "
                 "start one kv58ctl per port\n");
    return kExitFailure;
}

#else

namespace {

// Output a run may leave in memory; beyond it the rest is dropped (a dump of the program is
// about 13 KB).
constexpr size_t kMaxCapture = 1 << 20;

// The runs' processes, for the forwarding of SIGTERM and SIGHUP (the terminal's Ctrl-C reaches
// them directly).
pid_t g_children[256];
volatile sig_atomic_t g_childCount = 0;

void forwardSignal(int signal) {
    for (sig_atomic_t i = 0; i < g_childCount; ++i)
        kill(g_children[i], signal);
}

struct Child {
    PortOutcome outcome;
    pid_t pid = -1;
    int out = -1;
    int err = -1;
    std::chrono::steady_clock::time_point start;
};

std::vector<std::string> childArguments(const Context& ctx, const std::string& command,
                                        const std::string& port) {
    std::vector<std::string> args{programPath()};
    if (ctx.iniGiven)
        args.insert(args.end(), {"--ini", ctx.iniPath});
    if (ctx.logFile)
        args.insert(args.end(), {"--log", *ctx.logFile});
    if (ctx.trace)
        args.push_back("--trace");
    args.insert(args.end(), {"--json", "--yes", "--port", port, command});
    args.insert(args.end(), ctx.args.begin(), ctx.args.end());
    return args;
}

bool spawn(Child& child, const std::vector<std::string>& args) {
    int out[2], err[2];
    if (pipe2(out, O_CLOEXEC) != 0)
        return false;
    if (pipe2(err, O_CLOEXEC) != 0) {
        close(out[0]), close(out[1]);
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    child.start = std::chrono::steady_clock::now();
    const int rc = posix_spawn(&child.pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]), close(err[1]);
    if (rc != 0) {
        close(out[0]), close(err[0]);
        return false;
    }
    child.out = out[0], child.err = err[0];
    return true;
}

// Reads what is there; false at the end of the stream (the descriptor is closed then).
bool drain(int& fd, std::string& into) {
    char buffer[4096];
    const ssize_t got = read(fd, buffer, sizeof buffer);
    if (got > 0) {
        const size_t room = kMaxCapture - std::min(kMaxCapture, into.size());
        into.append(buffer, std::min(static_cast<size_t>(got), room));
        return true;
    }
    if (got < 0 && errno == EINTR)
        return true;
    close(fd);
    fd = -1;
    return false;
}

void finish(Child& child, size_t done, size_t total) {
    int status = 0;
    while (waitpid(child.pid, &status, 0) < 0 && errno == EINTR) {
    }
    child.outcome.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    child.outcome.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - child.start).count();
    std::fprintf(stderr, "kv58ctl: [%zu/%zu] %s\n", done, total,
                 progressLine(child.outcome).c_str());
}

// Serves every pipe until each run has closed its outputs, reporting each run as it ends.
void gather(std::vector<Child>& children) {
    size_t done = 0;
    for (;;) {
        std::vector<pollfd> fds;
        std::vector<std::pair<Child*, bool> > owners;  // run, and whether it is its stdout
        for (Child& c : children) {
            for (const bool isOut : {true, false}) {
                const int fd = isOut ? c.out : c.err;
                if (fd >= 0) {
                    fds.push_back({fd, POLLIN, 0});
                    owners.emplace_back(&c, isOut);
                }
            }
        }
        if (fds.empty())
            return;
        if (poll(fds.data(), fds.size(), -1) < 0)
            continue;  // a signal; the forwarding has been done
        for (size_t i = 0; i < fds.size(); ++i) {
            if (fds[i].revents == 0)
                continue;
            Child& c = *owners[i].first;
            const bool isOut = owners[i].second;
            drain(isOut ? c.out : c.err, isOut ? c.outcome.out : c.outcome.err);
            if (c.out < 0 && c.err < 0)
                finish(c, ++done, children.size());
        }
    }
}

}  // namespace

int runOnEveryPort(const Context& ctx, const std::string& command,
                   const std::vector<std::string>& ports) {
    if (ports.size() > sizeof g_children / sizeof g_children[0]) {
        std::fprintf(stderr, "kv58ctl: at most %zu ports at once\n",
                     sizeof g_children / sizeof g_children[0]);
        return kExitFailure;
    }
    std::fprintf(stderr, "kv58ctl: %s on %zu ports at once\n", command.c_str(), ports.size());
    std::vector<Child> children(ports.size());
    signal(SIGTERM, forwardSignal);
    signal(SIGHUP, forwardSignal);
    for (size_t i = 0; i < ports.size(); ++i) {
        Child& c = children[i];
        c.outcome.port = ports[i];
        if (spawn(c, childArguments(ctx, command, ports[i]))) {
            g_children[g_childCount] = c.pid;
            g_childCount = g_childCount + 1;
        } else {
            c.outcome.exitCode = kExitFailure;
            c.outcome.err = "kv58ctl: cannot start the run of this port\n";
        }
    }
    // Set only now, as the runs would inherit it: the terminal's Ctrl-C reaches them, they
    // hold it where they must, and the summary still follows.
    signal(SIGINT, SIG_IGN);
    gather(children);
    std::vector<PortOutcome> outcomes;
    for (const Child& c : children)
        outcomes.push_back(c.outcome);
    if (ctx.json) {
        std::fputs(jsonArray(outcomes).c_str(), stdout);
    } else {
        // What a run printed that is not its JSON object (the image of a dump) comes first.
        for (const PortOutcome& o : outcomes) {
            if (const std::string text = textOutputOf(o); !text.empty())
                std::printf("== %s ==\n%s", o.port.c_str(), text.c_str());
        }
        std::printf("%s", summaryTable(outcomes).c_str());
    }
    return worstExitCode(outcomes);
}

#endif

}  // namespace kv58::cli
