#include <gtest/gtest.h>
#include <string>
#include <string_view>
#include <vector>

#include "bus_options.h"

namespace quillon::vbus {
namespace {

ParseResult Parse(std::vector<std::string_view> args)
{
    return ParseBusOptions(args);
}

TEST(BusOptions, ReadsLineSettingsAndCountsBitsPerCharacter)
{
    struct Case
    {
        std::vector<std::string_view> args;
        int peers;
        bool paced;
        std::uint32_t baud;
        int bits;
        std::string described;
    };
    const std::vector<Case> cases = {
        {{}, 3, true, 38400, 11, "38400 8E1"},
        {{"-n", "2", "-b", "9600", "-f", "8N1"}, 2, true, 9600, 10, "9600 8N1"},
        {{"--peers", "32", "--baud", "115200", "--format", "7O2"},
         32,
         true,
         115200,
         11,
         "115200 7O2"},
        {{"--data", "7", "--parity", "N", "--stop", "2"}, 3, true, 38400, 10, "38400 7N2"},
        {{"--format", "8e2"}, 3, true, 38400, 12, "38400 8E2"},
        {{"--unpaced"}, 3, false, 38400, 11, "unpaced"},
        // A baud rate given after --unpaced asks for pacing again: the last word wins.
        {{"-u", "-b", "921600", "-f", "8N1"}, 3, true, 921600, 10, "921600 8N1"},
        {{"-b", "921600", "-u"}, 3, false, 921600, 11, "unpaced"},
    };
    for (const auto& c : cases) {
        const auto result = Parse(c.args);
        ASSERT_TRUE(result.options) << c.described << ": " << result.error;
        EXPECT_EQ(result.options->peers, c.peers) << c.described;
        EXPECT_EQ(result.options->paced, c.paced) << c.described;
        EXPECT_EQ(result.options->baud, c.baud) << c.described;
        EXPECT_EQ(result.options->BitsPerCharacter(), c.bits) << c.described;
        EXPECT_EQ(DescribeLine(*result.options), c.described);
    }
}

TEST(BusOptions, ReadsFilesAndSwitches)
{
    const auto result = Parse({"--names", "/tmp/n", "--links", "/tmp/l", "-v", "--stats"});
    ASSERT_TRUE(result.options) << result.error;
    EXPECT_EQ(result.options->namesFile, "/tmp/n");
    EXPECT_EQ(result.options->linkDir, "/tmp/l");
    EXPECT_TRUE(result.options->verbose);
    EXPECT_TRUE(result.options->stats);
    EXPECT_FALSE(result.options->help);
    EXPECT_TRUE(Parse({"-h"}).options->help);
}

TEST(BusOptions, RefusesBadValuesWithAReason)
{
    const std::vector<std::vector<std::string_view>> cases = {
        {"-n", "1"},     {"-n", "33"},    {"-n", "3x"},        {"-n"},
        {"-b", "0"},     {"-b", "49"},    {"-b", "4000001"},   {"-b", "-9600"},
        {"-b", ""},      {"-f", "8N"},    {"-f", "9N1"},       {"-f", "8X1"},
        {"-f", "8N3"},   {"--data", "4"}, {"--parity", "M"},   {"--stop", "0"},
        {"--names", ""}, {"--links", ""}, {"--speed", "9600"}, {"9600"},
    };
    for (const auto& args : cases) {
        const auto result = Parse(args);
        std::string line;
        for (const auto arg : args)
            line += std::string(arg) + ' ';
        EXPECT_FALSE(result.options) << line;
        EXPECT_FALSE(result.error.empty()) << line;
    }
}

} // namespace
} // namespace quillon::vbus
