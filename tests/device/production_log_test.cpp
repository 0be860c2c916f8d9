// The production log: the line format, the writer's refusals, the reader's filters and
// damaged lines, and the lines the main dialog writes for its operations.
#include "device/production_log.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/json.h"
#include "base/paths.h"
#include "base/timestamp.h"
#include "core/dialog_ids.h"
#include "device/flow_fixture.h"
#include "device/flows.h"
#include "support/temp_dir.h"

namespace kv58 {
namespace {

using test::readFile;
using test::TempDir;
using test::writeFile;

LogRecord sampleWrite() {
    LogRecord r;
    r.time = "2026-12-07T16:05:54.123+01:00";
    r.station = "bench-3";
    r.program = "kv58ctl 2.08.000";
    r.operation = "write";
    r.port = "/dev/ttyUSB0";
    r.serial = "K58-104711";
    r.type = "KV58-FT";
    r.softwareVersion = "01.02";
    r.before = LoggedConfiguration{45075,
                                   -20,
                                   80,
                                   "0 - 10 V",
                                   "\xC2\xB0"
                                   "C",
                                   "%RH / \xC2\xB0"
                                   "C",
                                   false,
                                   true};
    r.after = r.before;
    r.after->word = 45107;
    r.after->output = "4 - 20 mA";
    r.outcome = "written and confirmed";
    r.attempts = 2;
    r.durationMs = 10383;
    r.backupFile = "backup\\K58\"1.dat";
    r.backupEntry = 3;
    return r;
}

TEST(ProductionLogLine, HasTheDocumentedFormAndReadsBack) {
    const std::string line = formatLogLine(sampleWrite());
    EXPECT_EQ(line,
              "{\"time\": \"2026-12-07T16:05:54.123+01:00\", \"station\": \"bench-3\", "
              "\"program\": \"kv58ctl 2.08.000\", \"operation\": \"write\", \"port\": "
              "\"/dev/ttyUSB0\", \"serial\": \"K58-104711\", \"type\": \"KV58-FT\", "
              "\"softwareVersion\": \"01.02\", \"before\": {\"word\": 45075, \"output\": \"0 - 10 "
              "V\", \"unit\": \"\xC2\xB0"
              "C\", \"tmin\": -20, \"tmax\": 80, \"display\": \"%RH / "
              "\xC2\xB0"
              "C\", \"alarmRelay\": false, \"factoryCalibration\": true}, \"after\": "
              "{\"word\": 45107, \"output\": \"4 - 20 mA\", \"unit\": \"\xC2\xB0"
              "C\", \"tmin\": "
              "-20, \"tmax\": 80, \"display\": \"%RH / \xC2\xB0"
              "C\", \"alarmRelay\": false, "
              "\"factoryCalibration\": true}, \"outcome\": \"written and confirmed\", "
              "\"exitCode\": 0, \"attempts\": 2, \"durationMs\": 10383, \"backupFile\": "
              "\"backup\\\\K58\\\"1.dat\", \"backupEntry\": 3}\n");
    LogRecord back;
    std::string error;
    ASSERT_TRUE(parseLogLine(line, back, error)) << error;
    EXPECT_EQ(back, sampleWrite());

    LogRecord unknown = sampleWrite();
    unknown.before.reset();
    unknown.after.reset();
    ASSERT_TRUE(parseLogLine(formatLogLine(unknown), back, error)) << error;
    EXPECT_EQ(back, unknown) << "null configurations";
}

TEST(ProductionLogLine, LinesOfOlderVersionsWithTheRelayAsTextReadBack) {
    std::string line = formatLogLine(sampleWrite());
    const std::string relay = "\"alarmRelay\": false";
    line.replace(line.find(relay), relay.size(), "\"alarmRelay\": \"Yes\"");
    line.replace(line.find(relay), relay.size(), "\"alarmRelay\": \"No\"");
    LogRecord back;
    std::string error;
    ASSERT_TRUE(parseLogLine(line, back, error)) << error;
    EXPECT_TRUE(back.before->alarmRelay);
    EXPECT_FALSE(back.after->alarmRelay);
}

TEST(ProductionLogLine, ALineThatIsNotARecordSaysWhy) {
    std::string line = formatLogLine(sampleWrite());
    const auto without = [&](const std::string& cut, const std::string& put) {
        std::string text = line;
        text.replace(text.find(cut), cut.size(), put);
        return text;
    };
    const struct {
        std::string text;
        const char* error;
    } cases[] = {
        {"[1]", "not a JSON object"},
        {line.substr(0, line.size() / 2), "not JSON (at 339: a value expected)"},
        {without("\"station\": \"bench-3\", ", ""), "\"station\" missing"},
        {without("\"attempts\": 2", "\"attempts\": \"2\""), "\"attempts\" of the wrong type"},
        {without("\"attempts\": 2", "\"attempts\": 2.5"), "\"attempts\" a whole number"},
        {without("\"word\": 45075", "\"word\": true"), "\"before\" \"word\" of the wrong type"},
        {without("\"alarmRelay\": false", "\"alarmRelay\": 1"),
         "\"before\" \"alarmRelay\" of the wrong type"},
        {without("\"after\": {", "\"after\": [{"), "not JSON (at 547: ',' or ']' expected)"},
    };
    for (const auto& c : cases) {
        LogRecord record;
        std::string error;
        EXPECT_FALSE(parseLogLine(c.text, record, error)) << c.text;
        EXPECT_EQ(error, c.error);
    }
}

TEST(ProductionLogWriter, AppendsStampedLinesAndStopsOperationsOnceItFails) {
    TempDir dir;
    ProductionLog log("kv58ctl 2.08.000");
    std::string error;
    ASSERT_TRUE(log.open("", error));
    EXPECT_FALSE(log.configured());
    EXPECT_TRUE(log.append(sampleWrite(), error)) << "no log: nothing to write";

    const std::string path = dir.file("production.log");
    ASSERT_TRUE(log.open(path, error)) << error;
    LogRecord record = sampleWrite();
    record.time = record.station = record.program = "";
    ASSERT_TRUE(log.append(record, error)) << error;
    LogRecord back;
    ASSERT_TRUE(parseLogLine(readFile(path), back, error)) << error;
    EXPECT_EQ(back.program, "kv58ctl 2.08.000");
    EXPECT_FALSE(back.station.empty());
    EXPECT_EQ(back.time.size(), 29u) << back.time;
    back.time = back.station = back.program = "";
    EXPECT_EQ(back, record);

    EXPECT_FALSE(log.open(dir.path(), error)) << "a folder";
    // The file and then the system's own reason, whose words differ between systems.
    const std::string named = "cannot write the production log " + dir.path() + ": ";
    EXPECT_EQ(error.substr(0, named.size()), named);
    EXPECT_GT(error.size(), named.size());
    EXPECT_FALSE(log.ready(error));
    EXPECT_FALSE(log.append(record, error));
}

#ifdef __linux__
TEST(ProductionLogWriter, ALineTheDiskDoesNotTakeStopsFurtherOperations) {
    ProductionLog log("kv58ctl 2.08.000");
    std::string error;
    ASSERT_TRUE(log.open("/dev/full", error)) << error;
    EXPECT_TRUE(log.ready(error));
    EXPECT_FALSE(log.append(sampleWrite(), error));
    EXPECT_EQ(error,
              "the production log /dev/full did not take the write of /dev/ttyUSB0: No space left "
              "on device");
    EXPECT_FALSE(log.ready(error));
}
#endif

class ProductionLogReader : public ::testing::Test {
protected:
    struct Read {
        std::vector<std::string> serials;
        std::vector<std::string> damaged;
        bool ok = false;
    };
    Read read(const std::string& text, const LogFilter& filter = {}) {
        writeFile(path, text);
        Read r;
        std::string error;
        r.ok = readProductionLog(
            path, filter,
            [&](const LogRecord& record, std::string_view line) {
                EXPECT_EQ(std::string(line) + "\n", formatLogLine(record));
                r.serials.push_back(record.serial);
            },
            [&](long number, const std::string& fault) {
                r.damaged.push_back(std::to_string(number) + ": " + fault);
            },
            error);
        return r;
    }
    static std::string lineFor(const std::string& serial, const std::string& time) {
        LogRecord r = sampleWrite();
        r.serial = serial;
        r.time = time;
        return formatLogLine(r);
    }
    TempDir dir;
    std::string path = dir.file("production.log");
};

TEST_F(ProductionLogReader, FiltersBySerialNumberAndTimeAcrossZones) {
    const std::string text = lineFor("A", "2026-12-07T10:00:00.000+01:00") +
                             lineFor("B", "2026-12-07T09:30:00.000+00:00") +
                             lineFor("A", "2026-12-07T04:00:00.000-05:00");
    EXPECT_EQ(read(text).serials, (std::vector<std::string>{"A", "B", "A"}));
    LogFilter serial;
    serial.serial = "A";
    EXPECT_EQ(read(text, serial).serials, (std::vector<std::string>{"A", "A"}));
    LogFilter since;
    since.sinceUnixMs = *parseIso8601("2026-12-07T09:15:00Z");
    // 10:00+01:00 is 09:00Z, before; 09:30Z and 04:00-05:00 (09:00Z)... the last is before too.
    EXPECT_EQ(read(text, since).serials, (std::vector<std::string>{"B"}));
    since.sinceUnixMs = *parseIso8601("2026-12-07T09:00:00Z");
    EXPECT_EQ(read(text, since).serials, (std::vector<std::string>{"A", "B", "A"}))
        << "at the moment counts";
}

TEST_F(ProductionLogReader, NamesDamagedLinesAndReadsOn) {
    const std::string good = lineFor("A", "2026-12-07T10:00:00.000+01:00");
    std::string crlf = good;
    crlf.insert(crlf.size() - 1, "\r");
    const std::string text = good + "\n" + good.substr(0, 40) + "\n" + crlf +
                             std::string(kMaxLogLineLength + 10, 'x') + "\n" + good +
                             good.substr(0, 100);  // cut off, no line end
    const Read r = read(text);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.serials.size(), 3u);
    ASSERT_EQ(r.damaged.size(), 3u);
    EXPECT_EQ(r.damaged[0], "3: not JSON (at 41: ',' or '}' expected)");
    EXPECT_EQ(r.damaged[1], "5: longer than 65536 bytes");
    EXPECT_EQ(r.damaged[2].substr(0, 3), "7: ");
}

TEST_F(ProductionLogReader, AFileThatCannotBeReadIsAnError) {
    std::string error;
    EXPECT_FALSE(readProductionLog(
        dir.file("missing.log"), {}, [](const LogRecord&, std::string_view) {},
        [](long, const std::string&) {}, error));
    EXPECT_EQ(error, "cannot open the production log " + dir.file("missing.log"));
}

}  // namespace

