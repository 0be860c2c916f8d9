// The hold of a run on its port: one port however it is named, and a hold that dies with its
// process.
#include "serial/port_lock.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "support/temp_dir.h"

namespace kv58::test {
namespace {

TEST(PortRunLock, APortIsHeldOnceHoweverItIsNamed) {
    std::string error;
    auto network = PortRunLock::acquire("rfc2217://bench-7:4001", error);
    ASSERT_TRUE(network) << error;
    EXPECT_FALSE(PortRunLock::acquire("RFC2217://Bench-7:4001", error));
    EXPECT_EQ(error, "serial port RFC2217://Bench-7:4001 is in use by another kv58ctl run");
    EXPECT_TRUE(PortRunLock::acquire("rfc2217://bench-7:4002", error)) << error;
#ifndef _WIN32
    TempDir dir;
    writeFile(dir.file("ttyUSB9"), "");
    ASSERT_EQ(symlink(dir.file("ttyUSB9").c_str(), dir.file("by-id").c_str()), 0);
    auto device = PortRunLock::acquire(dir.file("by-id"), error);
    ASSERT_TRUE(device) << error;
    EXPECT_FALSE(PortRunLock::acquire(dir.file("ttyUSB9"), error));
    device.reset();
    EXPECT_TRUE(PortRunLock::acquire(dir.file("ttyUSB9"), error)) << error;
#endif
    network.reset();
    EXPECT_TRUE(PortRunLock::acquire("rfc2217://bench-7:4001", error)) << error;
}

#ifndef _WIN32
// A run that is killed never leaves its port held; while it lives, another process is refused.
// A port of a scheme that lives in each process (a simulated transmitter, a test's scripted
// wire) is that process's own: another process's hold of the same name does not refuse it.
TEST(PortRunLock, AHoldDiesWithItsProcess) {
    const std::string port = "rfc2217://hold-test-" + std::to_string(getpid()) + ":1";
    int ready[2], quit[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(quit), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::string error;
        auto held = PortRunLock::acquire(port, error);
        auto own = PortRunLock::acquire("fake:shared", error);
        char c = held && own ? 'y' : 'n';
        static_cast<void>(::write(ready[1], &c, 1));
        static_cast<void>(::read(quit[0], &c, 1));
        _exit(0);  // without letting go: the system does
    }
    char c = 0;
    ASSERT_EQ(::read(ready[0], &c, 1), 1);
    ASSERT_EQ(c, 'y');
    std::string error;
    EXPECT_FALSE(PortRunLock::acquire(port, error));
    EXPECT_EQ(error, "serial port " + port + " is in use by another kv58ctl run");
    EXPECT_TRUE(PortRunLock::acquire("fake:shared", error)) << error;
    EXPECT_TRUE(PortRunLock::acquire("sim:?serial=K58-1", error)) << error;
    static_cast<void>(::write(quit[1], "q", 1));
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(PortRunLock::acquire(port, error)) << error;
    for (int fd : {ready[0], ready[1], quit[0], quit[1]})
        ::close(fd);
}
#endif

}  // namespace
}  // namespace kv58::test
