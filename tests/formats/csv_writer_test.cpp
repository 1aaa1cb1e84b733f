#include <gtest/gtest.h>

#include "formats/csv_writer.h"
#include "support/capture_rig.h"
#include "support/zone_scope.h"

namespace quillon {
namespace {

using test::Bytes;
using test::Hex;
using test::ZoneScope;

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
    exception.silenceBeforeUs = 2104;
    exception.longestInsideUs = 0;
    writer.AppendRow(csv, exception, Hex("01 83 02 C0 F1"), "x\xB5y, \"z\"\r\nw");

    FrameInfo scrap; // a one-byte CRC-error frame from a file without a time
    scrap.node = 0xFF;
    scrap.length = 1;
    scrap.name = "never shown"; // not recognised
    writer.AppendRow(csv, scrap, Hex("FF"), "(U)  CRC Error : Bytes = 1");
    // Texts a spreadsheet would run as formulas.
    for (const char* summary : {"=HYPERLINK(\"x\")", "+1", "-1", "@A1", "\t=1", "\r=1"})
        writer.AppendRow(csv, scrap, {}, summary);

    EXPECT_EQ(csv,
              "time,tag,node,function,name,exception,address,quantity,length,crc_ok,summary,hex,"
              "gap_before_us,longest_pause_us\r\n"
              "2012-02-16T13:30:42.075+00:00,Q,1,3,Read Holding Registers,,0,10,8,1,"
              "Feb 16 2012 13:30:42.075  (Q) Read Holding Registers: Node = 1 : Address = 0 : "
              "Registers 10 : Bytes = 8,01 03 00 00 00 0A C5 CD,,\r\n"
              ",R,1,3,\"Read, \"\"Holding\"\"\",2,,,5,1,\"x\xB5y, \"\"z\"\"\r\nw\",01 83 02 C0 F1,"
              "2104,0\r\n"
              ",U,255,,,,,,1,0,(U)  CRC Error : Bytes = 1,FF,,\r\n"
              ",U,,,,,,,1,0,\"'=HYPERLINK(\"\"x\"\")\",,,\r\n,U,,,,,,,1,0,\"'+1\",,,\r\n"
              ",U,,,,,,,1,0,\"'-1\",,,\r\n,U,,,,,,,1,0,\"'@A1\",,,\r\n"
              ",U,,,,,,,1,0,\"'\t=1\",,,\r\n,U,,,,,,,1,0,\"'\r=1\",,,\r\n");
}

} // namespace
} // namespace quillon
