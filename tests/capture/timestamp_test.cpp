#include <gtest/gtest.h>
#include <optional>
#include <vector>

#include "capture/timestamp.h"
#include "formats/csv_writer.h"
#include "support/capture_rig.h"
#include "support/zone_scope.h"

namespace quillon {
namespace {

using test::Hex;
using test::ZoneScope;

// The time column of a row for the frame time.
std::string TimeCell(CsvWriter& writer, std::int64_t timeUs)
{
    FrameInfo info;
    info.timeUs = timeUs;
    info.timeSource = TimeSource::File;
    std::string row;
    writer.AppendRow(row, info, Hex("01"), "");
    return row.substr(0, row.find(','));
}

TEST(TimestampText, RecordTimesRoundTripAsLocalTimeAndShowTheirOffset)
{
    struct Case
    {
        const char* zone;
        std::string text;
        std::optional<std::int64_t> timeUs;
        std::string iso;
    };
    const char* berlin = "CET-1CEST,M3.5.0,M10.5.0/3";
    const std::vector<Case> cases{
        {berlin, "Feb 16 2012 13:30:42.075  ", 1329395442075000, "2012-02-16T13:30:42.075+01:00"},
        {berlin, "Jul 01 2012 12:00:00.001  ", 1341136800001000, "2012-07-01T12:00:00.001+02:00"},
        {berlin, "Feb 29 2012 23:59:59.000  ", 1330556399000000, "2012-02-29T23:59:59.000+01:00"},
        {"EST5", "Jan 01 2000 00:00:00.000  ", 946702800000000, "2000-01-01T00:00:00.000-05:00"},
        {"UTC0", "Dec 31 2099 23:59:59.500  ", 4102444799500000, "2099-12-31T23:59:59.500+00:00"},
        {berlin, "Feb 16 2012 24:00:00.000  ", std::nullopt, ""},
        // Days the calendar does not have are no times, not the days after them.
        {berlin, "Feb 30 2024 10:00:00.000  ", std::nullopt, ""},
        {berlin, "Apr 31 2023 10:00:00.000  ", std::nullopt, ""},
        {berlin, "Feb 29 2023 10:00:00.000  ", std::nullopt, ""},
        {berlin, "Feb 29 1900 10:00:00.000  ", std::nullopt, ""},
        {berlin, "Feb 16 2012 13:30:42  ", std::nullopt, ""},
        {berlin, "feb 16 2012 13:30:42.075  ", std::nullopt, ""},
        {berlin, "", std::nullopt, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const ZoneScope zone(c.zone);
        LocalEpoch epoch; // per zone: it keeps the last minute it converted
        const auto local = ParseTimestamp(c.text);
        const auto time = local ? epoch.Microseconds(*local) : std::nullopt;
        EXPECT_EQ(time, c.timeUs);
        CsvWriter writer;
        if (time) {
            EXPECT_EQ(TimeCell(writer, *time), c.iso);
            // A pcap packet's time becomes the same text again when it is loaded.
            EXPECT_EQ(MakeTimestamp(LocalTimeAt(*time)), c.text);
        }
    }
}

} // namespace
} // namespace quillon
