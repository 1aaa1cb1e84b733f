#include "analysis/register_image.h"

#include <algorithm>

namespace quillon {

namespace {

constexpr std::array<const char*, kRegisterTables> kTableNames{
    "coil", "discrete_input", "input_register", "holding_register"};

// Modbus fields are big-endian.
std::uint16_t Word(std::span<const std::uint8_t> bytes, std::size_t at)
{
    return static_cast<std::uint16_t>((bytes[at] << 8) | bytes[at + 1]);
}

// The frame without its CRC; empty when it is too short to hold one.
std::span<const std::uint8_t> Body(std::span<const std::uint8_t> frame)
{
    return frame.size() > 2 ? frame.first(frame.size() - 2) : std::span<const std::uint8_t>();
}

// The quantities the protocol allows per request.
constexpr std::size_t kBitsMax = 2000;
constexpr std::size_t kBitsWriteMax = 1968;
constexpr std::size_t kRegistersMax = 125;
constexpr std::size_t kRegistersWriteMax = 123;
constexpr std::size_t kReadWriteReadMax = 125;
constexpr std::size_t kReadWriteWriteMax = 121;

bool IsWriteCode(std::uint8_t code)
{
    return code == 5 || code == 6 || code == 15 || code == 16 || code == 22 || code == 23;
}

} // namespace

const char* RegisterTableName(RegisterTable table)
{
    return kTableNames[static_cast<std::size_t>(table)];
}

std::optional<RegisterTable> RegisterTableNamed(std::string_view name)
{
    for (std::size_t i = 0; i < kTableNames.size(); ++i) {
        if (name == kTableNames[i])
            return static_cast<RegisterTable>(i);
    }
    return std::nullopt;
}

void RegisterImage::Clear()
{
    m_pairing.Reset();
    m_queryLength = 0;
    m_blockIndex.clear();
    m_blocks.clear();
    m_lastKey = UINT32_MAX;
    m_lastBlock = nullptr;
    m_points = 0;
    m_notKept = 0;
    m_broadcastWrites = 0;
    m_changes = 0;
    ++m_revision;
}

void RegisterImage::Add(std::span<const std::uint8_t> frame, const FrameInfo& info)
{
    const PairOutcome outcome = m_pairing.Add(info);
    switch (outcome.role) {
    case PairRole::Query:
        m_queryLength = std::min(frame.size(), m_query.size());
        std::copy_n(frame.begin(), m_queryLength, m_query.begin());
        return;
    case PairRole::Broadcast:
        if (IsWriteCode(info.functionCode))
            ++m_broadcastWrites;
        return;
    case PairRole::Response:
        if (outcome.paired)
            ApplyAnswer(frame, info);
        return;
    case PairRole::Exception:
    case PairRole::Unplaced:
    case PairRole::CrcError:
        return;
    }
}

void RegisterImage::ApplyAnswer(std::span<const std::uint8_t> answerFrame, const FrameInfo& info)
{
    const auto query = Body(std::span<const std::uint8_t>(m_query.data(), m_queryLength));
    const auto answer = Body(answerFrame);
    m_queryLength = 0;
    if (query.size() < 6 || answer.size() < 3 || query[1] != answer[1])
        return;
    const std::uint8_t node = answer[0];
    const std::int64_t time = info.timeSource != TimeSource::None ? info.timeUs : -1;
    const std::uint16_t address = Word(query, 2);
    const std::uint16_t quantity = Word(query, 4);
    const std::size_t byteCount = answer[2];
    // A read's answer: its byte count, then the values, nothing behind.
    const auto readData = [&](std::size_t expected) {
        return byteCount == expected && answer.size() == 3 + byteCount
                   ? answer.subspan(3)
                   : std::span<const std::uint8_t>();
    };
    switch (info.functionCode) {
    case 1:
    case 2: {
        const auto table =
            info.functionCode == 1 ? RegisterTable::Coil : RegisterTable::DiscreteInput;
        if (quantity == 0 || quantity > kBitsMax || query.size() != 6)
            return;
        const auto bits = readData((quantity + 7U) / 8U);
        if (!bits.empty())
            PlaceBits(node, table, address, quantity, bits, Access::Read, time);
        return;
    }
    case 3:
    case 4: {
        const auto table =
            info.functionCode == 3 ? RegisterTable::HoldingRegister : RegisterTable::InputRegister;
        if (quantity == 0 || quantity > kRegistersMax || query.size() != 6)
            return;
        const auto words = readData(2U * quantity);
        if (!words.empty())
            PlaceRegisters(node, table, address, quantity, words, Access::Read, time);
        return;
    }
    case 5: {
        // The answer echoes the query; only ON (FF00) and OFF (0000) are values.
        if (query.size() != 6 ||
            !std::equal(query.begin(), query.end(), answer.begin(), answer.end()))
            return;
        if (quantity == 0xFF00 || quantity == 0x0000)
            Place({node, RegisterTable::Coil, address}, quantity == 0xFF00 ? 1 : 0, Access::Write,
                  time);
        return;
    }
    case 6:
        if (query.size() == 6 &&
            std::equal(query.begin(), query.end(), answer.begin(), answer.end()))
            Place({node, RegisterTable::HoldingRegister, address}, quantity, Access::Write, time);
        return;
    case 15:
    case 16: {
        // The answer repeats the address and quantity the node wrote.
        const bool coils = info.functionCode == 15;
        const std::size_t max = coils ? kBitsWriteMax : kRegistersWriteMax;
        const std::size_t bytes = coils ? (quantity + 7U) / 8U : 2U * quantity;
        if (quantity == 0 || quantity > max || query.size() != 7 + bytes || query[6] != bytes ||
            answer.size() != 6 || Word(answer, 2) != address || Word(answer, 4) != quantity)
            return;
        if (coils)
            PlaceBits(node, RegisterTable::Coil, address, quantity, query.subspan(7), Access::Write,
                      time);
        else
            PlaceRegisters(node, RegisterTable::HoldingRegister, address, quantity,
                           query.subspan(7), Access::Write, time);
        return;
    }
    case 22: {
        // Mask write: new = (old AND and-mask) OR (or-mask AND NOT and-mask), of a known old value.
        if (query.size() != 8 ||
            !std::equal(query.begin(), query.end(), answer.begin(), answer.end()))
            return;
        const RegisterKey key{node, RegisterTable::HoldingRegister, address};
        const RegisterValue* old = Find(key);
        if (old == nullptr)
            return;
        const std::uint16_t andMask = Word(query, 4);
        const std::uint16_t orMask = Word(query, 6);
        Place(key, static_cast<std::uint16_t>((old->raw & andMask) | (orMask & ~andMask)),
              Access::Write, time);
        return;
    }
    case 23: {
        // Read/write multiple registers: the node writes before it reads.
        if (query.size() < 11)
            return;
        const std::uint16_t writeAddress = Word(query, 6);
        const std::uint16_t writeQuantity = Word(query, 8);
        if (quantity == 0 || quantity > kReadWriteReadMax || writeQuantity == 0 ||
            writeQuantity > kReadWriteWriteMax || query[10] != 2U * writeQuantity ||
            query.size() != 11U + 2U * writeQuantity)
            return;
        const auto words = readData(2U * quantity);
        if (words.empty())
            return;
        PlaceRegisters(node, RegisterTable::HoldingRegister, writeAddress, writeQuantity,
                       query.subspan(11), Access::Write, time);
        PlaceRegisters(node, RegisterTable::HoldingRegister, address, quantity, words, Access::Read,
                       time);
        return;
    }
    default:
        return;
    }
}

void RegisterImage::PlaceBits(std::uint8_t node,
                              RegisterTable table,
                              std::uint16_t address,
                              std::size_t count,
                              std::span<const std::uint8_t> bits,
                              Access access,
                              std::int64_t timeUs)
{
    // Addresses run to 65535; a request reaching past the end places what fits.
    count = std::min<std::size_t>(count, 65536U - address);
    for (std::size_t i = 0; i < count && i / 8 < bits.size(); ++i) {
        const auto bit = static_cast<std::uint16_t>((bits[i / 8] >> (i % 8)) & 1U);
        Place({node, table, static_cast<std::uint16_t>(address + i)}, bit, access, timeUs);
    }
}

void RegisterImage::PlaceRegisters(std::uint8_t node,
                                   RegisterTable table,
                                   std::uint16_t address,
                                   std::size_t count,
                                   std::span<const std::uint8_t> words,
                                   Access access,
                                   std::int64_t timeUs)
{
    count = std::min<std::size_t>(count, 65536U - address);
    for (std::size_t i = 0; i < count && 2 * i + 1 < words.size(); ++i)
        Place({node, table, static_cast<std::uint16_t>(address + i)}, Word(words, 2 * i), access,
              timeUs);
}

RegisterImage::Block* RegisterImage::BlockFor(const RegisterKey& key, bool make)
{
    const std::uint32_t blockKey = BlockKey(key.node, key.table, key.address);
    if (blockKey == m_lastKey)
        return m_lastBlock;
    const auto found = m_blockIndex.find(blockKey);
    Block* block = nullptr;
    if (found != m_blockIndex.end()) {
        block = m_blocks[found->second].get();
    } else {
        if (!make || m_blocks.size() >= m_blocksMax)
            return nullptr;
        m_blocks.push_back(std::make_unique<Block>());
        m_blockIndex.emplace(blockKey, static_cast<std::uint32_t>(m_blocks.size() - 1));
        block = m_blocks.back().get();
    }
    m_lastKey = blockKey;
    m_lastBlock = block;
    return block;
}

void RegisterImage::Place(const RegisterKey& key,
                          std::uint16_t raw,
                          Access access,
                          std::int64_t timeUs)
{
    Block* block = BlockFor(key, true);
    if (block == nullptr) {
        ++m_notKept;
        return;
    }
    const std::size_t slot = key.address % kBlockSize;
    const std::uint64_t bit = std::uint64_t{1} << slot;
    RegisterValue& value = block->values[slot];
    if ((block->present & bit) == 0) {
        block->present |= bit;
        ++m_points;
        value.changeId = ++m_changes;
    } else if (value.raw != raw) {
        value.changeId = ++m_changes;
    }
    value.raw = raw;
    value.timeUs = timeUs;
    if (access == Access::Read)
        ++value.reads;
    else
        ++value.writes;
    ++m_revision;
}

const RegisterValue* RegisterImage::Find(const RegisterKey& key) const
{
    const auto found = m_blockIndex.find(BlockKey(key.node, key.table, key.address));
    if (found == m_blockIndex.end())
        return nullptr;
    const Block& block = *m_blocks[found->second];
    const std::size_t slot = key.address % kBlockSize;
    return (block.present >> slot & 1U) != 0 ? &block.values[slot] : nullptr;
}

std::vector<std::pair<RegisterKey, const RegisterValue*>> RegisterImage::Points() const
{
    std::vector<std::pair<std::uint32_t, std::uint32_t>> order(m_blockIndex.begin(),
                                                               m_blockIndex.end());
    std::sort(order.begin(), order.end());
    std::vector<std::pair<RegisterKey, const RegisterValue*>> points;
    points.reserve(m_points);
    for (const auto& [blockKey, index] : order) {
        const Block& block = *m_blocks[index];
        const auto node = static_cast<std::uint8_t>(blockKey >> 12);
        const auto table = static_cast<RegisterTable>((blockKey >> 10) & 3U);
        const auto first = static_cast<std::uint32_t>((blockKey & 0x3FFU) * kBlockSize);
        for (std::size_t slot = 0; slot < kBlockSize; ++slot) {
            if ((block.present >> slot & 1U) != 0)
                points.emplace_back(
                    RegisterKey{node, table, static_cast<std::uint16_t>(first + slot)},
                    &block.values[slot]);
        }
    }
    return points;
}

} // namespace quillon
