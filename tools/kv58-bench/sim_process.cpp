#include "sim_process.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

#include "base/paths.h"

namespace kv58::bench {

std::string simProgramPath() {
    const std::string dir = dirName(programPath());
    return (dir.empty() ? std::string(".") : dir) + "/kv58-sim";
}

bool SimProcess::start(const std::string& program, const std::vector<std::string>& arguments,
                       const std::string& logPath, std::string& error) {
    int out[2];
    if (::pipe(out) != 0) {
        error = std::string("pipe: ") + std::strerror(errno);
        return false;
    }
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : arguments)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_ = ::fork();
    if (pid_ == 0) {
        ::dup2(out[1], STDOUT_FILENO);
        const int log = ::open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (log >= 0)
            ::dup2(log, STDERR_FILENO);
        ::close(out[0]);
        ::close(out[1]);
        ::execv(program.c_str(), argv.data());
        std::fprintf(stderr, "kv58-bench: cannot run %s: %s\n", program.c_str(),
                     std::strerror(errno));
        ::_exit(127);
    }
    ::close(out[1]);
    if (pid_ < 0) {
        ::close(out[0]);
        error = std::string("fork: ") + std::strerror(errno);
        return false;
    }
    // The first line only; the rest of its output is not read (it prints nothing more).
    char c = 0;
    while (::read(out[0], &c, 1) == 1 && c != '\n')
        firstLine_ += c;
    ::close(out[0]);
    if (firstLine_.empty()) {
        std::ifstream log(logPath);
        const std::string said((std::istreambuf_iterator<char>(log)), {});
        error = program + " printed nothing" + (said.empty() ? " (is it built?)" : ": " + said);
        stop();
        return false;
    }
    return true;
}

void SimProcess::stop() {
    if (pid_ <= 0)
        return;
    ::kill(pid_, SIGTERM);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
}

SimProcess::~SimProcess() {
    stop();
}

}  // namespace kv58::bench
