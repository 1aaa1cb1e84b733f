#include <gtest/gtest.h>

#include "capture/cmodbus.h"
#include "capture/frame_model.h"
#include "capture/frame_models.h"
#include "capture/standard_model.h"
#include "support/capture_rig.h"

namespace quillon {
namespace {

using test::Bytes;
using test::Cat;
using test::Hex;
using test::WithCrc;

struct Cut
{
    std::size_t length;
    std::uint8_t queryFlag;
    std::size_t left; // bytes left in the buffer
};

Cut CutFront(const Bytes& bytes, WhenUndecided rule = WhenUndecided::Wait)
{
    std::array<std::uint8_t, kAssemblyRoom> buffer{};
    std::copy(bytes.begin(), bytes.end(), buffer.begin());
    std::size_t count = bytes.size();
    std::array<std::uint8_t, kCmodbusBufferSize> frame{};
    AnalysePackets packets;
    DeviceFrameModel model;
    const std::size_t length = CutFrontFrame(buffer, count, frame, packets, model, rule);
    return {length, static_cast<std::uint8_t>(packets.info.query ? 1 : 0), count};
}

const Bytes kQuery = Hex("01 03 00 00 00 01 84 0A");
const Bytes kResponse = WithCrc(Hex("01 03 02 00 2A"));

TEST(FrameModel, DecidesTheFrontFrameOfEveryShape)
{
    const struct
    {
        const char* what;
        Bytes bytes;
        std::size_t length;
        std::uint8_t query;
    } cases[] = {
        {"query alone", kQuery, 8, 1},
        {"query, same node and code follow: no CRC test",
         Cat({Hex("01 03 00 00 00 01 84 0B"), kResponse}), 8, 1},
        {"response alone waits", kResponse, 0, 0},
        {"response, next query follows", Cat({kResponse, kQuery}), 7, 0},
        {"short form alone with a wrong CRC waits", Hex("01 03 00 00 00 01 84 0B"), 0, 1},
        {"same node, other code, CRC holds", Cat({kQuery, WithCrc(Hex("01 04 02 00 01"))}), 8, 1},
        {"code 1 one-byte response alone", WithCrc(Hex("01 01 01 05")), 6, 0},
        {"code 1 seven bytes alone wait", WithCrc(Hex("01 01 02 05 00")), 0, 0},
        {"code 1 response with a count", Cat({WithCrc(Hex("01 01 02 05 00")), kQuery}), 7, 0},
        {"code 16 query", WithCrc(Hex("01 10 00 00 00 02 04 00 0A 01 02")), 13, 1},
        {"code 16 response", WithCrc(Hex("01 10 00 00 00 02")), 8, 0},
        {"code 16 query not all there", Hex("01 10 00 00 00 02 04 00 0A 01"), 0, 1},
        {"code 17 query", WithCrc(Hex("01 11")), 4, 1},
        {"code 17 response", WithCrc(Hex("01 11 03 0A 0B 0C")), 8, 0},
        {"code 35 query", WithCrc(Hex("01 23 00 00 00 04")), 8, 1},
        {"code 35 response", WithCrc(Hex("01 23 00 00 00 04 02 AA BB")), 11, 0},
        {"exception, whatever follows", Cat({Hex("01 83 02 C0 F1"), Hex("01 01 01")}), 5, 0},
        {"exception not all there", Hex("01 83 02 C0"), 0, 0},
        {"code without a shape takes the buffer",
         Cat({Hex("01 05 00 00 FF 00 8C 3A"), Hex("01 06 00 01 00 03 98 0B")}), 16, 1},
        {"one byte", Hex("01"), 0, 1},
        {"next function code not arrived", Cat({kQuery, Hex("01")}), 0, 1},
    };
    for (const auto& c : cases) {
        const Cut cut = CutFront(c.bytes);
        EXPECT_EQ(cut.length, c.length) << c.what;
        if (c.length > 0) {
            EXPECT_EQ(cut.queryFlag, c.query) << c.what;
        }
        EXPECT_EQ(cut.left, c.bytes.size() - c.length) << c.what;
    }
}

TEST(FrameModel, EveryCodeOfARowFollowsItsRow)
{
    // Codes 3 and 4: query 8 bytes, response 5 plus the count at byte 2.
    for (const int code : {3, 4}) {
        const auto f = static_cast<std::uint8_t>(code);
        EXPECT_EQ(CutFront(WithCrc({9, f, 0, 0, 0, 2})).queryFlag, 1) << code;
        const Bytes response = WithCrc({9, f, 4, 1, 2, 3, 4});
        EXPECT_EQ(CutFront(Cat({response, kQuery})).length, 9u) << code;
    }
    // Codes whose query carries the count at byte 6 and whose response is the 8-byte form.
    for (const int code : {16, 42, 65, 103}) {
        const auto f = static_cast<std::uint8_t>(code);
        const Cut query = CutFront(WithCrc({9, f, 0, 0, 0, 2, 4, 0x11, 0x22, 0x33, 0x44}));
        EXPECT_EQ(query.length, 13u) << code;
        EXPECT_EQ(query.queryFlag, 1) << code;
        const Cut response = CutFront(WithCrc({9, f, 0, 0, 0, 2}));
        EXPECT_EQ(response.length, 8u) << code;
        EXPECT_EQ(response.queryFlag, 0) << code;
    }
    // Codes whose query is 8 bytes and whose response carries the count at byte 6.
    for (const int code : {31, 35, 41, 43, 66, 68, 102, 104}) {
        const auto f = static_cast<std::uint8_t>(code);
        EXPECT_EQ(CutFront(WithCrc({9, f, 0, 0, 0, 2})).queryFlag, 1) << code;
        const Cut response = CutFront(WithCrc({9, f, 0, 0, 0, 2, 3, 0x11, 0x22, 0x33}));
        EXPECT_EQ(response.length, 12u) << code;
        EXPECT_EQ(response.queryFlag, 0) << code;
    }
    // Codes without a shape, recognised or not, take every byte that has arrived.
    for (const int code : {0, 2, 5, 6, 30, 71, 106, 127}) {
        const auto f = static_cast<std::uint8_t>(code);
        EXPECT_EQ(CutFront(Cat({WithCrc({9, f, 1, 2}), kQuery})).length, 14u) << code;
    }
}

TEST(FrameModel, ResponseFollowedByAQueryOfTheSameNodeAndCodeIsCutByItsCount)
{
    // Node 3: the response 03 03 02 00 2A 40 5B, then the next query. The short form fails its
    // CRC, and the count decides instead of holding the response for ever.
    const Bytes stream = Hex("03 03 02 00 2A 40 5B 03 03 00 00 00 01 85 E8");
    std::array<std::uint8_t, kAssemblyRoom> buffer{};
    std::copy(stream.begin(), stream.end(), buffer.begin());
    std::size_t count = stream.size();
    std::array<std::uint8_t, kCmodbusBufferSize> frame{};
    AnalysePackets packets;
    DeviceFrameModel model;
    EXPECT_EQ(CutFrontFrame(buffer, count, frame, packets, model, WhenUndecided::Wait), 7u);
    EXPECT_FALSE(packets.info.query);
    EXPECT_TRUE(CrcCorrect(std::span(frame).first(7)));
    EXPECT_EQ(count, 8u);
    EXPECT_EQ(buffer[0], 0x03);
    EXPECT_EQ(buffer[7], 0xE8); // the rest moved down to the front
    EXPECT_EQ(CutFrontFrame(buffer, count, frame, packets, model, WhenUndecided::Wait), 8u);
    EXPECT_TRUE(packets.info.query);
    EXPECT_EQ(count, 0u);
}

TEST(FrameModel, UndecidedFramesCutWholeTakeTheQueryRuleOfTheirLength)
{
    const struct
    {
        const char* what;
        Bytes bytes;
        WhenUndecided rule;
        std::size_t length;
        std::uint8_t query;
    } cases[] = {
        {"lone code-3 response", kResponse, WhenUndecided::CutWhole, 7, 0},
        {"code-3 query, wrong CRC", Hex("01 03 00 00 00 0A C5 CE"), WhenUndecided::CutWhole, 8, 1},
        {"code-16 start", Hex("01 10 00 00"), WhenUndecided::CutWhole, 4, 1},
        {"exception start", Hex("01 83"), WhenUndecided::CutWhole, 2, 0},
        {"one byte", Hex("07"), WhenUndecided::CutWhole, 1, 1},
        {"decided frame stays decided", Cat({kQuery, kQuery}), WhenUndecided::CutWhole, 8, 1},
        {"always whole", Cat({kQuery, kQuery}), WhenUndecided::AlwaysWhole, 16, 0},
    };
    for (const auto& c : cases) {
        const Cut cut = CutFront(c.bytes, c.rule);
        EXPECT_EQ(cut.length, c.length) << c.what;
        EXPECT_EQ(cut.queryFlag, c.query) << c.what;
    }
}

// The lengths cut from a stream that arrives in two parts, as live passes cut them.
std::vector<std::size_t> CutInTwoParts(const Bytes& stream, std::size_t split)
{
    std::array<std::uint8_t, kAssemblyRoom> buffer{};
    std::array<std::uint8_t, kCmodbusBufferSize> frame{};
    std::size_t count = 0;
    std::vector<std::size_t> cuts;
    AnalysePackets packets;
    DeviceFrameModel model;
    for (const auto& [from, to] : {std::pair{std::size_t{0}, split}, {split, stream.size()}}) {
        std::copy(stream.begin() + static_cast<std::ptrdiff_t>(from),
                  stream.begin() + static_cast<std::ptrdiff_t>(to), buffer.begin() + count);
        count += to - from;
        while (count > 0) {
            const std::size_t length =
                CutFrontFrame(buffer, count, frame, packets, model, WhenUndecided::Wait);
            if (length == 0)
                break;
            cuts.push_back(length);
        }
    }
    return cuts;
}

TEST(FrameModel, ResponseWhoseFirstEightBytesHoldACrcIsCutByItsCount)
{
    // A code-3 response of four data bytes whose first eight bytes happen to end in their own
    // CRC, followed by another node's query.
    Bytes response;
    for (int seed = 0; seed < 0x10000 && response.empty(); ++seed) {
        const Bytes head = WithCrc(
            {1, 3, 4, static_cast<std::uint8_t>(seed >> 8), static_cast<std::uint8_t>(seed), 7});
        const Bytes candidate = WithCrc(Bytes(head.begin(), head.begin() + 7));
        if (candidate[7] == head[7] && candidate[8] != 2)
            response = candidate;
    }
    ASSERT_EQ(response.size(), 9u);
    ASSERT_TRUE(CrcCorrect(std::span(response).first(8)));
    const Bytes stream = Cat({response, WithCrc(Hex("02 03 00 00 00 01"))});
    for (std::size_t split = 1; split < stream.size(); ++split) {
        const auto cuts = CutInTwoParts(stream, split);
        ASSERT_FALSE(cuts.empty()) << split;
        // Only the short form arriving alone is decided by its own CRC.
        if (split == 8) {
            EXPECT_EQ(cuts.front(), 8u) << split;
        } else {
            EXPECT_EQ(cuts, (std::vector<std::size_t>{9, 8})) << split;
        }
    }
}

// The command line, the settings and the window name a model through its row: each name finds
// that row alone, the default comes first without a menu entry (unchecking an entry returns to
// it), and each row makes its own model.
TEST(FrameModel, EachTableRowIsFoundByItsNamesAndMakesItsModel)
{
    const auto rows = FrameModels();
    ASSERT_GE(rows.size(), 2U);
    EXPECT_EQ(rows.front().kind, FrameModelKind::Device);
    EXPECT_TRUE(rows.front().menuLabel.empty());
    for (const FrameModelRow& row : rows) {
        EXPECT_EQ(FrameModelById(row.id), row.kind) << row.id;
        EXPECT_EQ(FrameModelBySetting(row.setting), row.kind) << row.id;
        EXPECT_EQ(FrameModelRowOf(row.kind).id, row.id);
        EXPECT_TRUE(&row == &rows.front() || !row.menuLabel.empty()) << row.id;
    }
    EXPECT_EQ(FrameModelById("Standard"), std::nullopt);
    EXPECT_EQ(FrameModelBySetting("standard"), std::nullopt);
    EXPECT_NE(dynamic_cast<DeviceFrameModel*>(MakeFrameModel(FrameModelKind::Device).get()),
              nullptr);
    EXPECT_NE(dynamic_cast<StandardFrameModel*>(MakeFrameModel(FrameModelKind::Standard).get()),
              nullptr);
}

} // namespace
} // namespace quillon
