#include "protocol/ProtocolTrace.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <thread>
#include <vector>

using namespace glowdeck;

namespace {
using Bytes = std::vector<std::uint8_t>;

std::vector<std::string> readLines(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

class TraceFile : public ::testing::Test {
protected:
    void SetUp() override {
        path =
            std::filesystem::temp_directory_path() /
            ("glowdeck-trace-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
             "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".txt");
        std::filesystem::remove(path);
    }
    void TearDown() override { std::filesystem::remove(path); }
    std::filesystem::path path;
};
} // namespace

TEST(ProtocolTraceLines, FramesCarryTheirCodeNameAndEveryByte) {
    struct Row {
        Bytes bytes;
        bool written;
        std::string expected;
    };
    const std::vector<Row> rows{
        {{0x00, 0x2E}, true, "      12 -> CMD_EXIT 00 2E"},
        {{0x00, 0x3C, 0x03}, true, "      12 -> CMD_SET_MODE 00 3C 03"},
        {{0x00, 0xEE}, false, "      12 -> CMD_CANCEL 00 EE (not written)"},
        {{0x12, 0x34, 0xFF}, true, "      12 -> UNKNOWN 12 34 FF"},
        {{0x00}, true, "      12 -> SHORT 00"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(ProtocolTrace::frameLine(12, row.bytes.data(), row.bytes.size(), row.written),
                  row.expected);
    const Bytes exitFrame{0x00, 0x2E};
    EXPECT_EQ(ProtocolTrace::frameLine(123456789, exitFrame.data(), exitFrame.size()),
              "123456789 -> CMD_EXIT 00 2E");
}

TEST(ProtocolTraceLines, BurstsShowCountHexAndAnUnambiguousRendering) {
    struct Row {
        std::string bytes;
        std::string expected;
    };
    using namespace std::string_literals;
    const std::vector<Row> rows{
        {"OK\r\n\0"s, "       5 <- 5 bytes 4F 4B 0D 0A 00  \"OK\\r\\n\\0\""},
        {"A", "       5 <- 1 byte 41  \"A\""},
        {"\t\"\\\x7F\xFF"s, "       5 <- 5 bytes 09 22 5C 7F FF  \"\\t\\\"\\\\\\x7F\\xFF\""},
        {"\0\x31\0"s, "       5 <- 3 bytes 00 31 00  \"\\x001\\0\""},
    };
    for (const Row& row : rows) {
        const auto* data = reinterpret_cast<const std::uint8_t*>(row.bytes.data());
        EXPECT_EQ(ProtocolTrace::burstLine(5, data, row.bytes.size()), row.expected);
    }
}

TEST_F(TraceFile, EachRunIsAppendedUnderItsOwnHeader) {
    const Bytes frame{0x00, 0x42};
    const std::string answer = "Firmware\r\n";
    for (int run = 0; run < 2; ++run) {
        ProtocolTrace trace;
        ASSERT_TRUE(trace.open(path.string())) << trace.errorText();
        trace.frame(frame.data(), frame.size(), true);
        trace.burst(reinterpret_cast<const std::uint8_t*>(answer.data()), answer.size(),
                    ProtocolTrace::now());
        // Each line is out as soon as it is written, not when the trace closes.
        EXPECT_EQ(readLines(path).size(), std::size_t(3 * (run + 1)));
    }
    const auto lines = readLines(path);
    const std::regex header("# Glowdeck protocol trace, started \\d{4}-\\d\\d-\\d\\d .*");
    const std::regex frameLine(" *\\d+ -> CMD_VERSION_READ 00 42");
    const std::regex burstLine(
        " *\\d+ <- 10 bytes 46 69 72 6D 77 61 72 65 0D 0A  \"Firmware\\\\r\\\\n\"");
    for (std::size_t run = 0; run < 2; ++run) {
        EXPECT_TRUE(std::regex_match(lines[3 * run], header)) << lines[3 * run];
        EXPECT_TRUE(std::regex_match(lines[3 * run + 1], frameLine)) << lines[3 * run + 1];
        EXPECT_TRUE(std::regex_match(lines[3 * run + 2], burstLine)) << lines[3 * run + 2];
    }
}

TEST_F(TraceFile, LinesFromTwoThreadsStayWhole) {
    ProtocolTrace trace;
    ASSERT_TRUE(trace.open(path.string()));
    constexpr int kEach = 500;
    const Bytes frame{0x00, 0xED};
    const Bytes burst(40, 'x');
    std::thread receiver([&] {
        for (int i = 0; i < kEach; ++i)
            trace.burst(burst.data(), burst.size(), ProtocolTrace::now());
    });
    for (int i = 0; i < kEach; ++i)
        trace.frame(frame.data(), frame.size(), true);
    receiver.join();

    const auto lines = readLines(path);
    ASSERT_EQ(lines.size(), std::size_t(1 + 2 * kEach));
    const std::regex whole(" *\\d+ (-> CMD_STEP 00 ED|<- 40 bytes (78 ){39}78  \"x{40}\")");
    for (std::size_t i = 1; i < lines.size(); ++i)
        ASSERT_TRUE(std::regex_match(lines[i], whole)) << i << ": " << lines[i];
}

TEST_F(TraceFile, AFileThatCannotBeWrittenIsReportedAndTracesNothing) {
    ProtocolTrace trace;
    EXPECT_FALSE(trace.open((path / "no-such-folder" / "trace.txt").string()));
    EXPECT_FALSE(trace.errorText().empty());
    const Bytes frame{0x00, 0x2E};
    trace.frame(frame.data(), frame.size(), true); // harmless without a file
    EXPECT_FALSE(std::filesystem::exists(path));
}
