// The benchmark's summary, table and JSON.
#include "report.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "batch_run.h"

namespace kv58::bench {
namespace {

using ::testing::HasSubstr;

Sample sample(int64_t wallUs, int64_t floorUs, int64_t cpuUs) {
    Sample s;
    s.wallUs = wallUs;
    s.floor.totalUs = floorUs;
    s.cpuUs = cpuUs;
    return s;
}

TEST(Report, SpreadTakesTheMiddleOfOddAndEvenCounts) {
    const Spread odd = spreadOf({3, 1, 2});
    EXPECT_EQ(odd.min, 1);
    EXPECT_EQ(odd.median, 2);
    EXPECT_EQ(odd.max, 3);
    EXPECT_EQ(spreadOf({4, 1, 3, 2}).median, 2.5);
    EXPECT_EQ(spreadOf({}).max, 0);
}

TEST(Report, RatioAndCpuShareArePerSample) {
    Row row{PortKind::Pty,
            9600,
            Operation::Write,
            {sample(1'050'000, 1'000'000, 10'500), sample(2'200'000, 2'000'000, 44'000)}};
    const Summary s = summarize(row);
    EXPECT_DOUBLE_EQ(s.ratio.min, 1.05);
    EXPECT_DOUBLE_EQ(s.ratio.max, 1.1);
    EXPECT_DOUBLE_EQ(s.cpuPercent.min, 1.0);
    EXPECT_DOUBLE_EQ(s.cpuPercent.max, 2.0);
    EXPECT_DOUBLE_EQ(s.wallMs.median, 1625);
}

TEST(Report, TableAndJsonNameEveryMeasure) {
    const std::vector<Row> rows = {
        {PortKind::Sim, 115200, Operation::Restore, {sample(1'010'000, 1'000'000, 5'000)}}};
    const std::string table = formatTable(rows, {"rfc2217: not available"});
    for (const char* column : {"wall", "floor", "ratio", "cpu %"}) {
        EXPECT_THAT(table, HasSubstr(column));
    }
    EXPECT_THAT(table, HasSubstr("sim       115200  restore     1"));
    EXPECT_THAT(table, HasSubstr(" 1.010/ 1.010/ 1.010"));
    EXPECT_THAT(table, HasSubstr("\nrfc2217: not available\n"));

    const std::string json =
        formatJson(rows, Machine{"CPU \"X\"", 2, "Linux", "2026-12-07"}, 1, {"a note"});
    EXPECT_THAT(json, HasSubstr("\"cpu\": \"CPU \\\"X\\\"\""));
    EXPECT_THAT(json, HasSubstr("\"port\": \"sim\", \"baud\": 115200, \"operation\": \"restore\""));
    EXPECT_THAT(json,
                HasSubstr("\"ratio\": {\"min\": 1.0100, \"median\": 1.0100, \"max\": 1.0100}"));
    EXPECT_THAT(json, HasSubstr("\"notes\": [\"a note\"]"));
    EXPECT_EQ(std::count(json.begin(), json.end(), '{'), std::count(json.begin(), json.end(), '}'));
    EXPECT_EQ(std::count(json.begin(), json.end(), '['), std::count(json.begin(), json.end(), ']'));
}

TEST(Report, ARowBehindAnAdapterNamesItsLatency) {
    Row row{PortKind::Sim, 9600, Operation::Read, {sample(2'000'000, 1'000'000, 1'000)}, 16};
    EXPECT_EQ(portLabel(row), "sim+16ms");
    EXPECT_THAT(formatTable({row}, {}), HasSubstr("sim+16ms    9600  read"));
    EXPECT_THAT(formatJson({row}, Machine{}, 1, {}),
                HasSubstr("\"operation\": \"read\", \"adapter_latency_ms\": 16,"));
}

// The batch's measures: its wall against one port's floor, kv58ctl's CPU time of all its
// processes as a share of one core, per process against the slowest, the servers' share.
TEST(Report, ABatchRowSharesItsCpuOutAsAUserReadsIt) {
    BatchSample s;
    s.wallUs = 10'400'000;
    s.floorUs = 10'000'000;
    s.slowestUs = 10'000'000;
    s.ctlCpuUs = 416'000;  // 16 processes, 26 ms each
    s.simCpuUs = 208'000;
    const std::string table = formatBatchTable({{16, 9600, false, {s}}});
    EXPECT_THAT(table, HasSubstr("ports"));
    EXPECT_THAT(table,
                HasSubstr("   16 procs    9600    1   10400.0/ 10400.0/ 10400.0    10000.0   "
                          "1.040/ 1.040/ 1.040    4.0/ 4.0/ 4.0     0.3/ 0.3/ 0.3     "
                          "2.0/ 2.0/ 2.0"));
    EXPECT_THAT(formatBatchTable({{16, 9600, true, {s}}}), HasSubstr("   16 one      9600    1"));
    EXPECT_THAT(formatBatchJson({{16, 9600, true, {s}}}),
                HasSubstr("{\"wall_ms\": 10400.000, \"floor_ms\": 10000.000, "
                          "\"slowest_process_ms\": 10000.000, \"kv58ctl_cpu_ms\": 416.000, "
                          "\"servers_cpu_ms\": 208.000}"));
}

}  // namespace
}  // namespace kv58::bench
