#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "analysis/frame_pairing.h"
#include "capture/frame_cutter.h"
#include "capture/frame_info.h"

namespace quillon {

// The four data tables of a Modbus device, in protocol order.
enum class RegisterTable : std::uint8_t
{
    Coil,
    DiscreteInput,
    InputRegister,
    HoldingRegister,
};
constexpr std::size_t kRegisterTables = 4;

// "coil", "discrete_input", "input_register", "holding_register".
[[nodiscard]] const char* RegisterTableName(RegisterTable table);
[[nodiscard]] std::optional<RegisterTable> RegisterTableNamed(std::string_view name);
// Bits (coils, discrete inputs) hold 0 or 1; registers 0 to 65535.
[[nodiscard]] constexpr bool IsBitTable(RegisterTable table)
{
    return table == RegisterTable::Coil || table == RegisterTable::DiscreteInput;
}

// One point of a device: node, table and 0-based protocol address.
struct RegisterKey
{
    std::uint8_t node = 0;
    RegisterTable table = RegisterTable::HoldingRegister;
    std::uint16_t address = 0;

    friend bool operator==(const RegisterKey&, const RegisterKey&) = default;
};

// What the line last carried for one point.
struct RegisterValue
{
    std::uint16_t raw = 0;
    std::int64_t timeUs = -1;   // wall-clock time of the frame that carried it; -1 unknown
    std::uint64_t reads = 0;    // answers that read it
    std::uint64_t writes = 0;   // confirmed writes of it
    std::uint64_t changeId = 0; // the image's change count when its value last changed
};

// The latest value seen on the line per (node, table, address), with when it came and how often
// it was read and written. Reads come from the normal answers to codes 1, 2, 3, 4 and 23, placed
// at their query's addresses; writes from the queries of codes 5, 6, 15, 16, 22 and 23's write
// part once their node's normal answer confirms them (22 needs the old value). Exceptions,
// time-outs, CRC errors and answers that pair with nothing change nothing; broadcast writes are
// only counted. Frames the model cannot place are ignored, so with the device model, which does
// not name codes 2, 5, 6, 15, 22 and 23, only 1, 3, 4 and 16 reach the image.
//
// Points are kept in blocks of 64 neighbours, at most `blocksMax` blocks: memory stays bounded
// whatever the traffic, and a value that would need another block is counted as not kept.
class RegisterImage : public FrameSink
{
public:
    static constexpr std::size_t kBlockSize = 64;
    static constexpr std::size_t kDefaultBlocksMax = 16384; // 1 M points, about 40 MB

    explicit RegisterImage(std::size_t blocksMax = kDefaultBlocksMax) : m_blocksMax(blocksMax) {}

    // Takes one frame of the line, in capture order.
    void Add(std::span<const std::uint8_t> frame, const FrameInfo& info);
    void Take(const CutFrame& frame) override { Add(frame.bytes, frame.info); }
    // Forgets every value and count: a new capture or file begins.
    void Clear();

    [[nodiscard]] const RegisterValue* Find(const RegisterKey& key) const;
    // Every point kept, ordered by node, table, then address.
    [[nodiscard]] std::vector<std::pair<RegisterKey, const RegisterValue*>> Points() const;
    [[nodiscard]] std::size_t Size() const { return m_points; }

    // Values that found no room under the ceiling.
    [[nodiscard]] std::uint64_t NotKept() const { return m_notKept; }
    // Write queries to node 0: every node acts on them and none confirms.
    [[nodiscard]] std::uint64_t BroadcastWrites() const { return m_broadcastWrites; }
    // Changes with every value placed and every clear, so a view knows when to read again.
    [[nodiscard]] std::uint64_t Revision() const { return m_revision; }
    // Counts value changes; RegisterValue::changeId holds it at a point's latest change.
    [[nodiscard]] std::uint64_t Changes() const { return m_changes; }

private:
    enum class Access : std::uint8_t
    {
        Read,
        Write,
    };
    struct Block
    {
        std::uint64_t present = 0; // bit i: point i of the block holds a value
        std::array<RegisterValue, kBlockSize> values{};
    };
    static std::uint32_t BlockKey(std::uint8_t node, RegisterTable table, std::uint16_t address)
    {
        return (std::uint32_t{node} << 12) | (static_cast<std::uint32_t>(table) << 10) |
               (address / kBlockSize);
    }

    void ApplyAnswer(std::span<const std::uint8_t> answer, const FrameInfo& info);
    void PlaceBits(std::uint8_t node,
                   RegisterTable table,
                   std::uint16_t address,
                   std::size_t count,
                   std::span<const std::uint8_t> bits,
                   Access access,
                   std::int64_t timeUs);
    void PlaceRegisters(std::uint8_t node,
                        RegisterTable table,
                        std::uint16_t address,
                        std::size_t count,
                        std::span<const std::uint8_t> words,
                        Access access,
                        std::int64_t timeUs);
    void Place(const RegisterKey& key, std::uint16_t raw, Access access, std::int64_t timeUs);
    [[nodiscard]] Block* BlockFor(const RegisterKey& key, bool make);

    FramePairing m_pairing;
    std::array<std::uint8_t, 256> m_query{}; // the waiting query's bytes
    std::size_t m_queryLength = 0;

    std::size_t m_blocksMax;
    std::unordered_map<std::uint32_t, std::uint32_t> m_blockIndex;
    std::vector<std::unique_ptr<Block>> m_blocks;
    // The block the last value went to, for runs of neighbours.
    std::uint32_t m_lastKey = UINT32_MAX;
    Block* m_lastBlock = nullptr;
    std::size_t m_points = 0;
    std::uint64_t m_notKept = 0;
    std::uint64_t m_broadcastWrites = 0;
    std::uint64_t m_revision = 0;
    std::uint64_t m_changes = 0;
};

} // namespace quillon