namespace test {
namespace {

// The lines the main dialog writes: one per operation, with what the operation knew.
class FlowLog : public FlowTest {
protected:
    std::vector<LogRecord> records() {
        std::vector<LogRecord> out;
        std::string error;
        EXPECT_TRUE(readProductionLog(
            dir.file("production.log"), {},
            [&](const LogRecord& r, std::string_view) { out.push_back(r); },
            [](long n, const std::string& fault) { ADD_FAILURE() << n << ": " << fault; }, error))
            << error;
        return out;
    }
};

TEST_F(FlowLog, TheStartUpReadAndAWriteEachLeaveOneLine) {
    writeSettings("", "", "LogFile=production.log\r\n");
    ASSERT_TRUE(start());
    choose(ids::kOutputList, "4 - 20 mA");
    writeFromMenu();
    ASSERT_EQ(dialog->flows().lastWriteOutcome(), WriteOutcome::Confirmed);
    const std::vector<LogRecord> lines = records();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].operation, "read");
    EXPECT_EQ(lines[0].outcome, "read");
    EXPECT_EQ(lines[0].serial, "K58-104711");
    EXPECT_FALSE(lines[0].before);
    ASSERT_TRUE(lines[0].after);
    EXPECT_EQ(lines[0].after->output, "0 - 10 V");
    EXPECT_EQ(lines[0].attempts, 1);
    EXPECT_GT(lines[0].durationMs, 7000) << "the read's time on the virtual clock";

