#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "analysis/line_metrics.h"
#include "formats/register_map.h"
#include "metrics/prometheus_exposer.h"

namespace quillon {
namespace {

enum class Kind
{
    Query,
    Response,
    Exception,
    CrcError,
    Damaged,
};

FrameInfo Frame(Kind kind, int node, int code, std::int64_t firstUs, std::int64_t lastUs)
{
    FrameInfo info;
    info.node = static_cast<std::uint8_t>(node);
    info.functionCode = static_cast<std::uint8_t>(code);
    info.functionByte = static_cast<std::uint8_t>(kind == Kind::Exception ? code | 0x80 : code);
    info.exception = kind == Kind::Exception;
    info.query = kind == Kind::Query;
    info.recognised = true;
    info.crcCorrect = kind != Kind::CrcError && kind != Kind::Damaged;
    info.damaged = kind == Kind::Damaged;
    info.tag = TagOf(info);
    info.length = 10;
    info.firstByteUs = firstUs;
    info.lastByteUs = lastUs;
    info.timeUs = 1'700'000'000'000'000 + firstUs;
    info.timeSource = TimeSource::Arrival;
    return info;
}

TEST(LineMetrics, ServesEachNodeAndFunctionWithItsHistogram)
{
    LineMetrics metrics;
    metrics.SetLineFormat({.baud = 9600, .dataBits = 8, .parity = true, .stopBits = 1});
    const FrameInfo frames[] = {
        Frame(Kind::Query, 1, 3, 0, 1000),
        Frame(Kind::Response, 1, 3, 4000, 5000), // 3 ms
        Frame(Kind::Query, 1, 3, 10000, 11000),
        Frame(Kind::Response, 1, 3, 11500, 12000), // 0.5 ms
        Frame(Kind::Query, 2, 4, 20000, 21000),
        Frame(Kind::Exception, 2, 4, 22000, 23000),
        Frame(Kind::Query, 7, 16, 30000, 31000),             // never answered
        Frame(Kind::CrcError, 7, 16, 31500, 32000),          // pairs with nothing
        Frame(Kind::Query, 1, 3, 40000, 41000),              // ends node 7's wait
        Frame(Kind::Response, 1, 3, 20'041'000, 20'042'000), // 20 s: above every bound
        Frame(Kind::Damaged, 0, 0, 50'000'000, 50'000'100),
    };
    for (const FrameInfo& frame : frames)
        metrics.Add(frame);
    EXPECT_EQ(metrics.Published().rows.size(), 0U) << "nothing is served before it is published";
    ASSERT_TRUE(metrics.Publish(1'000'000, UartErrorCounts{1, 2, 3, 4}, {}));

    const std::string text = MetricsText(metrics.Published());
    const char* const expected[] = {
        R"(quillon_frames_total{node="1",function="3",tag="query"} 3)",
        R"(quillon_frames_total{node="1",function="3",tag="response"} 3)",
        R"(quillon_frames_total{node="2",function="4",tag="response"} 1)",
        R"(quillon_frames_total{node="7",function="16",tag="unknown"} 1)",
        R"(quillon_frames_total{node="unknown",function="unknown",tag="unknown"} 1)",
        R"(quillon_crc_errors_total{node="7",function="16"} 1)",
        R"(quillon_crc_errors_total{node="unknown",function="unknown"} 1)",
        R"(quillon_exceptions_total{node="2",function="4"} 1)",
        R"(quillon_exceptions_total{node="1",function="3"} 0)",
        R"(quillon_timeouts_total{node="7",function="16"} 1)",
        R"(quillon_response_time_seconds_bucket{node="1",function="3",le="0.001"} 1)",
        R"(quillon_response_time_seconds_bucket{node="1",function="3",le="0.005"} 2)",
        R"(quillon_response_time_seconds_bucket{node="1",function="3",le="10"} 2)",
        R"(quillon_response_time_seconds_bucket{node="1",function="3",le="+Inf"} 3)",
        R"(quillon_response_time_seconds_count{node="1",function="3"} 3)",
        R"(quillon_response_time_seconds_sum{node="1",function="3"} 20.0035)",
        R"(quillon_response_time_seconds_count{node="2",function="4"} 0)",
        // 11 frames of 10 bytes of 11 bits in one second at 9600 baud.
        R"(quillon_bus_load_ratio 0.1260416666666667)",
        R"(quillon_uart_errors_total{kind="overrun"} 3)",
        R"(quillon_uart_errors_total{kind="break"} 4)",
    };
    for (const char* line : expected)
        EXPECT_NE(text.find(std::string(line) + "\n"), std::string::npos) << line << "\n" << text;
    EXPECT_EQ(text.find("node=\"unknown\",function=\"unknown\",le="), std::string::npos)
        << "bytes that are no frame get no histogram";
}

TEST(LineMetrics, ServesTheNumberPointsOfTheMapTheImageHolds)
{
    const MapRead read = ReadRegisterMapText("node,table,address,name,type,scale,unit\n"
                                             "1,holding_register,0,flow,float32,1,m3/h\n"
                                             "1,holding_register,2,level,uint16,0.1,m\n"
                                             "1,holding_register,3,tag,string,1,\n"
                                             "1,holding_register,9,unread,uint16,1,\n",
                                             "map.csv");
    ASSERT_TRUE(read.map) << read.error.Text();
    RegisterImage image;
    // Node 1 reads four registers from 0: 21.5 as a float, 1234, "AB".
    const std::vector<std::uint8_t> query{0x01, 0x03, 0x00, 0x00, 0x00, 0x04, 0x44, 0x09};
    const std::vector<std::uint8_t> answer{0x01, 0x03, 0x08, 0x41, 0xAC, 0x00, 0x00,
                                           0x04, 0xD2, 0x41, 0x42, 0x00, 0x00};
    FrameInfo q = Frame(Kind::Query, 1, 3, 0, 1000);
    q.length = static_cast<std::uint16_t>(query.size());
    FrameInfo r = Frame(Kind::Response, 1, 3, 2000, 3000);
    r.length = static_cast<std::uint16_t>(answer.size());
    image.Add(query, q);
    image.Add(answer, r);

    LineMetrics metrics;
    ASSERT_TRUE(metrics.Publish(0, std::nullopt, MapGauges(*read.map, image)));
    const std::string text = MetricsText(metrics.Published());
    EXPECT_NE(text.find(R"(quillon_register_value{node="1",table="holding_register",address="0",)"
                        R"(name="flow",unit="m3/h"} 21.5)"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find(R"(name="level",unit="m"} 123.4)"), std::string::npos) << text;
    EXPECT_EQ(text.find("name=\"tag\""), std::string::npos) << "a string is no number";
    EXPECT_EQ(text.find("name=\"unread\""), std::string::npos) << "a point never read has no value";
    EXPECT_EQ(text.find("quillon_bus_load_ratio"), std::string::npos) << "no baud rate, no load";
    EXPECT_EQ(text.find("quillon_uart_errors_total"), std::string::npos);
}

} // namespace
} // namespace quillon
