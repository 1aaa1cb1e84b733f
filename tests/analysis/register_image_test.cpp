#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "analysis/register_image.h"
#include "support/fakes.h"

namespace quillon {
namespace {

enum class Dir
{
    Q,      // a query
    R,      // an answer
    BadCrc, // an answer whose CRC fails
};

struct Step
{
    Dir dir;
    const char* hex; // the frame without its CRC
};

FrameInfo InfoOf(const test::Bytes& frame, Dir dir, std::int64_t timeUs)
{
    FrameInfo info;
    info.node = frame[0];
    info.functionByte = frame[1];
    info.functionCode = frame[1] & 0x7F;
    info.exception = (frame[1] & 0x80) != 0;
    info.exceptionCode = info.exception ? frame[2] : 0;
    info.query = dir == Dir::Q;
    info.recognised = true;
    info.crcCorrect = dir != Dir::BadCrc;
    info.length = static_cast<std::uint16_t>(frame.size());
    info.timeUs = timeUs;
    info.timeSource = TimeSource::Packet;
    return info;
}

// A line with every code the image knows, exceptions, a time-out, a late answer, a CRC error
// and a broadcast; then what the image holds, point by point, and nothing else.
TEST(RegisterImage, KeepsTheLastValueTheLineCarriedForEveryPoint)
{
    const Step steps[] = {
        {Dir::Q, "01 03 00 00 00 02"}, // holding 0..1
        {Dir::R, "01 03 04 00 01 00 02"},
        {Dir::Q, "01 01 00 13 00 0A"}, // coils 19..28
        {Dir::R, "01 01 02 CD 01"},
        {Dir::Q, "01 02 00 00 00 03"}, // discrete inputs 0..2
        {Dir::R, "01 02 01 05"},
        {Dir::Q, "01 04 00 08 00 01"}, // input register 8
        {Dir::R, "01 04 02 12 34"},
        {Dir::Q, "01 05 00 AC FF 00"}, // coil 172 on
        {Dir::R, "01 05 00 AC FF 00"},
        {Dir::Q, "01 06 00 01 00 03"}, // holding 1 = 3
        {Dir::R, "01 06 00 01 00 03"},
        {Dir::Q, "01 0F 00 13 00 0A 02 CD 01"}, // coils 19..28 as read
        {Dir::R, "01 0F 00 13 00 0A"},
        {Dir::Q, "01 10 00 01 00 02 04 00 0A 01 02"}, // holding 1..2
        {Dir::R, "01 10 00 01 00 02"},
        {Dir::Q, "01 16 00 04 00 F2 00 25"}, // mask write of an unknown value: nothing
        {Dir::R, "01 16 00 04 00 F2 00 25"},
        {Dir::Q, "01 03 00 04 00 01"},
        {Dir::R, "01 03 02 00 12"},
        {Dir::Q, "01 16 00 04 00 F2 00 25"}, // (0x12 AND 0xF2) OR (0x25 AND NOT 0xF2) = 0x17
        {Dir::R, "01 16 00 04 00 F2 00 25"},
        {Dir::Q, "01 17 00 03 00 02 00 0A 00 01 02 00 FF"}, // write 10, then read 3..4
        {Dir::R, "01 17 04 00 FE 0A CD"},
        {Dir::Q, "01 03 00 00 00 02"}, // an exception changes nothing
        {Dir::R, "01 83 02"},
        {Dir::Q, "01 06 00 01 00 99"}, // times out at the next query
        {Dir::Q, "02 03 00 00 00 01"},
        {Dir::R, "01 06 00 01 00 99"}, // late: not applied
        {Dir::R, "02 03 02 00 07"},
        {Dir::Q, "01 06 00 02 00 55"}, // its answer fails the CRC
        {Dir::BadCrc, "01 06 00 02 00 55"},
        {Dir::Q, "00 06 00 01 00 77"}, // broadcast: counted only
        {Dir::Q, "01 03 00 00 00 02"}, // an answer whose byte count is wrong
        {Dir::R, "01 03 02 00 09"},
        {Dir::Q, "01 04 00 20 00 01"}, // still waiting at the end
    };
    const struct
    {
        int node;
        RegisterTable table;
        int address;
        int raw;
        int reads;
        int writes;
        std::int64_t timeUs; // the frame that last placed it
    } expected[] = {
        {1, RegisterTable::Coil, 19, 1, 1, 1, 13},
        {1, RegisterTable::Coil, 20, 0, 1, 1, 13},
        {1, RegisterTable::Coil, 21, 1, 1, 1, 13},
        {1, RegisterTable::Coil, 22, 1, 1, 1, 13},
        {1, RegisterTable::Coil, 23, 0, 1, 1, 13},
        {1, RegisterTable::Coil, 24, 0, 1, 1, 13},
        {1, RegisterTable::Coil, 25, 1, 1, 1, 13},
        {1, RegisterTable::Coil, 26, 1, 1, 1, 13},
        {1, RegisterTable::Coil, 27, 1, 1, 1, 13},
        {1, RegisterTable::Coil, 28, 0, 1, 1, 13},
        {1, RegisterTable::Coil, 172, 1, 0, 1, 9},
        {1, RegisterTable::DiscreteInput, 0, 1, 1, 0, 5},
        {1, RegisterTable::DiscreteInput, 1, 0, 1, 0, 5},
        {1, RegisterTable::DiscreteInput, 2, 1, 1, 0, 5},
        {1, RegisterTable::InputRegister, 8, 0x1234, 1, 0, 7},
        {1, RegisterTable::HoldingRegister, 0, 1, 1, 0, 1},
        {1, RegisterTable::HoldingRegister, 1, 10, 1, 2, 15},
        {1, RegisterTable::HoldingRegister, 2, 0x102, 0, 1, 15},
        {1, RegisterTable::HoldingRegister, 3, 0xFE, 1, 0, 23},
        {1, RegisterTable::HoldingRegister, 4, 0xACD, 2, 1, 23},
        {1, RegisterTable::HoldingRegister, 10, 0xFF, 0, 1, 23},
        {2, RegisterTable::HoldingRegister, 0, 7, 1, 0, 29},
    };

    RegisterImage image;
    std::int64_t time = 0;
    for (const Step& step : steps) {
        const test::Bytes frame = test::WithCrc(test::Hex(step.hex));
        image.Add(frame, InfoOf(frame, step.dir, time++));
    }
    const auto points = image.Points();
    ASSERT_EQ(points.size(), std::size(expected));
    for (std::size_t i = 0; i < points.size(); ++i) {
        const auto& [key, value] = points[i];
        const auto& want = expected[i];
        const std::string where = std::to_string(want.node) + " " + RegisterTableName(want.table) +
                                  " " + std::to_string(want.address);
        EXPECT_EQ(key, (RegisterKey{static_cast<std::uint8_t>(want.node), want.table,
                                    static_cast<std::uint16_t>(want.address)}))
            << where;
        EXPECT_EQ(value->raw, want.raw) << where;
        EXPECT_EQ(value->reads, static_cast<std::uint64_t>(want.reads)) << where;
        EXPECT_EQ(value->writes, static_cast<std::uint64_t>(want.writes)) << where;
        EXPECT_EQ(value->timeUs, want.timeUs) << where;
    }
    EXPECT_EQ(image.BroadcastWrites(), 1u);
    EXPECT_EQ(image.NotKept(), 0u);

    // Under a ceiling of one block, values of a second block are counted, not kept; a clear
    // forgets everything.
    RegisterImage small(1);
    time = 0;
    for (const Step& step : steps) {
        const test::Bytes frame = test::WithCrc(test::Hex(step.hex));
        small.Add(frame, InfoOf(frame, step.dir, time++));
    }
    // The first block holds node 1's holding registers 0 to 63; 10 + 1 + 10 coil values, 3
    // discrete inputs, an input register and node 2's register find no room.
    EXPECT_EQ(small.Points().size(), 6u);
    EXPECT_EQ(small.Find({1, RegisterTable::Coil, 19}), nullptr);
    EXPECT_EQ(small.NotKept(), 26u);
    small.Clear();
    EXPECT_EQ(small.Size(), 0u);
    EXPECT_EQ(small.Find({1, RegisterTable::HoldingRegister, 0}), nullptr);
}

} // namespace
} // namespace quillon
