// The benchmark's summary, table and JSON.
#include "report.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

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

}  // namespace
}  // namespace kv58::bench