    const LogRecord& w = lines[1];
    EXPECT_EQ(w.operation, "write");
    EXPECT_EQ(w.port, port);
    EXPECT_EQ(w.type, "KV58-FT");
    EXPECT_EQ(w.softwareVersion, "01.02");
    ASSERT_TRUE(w.before && w.after);
    EXPECT_EQ(w.before->output, "0 - 10 V");
    EXPECT_EQ(w.after->output, "4 - 20 mA");
    EXPECT_EQ(w.after->word, w.before->word | 0x30);
    EXPECT_EQ(w.outcome, "written and confirmed");
    EXPECT_EQ(w.exitCode, 0);
    EXPECT_EQ(w.attempts, 1);
    EXPECT_EQ(w.backupFile, nativePath(".\\backup\\K58-104711.dat"));
    EXPECT_EQ(w.backupEntry, 1);
}

TEST_F(FlowLog, AFailedWriteIsLoggedWithItsAttemptsAndNoAfter) {
    // The configuration word's cell will not program: every transfer fails its verification.
    writeSettings("fault=stuck:1098", "", "LogFile=production.log\r\nMaxWriteCnt=2\r\n");
    ASSERT_TRUE(start());
    choose(ids::kOutputList, "4 - 20 mA");
    writeFromMenu();
    const std::vector<LogRecord> lines = records();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1].outcome, "the write failed: attempts used up");
    EXPECT_EQ(lines[1].exitCode, 3) << "Segment A is left half-written, as kv58ctl would exit";
    EXPECT_EQ(lines[1].attempts, 2);
    EXPECT_FALSE(lines[1].after);
    EXPECT_EQ(lines[1].backupEntry, 1) << "the backup went before the transfer";
}

TEST_F(FlowLog, ALogThatCannotBeWrittenStopsEveryOperationBeforeItStarts) {
    writeSettings("", "", "LogFile=no-such-folder\\production.log\r\n");
    EXPECT_FALSE(start());
    EXPECT_FALSE(dialog->settingsFailed());
    // The settings' Windows-style name as the file system knows it, then the system's reason.
    const std::string file = nativePath("no-such-folder\\production.log");
    const std::string& failure = dialog->logFailure();
    EXPECT_EQ(failure.rfind("cannot write the production log " + file + ": ", 0), 0u) << failure;
    const std::string consequence = "; no device operation was started";
    EXPECT_EQ(failure.substr(failure.size() - consequence.size()), consequence);
    ASSERT_FALSE(ui.messages.empty());
    EXPECT_EQ(ui.messages.back().text, dialog->logFailure());
    EXPECT_EQ(device().loaderStarts(), 0u);

    ui.clear();
    dialog->onCommand(ids::kReadNow);
    writeFromMenu();
    EXPECT_EQ(device().loaderStarts(), 0u) << "neither the read nor the write started";
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(ui.messages[1].text, dialog->logFailure());
}

}  // namespace
}  // namespace test
}  // namespace kv58
