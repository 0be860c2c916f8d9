// kv58ctl --json as a script reads it: stdout holds one JSON value and nothing else, whether
// the command succeeds or fails, with booleans as booleans and dates in ISO 8601.
#include <gtest/gtest.h>

#include <regex>

#include "base/json.h"
#include "sim_settings_folder.h"
#include "support/program_run.h"
#include "support/temp_dir.h"

namespace kv58::test {
namespace {

class JsonCli : public ::testing::Test {
protected:
    JsonCli() {
        copyShippedDataFiles(dir.path());
        writeFile(ini, simSettingsText("LogFile=production.log\r\n"));
    }
    ProgramRun ctl(std::vector<std::string> args) {
        args.insert(args.begin(), {"--ini", ini, "--json"});
        return kv58ctl(args, dir.path());
    }
    // The whole of stdout as one JSON value; fails the test when it is anything else.
    static JsonValue onlyJson(const ProgramRun& r) {
        std::string error;
        const std::optional<JsonValue> value = parseJson(r.out, &error);
        EXPECT_TRUE(value) << error << " in stdout:\n" << r.out << "\nstderr:\n" << r.err;
        return value.value_or(JsonValue());
    }
    TempDir dir;
    std::string ini = dir.file("KV58.ini");
};

const JsonValue& member(const JsonValue& object, const std::string& key) {
    static const JsonValue none;
    const JsonValue* v = object.find(key);
    EXPECT_TRUE(v) << "no member " << key;
    return v ? *v : none;
}

TEST_F(JsonCli, TheLinksWarningsGoToStderr) {
    // An old loader needs the patch, whose commands the link warns about.
    const ProgramRun r = ctl(
        {"--port", "sim:?state=sim.state&loader=1.10", "write", "--output", "4 - 20 mA", "--yes"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(contains(r.err, "WARNING: This command might change data")) << r.err;
    EXPECT_EQ(member(onlyJson(r), "outcome").asString(), "confirmed");
}

TEST_F(JsonCli, EveryCommandsStdoutIsOneJsonValue) {
    const std::vector<std::vector<std::string>> commands = {
        {"probe"},
        {"dump", "A"},
        {"read"},
        {"settings"},
        {"key", "encode", "-40", "120", "20", "-40", "248", "36"},
        {"ports"},
    };
    for (const std::vector<std::string>& args : commands) {
        const ProgramRun r = ctl(args);
        EXPECT_EQ(r.exitCode, 0) << args[0] << ": " << r.err;
        onlyJson(r);
    }
    const JsonValue image = onlyJson(ctl({"dump", "A"}));
    EXPECT_EQ(member(image, "tiTxt").asString().rfind("@1080\r\n", 0), 0u);

    // A key that does not match: what it decodes to and the failure, in one object.
    const ProgramRun key = ctl({"key", "decode", "ABCD"});
    EXPECT_EQ(key.exitCode, 1);
    const JsonValue decoded = onlyJson(key);
    EXPECT_FALSE(member(decoded, "checksumOk").asBool());
    EXPECT_FALSE(member(decoded, "ok").asBool());
}

TEST_F(JsonCli, AFailedCommandEndsWithOneObjectThatSaysWhy) {
    const struct {
        std::vector<std::string> args;
        int exitCode;
        const char* reason;
    } cases[] = {
        {{"--port", "sim:?fault=silent", "read"}, 1, "ERROR reading data!"},
        {{"write", "--tmin", "abc", "--yes"}, 1, "T min \"abc\" is not an integer"},
        {{"write", "--output", "5 - 7 V"}, 1, "\"5 - 7 V\" is not offered"},
        {{"--bogus", "read"}, 1, "unknown option '--bogus'"},
        {{"nonsense"}, 1, "unknown command 'nonsense'"},
        {{"--ini", "missing.ini", "read"}, 2, "missing.ini"},
        {{"backup", "list", "no-such.dat"}, 1, "no-such.dat"},
    };
    for (const auto& c : cases) {
        const ProgramRun r = ctl(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.args.back() << ": " << r.err;
        const JsonValue object = onlyJson(r);
        EXPECT_EQ(member(object, "ok").type(), JsonValue::Type::Bool);
        EXPECT_FALSE(member(object, "ok").asBool());
        EXPECT_TRUE(contains(member(object, "error").asString(), c.reason))
            << member(object, "error").asString();
        EXPECT_EQ(member(object, "outcome").asString(), "unchanged");
        EXPECT_TRUE(member(object, "wayBack").isNull());
    }
    // Without --json nothing of it reaches stdout.
    const ProgramRun plain = kv58ctl({"--ini", ini, "--bogus", "read"}, dir.path());
    EXPECT_EQ(plain.out, "");
}

TEST_F(JsonCli, BooleansAreBooleansAndDatesISO8601) {
    const JsonValue read = onlyJson(ctl({"read"}));
    EXPECT_EQ(member(read, "alarmRelay").type(), JsonValue::Type::Bool);
    EXPECT_FALSE(member(read, "alarmRelay").asBool());
    EXPECT_TRUE(member(read, "factoryCalibration").asBool());

    ASSERT_EQ(ctl({"write", "--output", "4 - 20 mA", "--yes"}).exitCode, 0);
    const JsonValue list = onlyJson(ctl({"backup", "list", "backup/K58-104711.dat"}));
    ASSERT_EQ(list.items().size(), 1u);
    const JsonValue& entry = list.items()[0];
    EXPECT_TRUE(std::regex_match(member(entry, "date").asString(),
                                 std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d)")))
        << member(entry, "date").asString();
    EXPECT_EQ(member(entry, "alarmRelay").type(), JsonValue::Type::Bool);

    const JsonValue log = onlyJson(ctl({"log", "production.log"}));
    ASSERT_FALSE(log.items().empty());
    const JsonValue& write = log.items().back();
    EXPECT_EQ(member(write, "operation").asString(), "write");
    EXPECT_TRUE(std::regex_search(member(write, "time").asString(),
                                  std::regex(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d)")));
    EXPECT_EQ(member(member(write, "after"), "alarmRelay").type(), JsonValue::Type::Bool);
}

}  // namespace
}  // namespace kv58::test
