#include <cstdlib>
#include <ctime>
#include <gtest/gtest.h>

#include "capture/timestamp.h"
#include "formats/csv_writer.h"
#include "support/capture_rig.h"

namespace quillon {
namespace {

using test::Bytes;
using test::Hex;

// Sets the local time zone for the test and restores the one before.
class ZoneScope
{
public:
    explicit ZoneScope(const char* zone)
    {
        if (const char* before = std::getenv("TZ"))
            m_before = before;
        ::setenv("TZ", zone, 1);
        ::tzset();
    }
    ~ZoneScope()
    {
        if (m_before)
            ::setenv("TZ", m_before->c_str(), 1);
        else
            ::unsetenv("TZ");
        ::tzset();
    }
    ZoneScope(const ZoneScope&) = delete;
    ZoneScope& operator=(const ZoneScope&) = delete;

private:
    std::optional<std::string> m_before;
};

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

TEST(CsvWriter, RowsHoldTheFrameFactsWithEmptyCellsAndQuotedTexts)
{
    const ZoneScope zone("UTC0");
    CsvWriter writer;
    std::string csv;
    writer.AppendHeader(csv);

    FrameInfo query;
    query.node = 1;
    query.functionByte = query.functionCode = 3;
    query.tag = FrameTag::Query;
    query.recognised = query.crcCorrect = query.hasRegisters = true;
    query.registerAddress = 0;
    query.quantityField = 10;
    query.length = 8;
    query.timeUs = 1329399042075000;
    query.timeSource = TimeSource::File;
    query.name = "Read Holding Registers";
    writer.AppendRow(csv, query, Hex("01 03 00 00 00 0A C5 CD"),
                     "Feb 16 2012 13:30:42.075  (Q) Read Holding Registers: Node = 1 : Address = "
                     "0 : Registers 10 : Bytes = 8");

    FrameInfo exception;
    exception.node = 1;
    exception.functionByte = 0x83;
    exception.functionCode = 3;
    exception.exception = true;
    exception.exceptionCode = 2;
    exception.tag = FrameTag::Response;
    exception.recognised = exception.crcCorrect = true;
    exception.length = 5;
    exception.name = "Read, \"Holding\"";
    writer.AppendRow(csv, exception, Hex("01 83 02 C0 F1"), "x\xB5y, \"z\"\r\nw");

    FrameInfo scrap; // a one-byte CRC-error frame from a file without a time
    scrap.node = 0xFF;
    scrap.length = 1;
    scrap.name = "never shown"; // not recognised
    writer.AppendRow(csv, scrap, Hex("FF"), "(U)  CRC Error : Bytes = 1");

    EXPECT_EQ(
        csv,
        "time,tag,node,function,name,exception,address,quantity,length,crc_ok,summary,hex\r\n"
        "2012-02-16T13:30:42.075+00:00,Q,1,3,Read Holding Registers,,0,10,8,1,"
        "Feb 16 2012 13:30:42.075  (Q) Read Holding Registers: Node = 1 : Address = 0 : "
        "Registers 10 : Bytes = 8,01 03 00 00 00 0A C5 CD\r\n"
        ",R,1,3,\"Read, \"\"Holding\"\"\",2,,,5,1,\"x\xB5y, \"\"z\"\"\r\nw\",01 83 02 C0 F1\r\n"
        ",U,255,,,,,,1,0,(U)  CRC Error : Bytes = 1,FF\r\n");
}

} // namespace
} // namespace quillon
