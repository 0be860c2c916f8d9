// Network serial ports between the programs and peers we did not write: kv58-sim --listen
// with kv58ctl and with pyserial's client; kv58ctl through pyserial's PortManager and through
// ser2net in front of kv58-sim --pty. A peer that is not installed skips its test with a
// message; scripts/setup installs them (Debian python3-serial, ser2net).
#include <gtest/gtest.h>

#ifndef _WIN32
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "settings/limits_key.h"
#include "support/program_run.h"
#include "support/temp_dir.h"

namespace kv58::test {
namespace {

const std::string kBin = KV58_BIN_DIR;
const std::string kScripts = std::string(KV58_SOURCE_DIR) + "/scripts/";
// Debian's python3-serial belongs to the system interpreter; another python3 may come first
// on PATH and lack it.
const std::string kPython = "/usr/bin/python3";

// A program started for a test, stopped (SIGTERM, then SIGKILL) when the test ends however
// it ends. Standard output is read line by line, or with `keepOutput` false goes with
// standard error to the file.
class Spawned {
public:
    Spawned(const std::vector<std::string>& argv, const std::string& errFile,
            bool keepOutput = true) {
        int out[2];
        if (pipe(out) != 0)
            return;
        pid_ = fork();
        if (pid_ == 0) {
            const int err = ::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            dup2(keepOutput ? out[1] : err, STDOUT_FILENO);
            dup2(err, STDERR_FILENO);
            const int null = ::open("/dev/null", O_RDONLY);
            dup2(null, STDIN_FILENO);
            std::vector<char*> args;
            for (const std::string& a : argv)
                args.push_back(const_cast<char*>(a.c_str()));
            args.push_back(nullptr);
            execv(args[0], args.data());
            _exit(127);
        }
        ::close(out[1]);
        out_ = out[0];
    }
    ~Spawned() {
        stop();
        if (out_ >= 0)
            ::close(out_);
    }

    // One line of standard output; empty when none comes within `timeoutMs`.
    std::string readLine(int timeoutMs = 5000) {
        std::string line;
        char c = 0;
        pollfd p{out_, POLLIN, 0};
        while (poll(&p, 1, timeoutMs) == 1 && ::read(out_, &c, 1) == 1 && c != '\n')
            line += c;
        return line;
    }
    // Everything on standard output until the program closes it (at most `timeoutMs`).
    std::string readAll(int timeoutMs) {
        std::string all;
        char buffer[512];
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd p{out_, POLLIN, 0};
            if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) != 1)
                break;
            const ssize_t n = ::read(out_, buffer, sizeof buffer);
            if (n <= 0)
                break;
            all.append(buffer, static_cast<size_t>(n));
        }
        return all;
    }
    // Sends SIGTERM and returns the exit code (-1 when it did not exit by itself in 5 s).
    int stop() {
        if (pid_ <= 0)
            return exitCode_;
        kill(pid_, SIGTERM);
        return wait(5000);
    }
    // Waits for the program to end; -1 (after SIGKILL) when it does not within `timeoutMs`.
    int wait(int timeoutMs) {
        if (pid_ <= 0)
            return exitCode_;
        int status = 0;
        for (int waited = 0; waitpid(pid_, &status, WNOHANG) == 0; waited += 10) {
            if (waited >= timeoutMs) {
                kill(pid_, SIGKILL);
                waitpid(pid_, &status, 0);
                pid_ = -1;
                return exitCode_ = -1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        pid_ = -1;
        return exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    pid_t pid_ = -1;
    int out_ = -1;
    int exitCode_ = -1;
};

bool pyserialInstalled() {
    return std::system((kPython + " -c 'import serial.rfc2217' 2>/dev/null").c_str()) == 0;
}

std::string ser2netProgram() {
    for (const char* path : {"/usr/sbin/ser2net", "/usr/bin/ser2net", "/usr/local/sbin/ser2net"}) {
        if (access(path, X_OK) == 0)
            return path;
    }
    return "";
}

// A TCP port that was free a moment ago (for a server that cannot choose its own).
uint16_t freePort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t length = sizeof a;
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length);
    ::close(fd);
    return ntohs(a.sin_port);
}

