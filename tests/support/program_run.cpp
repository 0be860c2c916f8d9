#include "support/program_run.h"

#include <sys/wait.h>

#include <cstdlib>

#include "support/temp_dir.h"

namespace kv58::test {

namespace {

std::string shellQuoted(const std::string& arg) {
    std::string out = "'";
    for (char c : arg)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

}  // namespace

ProgramRun runProgram(const std::string& program, const std::vector<std::string>& args,
                      const std::string& cwd) {
    TempDir outputs;
    std::string command = cwd.empty() ? "" : "cd " + shellQuoted(cwd) + " && ";
    command += shellQuoted(std::string(KV58_BIN_DIR) + "/" + program);
    for (const std::string& a : args)
        command += " " + shellQuoted(a);
    command += " </dev/null >" + shellQuoted(outputs.file("out")) + " 2>" +
               shellQuoted(outputs.file("err"));
    const int status = std::system(command.c_str());
    ProgramRun run;
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = readFile(outputs.file("out"));
    run.err = readFile(outputs.file("err"));
    return run;
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

}  // namespace kv58::test
