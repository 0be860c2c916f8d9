// kv58-sim as a user runs it.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include "sim/device_options.h"
#include "sim/shipped_images.h"
#include "support/program_run.h"
#include "support/temp_dir.h"

namespace kv58::test {
namespace {

const std::string kProgram = std::string(KV58_BIN_DIR) + "/kv58-sim";

// Reads one line from `fd`, waiting at most `timeoutMs` for each piece.
std::string readLine(int fd, int timeoutMs) {
    std::string line;
    char c = 0;
    pollfd p{fd, POLLIN, 0};
    while (poll(&p, 1, timeoutMs) == 1 && ::read(fd, &c, 1) == 1 && c != '\n')
        line += c;
    return line;
}

TEST(Kv58Sim, HelpNamesEveryOptionAndFault) {
    const ProgramRun run = runProgram("kv58-sim", {"--help"});
    EXPECT_EQ(run.exitCode, 0);
    for (const sim::OptionHelp& o : sim::deviceOptionHelp()) {
        EXPECT_TRUE(contains(run.out, std::string("--") + o.key + " ")) << o.key;
    }
    for (const char* item : {"--pty", "--write-password", "--write-patch", "lose-sent:N",
                             "power-loss:N", "swap:N", "answer-from:N", "program-change"}) {
        EXPECT_TRUE(contains(run.out, item)) << item;
    }
}

TEST(Kv58Sim, BadOptionsAreRefused) {
    ProgramRun run = runProgram("kv58-sim", {"--pty", "--colour", "red"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(contains(run.err, "unknown option 'colour' (accepted: serial, type,")) << run.err;
    run = runProgram("kv58-sim", {"--pty", "--loader"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(contains(run.err, "--loader needs a value")) << run.err;
}

TEST(Kv58Sim, WritesTheShippedFiles) {
    TempDir dir;
    const ProgramRun run = runProgram(
        "kv58-sim", {"--write-password", dir.file("pw.txt"), "--write-patch", dir.file("p.txt")});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(readFile(dir.file("pw.txt")), sim::passwordFileText());
    EXPECT_EQ(readFile(dir.file("p.txt")), sim::patchFileText());
}

TEST(Kv58Sim, PtyModeAnswersASynchronisationUntilTerminated) {
    int out[2];
    ASSERT_EQ(pipe(out), 0);
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        dup2(out[1], STDOUT_FILENO);
        ::close(out[0]);
        execl(kProgram.c_str(), "kv58-sim", "--pty", static_cast<char*>(nullptr));
        _exit(127);
    }
    ::close(out[1]);
    const std::string path = readLine(out[0], 5000);
    ASSERT_EQ(path.rfind("/dev/", 0), 0u) << "first line: '" << path << "'";
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    termios t{};
    tcgetattr(fd, &t);
    cfmakeraw(&t);
    tcsetattr(fd, TCSANOW, &t);
    const uint8_t sync = 0x80;
    ASSERT_EQ(::write(fd, &sync, 1), 1);
    pollfd p{fd, POLLIN, 0};
    uint8_t reply = 0;
    ASSERT_EQ(poll(&p, 1, 2000), 1);
    ASSERT_EQ(::read(fd, &reply, 1), 1);
    EXPECT_EQ(reply, 0x90);
    ::close(fd);
    kill(pid, SIGTERM);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    ::close(out[0]);
}

}  // namespace
}  // namespace kv58::test
#endif