bool acceptsConnections(uint16_t port, int timeoutMs) {
    for (int waited = 0; waited < timeoutMs; waited += 50) {
        const int fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
        ::close(fd);
        if (ok)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

class NetworkPeers : public ::testing::Test {
protected:
    NetworkPeers() {
        // A fast line keeps the runs short; the transfers are those of the demo.
        writeFile(ini,
                  "[COM]\r\nPort=COM1\r\nBaud=115200\r\nParity=even\r\n"
                  "[Program]\r\nWaitSeg=0\r\nKey01=" +
                      EncodeKey({-40, 120, 20, -40, 248, 36}) +
                      "\r\n[PWfile]\r\nPW01=KV58-PW.TXT\r\n");
        writeFile(dir.file("KV58-PW.TXT"),
                  readFile(std::string(KV58_SOURCE_DIR) + "/resources/shipped/KV58-PW.TXT"));
    }
    ProgramRun ctl(const std::string& port, std::vector<std::string> args) {
        args.insert(args.begin(), {"--ini", ini, "--port", port});
        return kv58ctl(args, dir.path());
    }
    // The simulated transmitter on a pseudo-terminal at 115200 baud; its path.
    std::string startPty() {
        pty_ = std::make_unique<Spawned>(
            std::vector<std::string>{kBin + "/kv58-sim", "--pty", "--line", "115200,8E1"},
            dir.file("pty.err"));
        return pty_->readLine();
    }
    // Reads the transmitter; then writes a new output signal and reads it back.
    void read(const std::string& port) {
        const ProgramRun r = ctl(port, {"read"});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_TRUE(contains(r.out, "Serial number:       K58-104711")) << r.out;
    }
    void readAndWrite(const std::string& port) {
        read(port);
        ProgramRun r = ctl(port, {"write", "--output", "4 - 20 mA", "--yes"});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        r = ctl(port, {"read"});
        EXPECT_TRUE(contains(r.out, "Output signal:       4 - 20 mA")) << r.out;
    }

    TempDir dir;
    std::string ini = dir.file("KV58.ini");
    std::unique_ptr<Spawned> pty_;
};

TEST_F(NetworkPeers, Kv58ctlReadsAndWritesThroughKv58SimListenWhichEndsOnSigterm) {
    Spawned sim({kBin + "/kv58-sim", "--listen", "0"}, dir.file("sim.err"));
    const std::string port = sim.readLine();
    ASSERT_EQ(port.rfind("rfc2217://127.0.0.1:", 0), 0u) << "first line: '" << port << "'";
    readAndWrite(port);
    EXPECT_EQ(sim.stop(), 0);
    const std::string log = readFile(dir.file("sim.err"));
    EXPECT_TRUE(contains(log, "client 127.0.0.1:")) << log;
    EXPECT_TRUE(contains(log, " left (")) << log;
}

TEST_F(NetworkPeers, Kv58SimRefusesBadListenOptions) {
    ProgramRun r = runProgram("kv58-sim", {"--listen", "localhost:telnet"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(contains(r.err,
                         "port \"telnet\" is not a number from 0 to 65535; expected "
                         "PORT, HOST:PORT or [IPV6]:PORT"))
        << r.err;
    r = runProgram("kv58-sim", {"--listen", "0", "--pty"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(contains(r.err, "--pty and --listen exclude each other")) << r.err;
    Spawned first({kBin + "/kv58-sim", "--listen", "0"}, dir.file("first.err"));
    const std::string taken = first.readLine();
    r = runProgram("kv58-sim", {"--listen", taken.substr(taken.rfind(':') + 1)});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(contains(r.err, "cannot listen on 127.0.0.1:")) << r.err;
}

TEST_F(NetworkPeers, PyserialClientAgainstKv58SimListen) {
    if (!pyserialInstalled())
        GTEST_SKIP() << "pyserial is missing for " << kPython
                     << " (Debian python3-serial; scripts/setup installs it)";
    Spawned sim({kBin + "/kv58-sim", "--listen", "0"}, dir.file("sim.err"));
    const std::string port = sim.readLine();
    ASSERT_FALSE(port.empty());
    Spawned client({kPython, kScripts + "rfc2217_pyserial_client.py", port},
                   dir.file("client.err"));
    const std::string out = client.readAll(20'000);
    EXPECT_EQ(client.wait(5000), 0) << out << readFile(dir.file("client.err"));
    for (const char* line :
         {"negotiated", "silent before the entry sequence", "synchronisation answered",
          "mass erase ok", "erased-device password ok", "read of erased Segment A ok",
          "line settings accepted", "baudrate 5000000 refused",
          "synchronisation answered after the line changes"}) {
        EXPECT_TRUE(contains(out, std::string(line) + "\n")) << line << " missing in:\n" << out;
    }
}

TEST_F(NetworkPeers, Kv58ctlThroughPyserialPortManagerInFrontOfThePseudoTerminal) {
    if (!pyserialInstalled())
        GTEST_SKIP() << "pyserial is missing for " << kPython
                     << " (Debian python3-serial; scripts/setup installs it)";
    const std::string pty = startPty();
    ASSERT_EQ(pty.rfind("/dev/", 0), 0u) << pty;
    Spawned server({kPython, kScripts + "rfc2217_pyserial_server.py", pty}, dir.file("server.err"));
    const std::string port = server.readLine();
    ASSERT_EQ(port.rfind("rfc2217://127.0.0.1:", 0), 0u)
        << "first line: '" << port << "' " << readFile(dir.file("server.err"));
    readAndWrite(port);
}

TEST_F(NetworkPeers, Kv58ctlThroughSer2netInFrontOfThePseudoTerminal) {
    const std::string ser2net = ser2netProgram();
    if (ser2net.empty())
        GTEST_SKIP() << "ser2net is not installed (Debian ser2net; scripts/setup installs it)";
    const std::string pty = startPty();
    ASSERT_EQ(pty.rfind("/dev/", 0), 0u) << pty;
    const uint16_t tcpPort = freePort();
    writeFile(dir.file("ser2net.yaml"),
              "connection: &kv58sim\n"
              "  accepter: telnet(rfc2217),tcp,127.0.0.1," +
                  std::to_string(tcpPort) + "\n  connector: serialdev," + pty +
                  ",115200e81,local\n");
    Spawned server(
        {ser2net, "-n", "-d", "-u", "-P", dir.file("ser2net.pid"), "-c", dir.file("ser2net.yaml")},
        dir.file("ser2net.err"), /*keepOutput=*/false);
    ASSERT_TRUE(acceptsConnections(tcpPort, 5000)) << readFile(dir.file("ser2net.err"));
    // A read only: ser2net holds each reply back some 40 ms, which makes a write run long.
    read("rfc2217://127.0.0.1:" + std::to_string(tcpPort));
}

}  // namespace
}  // namespace kv58::test
#endif
