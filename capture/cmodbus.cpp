#include "capture/cmodbus.h"

#include <algorithm>
#include <array>

namespace quillon {

namespace {

// The CRC-16 (polynomial 0xA001, reflected) of each byte value alone: one table step per byte
// does what eight shift steps do.
constexpr std::array<std::uint16_t, 256> MakeCrcTable()
{
    std::array<std::uint16_t, 256> table{};
    for (unsigned value = 0; value < 256; ++value) {
        auto w = static_cast<std::uint16_t>(value);
        // Eight shift steps; a bit shifted out of the low end brings in the polynomial.
        for (int bit = 0; bit < 8; ++bit) {
            const auto carry = static_cast<std::uint16_t>(w & 1U);
            w = static_cast<std::uint16_t>((w >> 1) ^ (0xA001U & (0U - carry)));
        }
        table[value] = w;
    }
    return table;
}

constexpr std::array<std::uint16_t, 256> kCrcTable = MakeCrcTable();

} // namespace

std::uint16_t Crc16(std::span<const std::uint8_t> bytes)
{
    std::uint16_t w = 0xFFFF;
    for (const std::uint8_t byte : bytes)
        w = static_cast<std::uint16_t>((w >> 8) ^ kCrcTable[(w ^ byte) & 0xFFU]);
    return w;
}

bool CrcCorrect(std::span<const std::uint8_t> frame)
{
    const std::size_t n = frame.size();
    if (n < 3)
        return false;
    const std::uint16_t w = Crc16(frame.first(n - 2));
    return frame[n - 2] == (w & 0xFFU) && frame[n - 1] == (w >> 8);
}

std::size_t Cmodbus::ReadPort(SerialLine& line, std::size_t maxBytes)
{
    m_byteCount = 0;
    const std::size_t request = std::min(maxBytes, m_data.size());
    const std::size_t delivered = line.Read(std::span<std::uint8_t>(m_data).first(request));
    m_byteCount = std::min(delivered, request);
    if (m_byteCount == 0)
        line.ClearError();
    return m_byteCount;
}

void Cmodbus::CalcCRC(std::span<const std::uint8_t> bytes)
{
    if (bytes.empty()) {
        m_errorFlag = 1;
        return;
    }
    const std::uint16_t w = Crc16(bytes);
    m_crcLow = static_cast<std::uint8_t>(w & 0xFFU);
    m_crcHigh = static_cast<std::uint8_t>(w >> 8);
    m_crcResult = (static_cast<std::uint32_t>(m_crcLow) << 8) | m_crcHigh;
}

void Cmodbus::CheckCRC()
{
    m_errorFlag = 0;
    if (m_byteCount < 3) {
        // Fewer than three bytes leave nothing for the CRC to cover: the check fails.
        m_errorFlag = 1;
        return;
    }
    const auto frame = Bytes();
    CalcCRC(frame.first(m_byteCount - 2));
    if (frame[m_byteCount - 1] != m_crcHigh || frame[m_byteCount - 2] != m_crcLow)
        m_errorFlag = 1;
}

} // namespace quillon
