#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "seams/serial_line.h"

namespace quillon {

// Size of the working data buffer: a read, or the frame being tested.
constexpr std::size_t kCmodbusBufferSize = 1000;
// The most a single read of the line asks for.
constexpr std::size_t kReadRequestMax = 512;

// The Modbus RTU CRC-16 register W after the given bytes: reflected polynomial 0xA001, start
// value 0xFFFF, no final inversion, computed bit by bit.
[[nodiscard]] std::uint16_t Crc16(std::span<const std::uint8_t> bytes);

// True when the frame has at least 3 bytes and its last two are the CRC of the rest, low byte
// first (RTU frames end with a CRC-16, low byte first).
[[nodiscard]] bool CrcCorrect(std::span<const std::uint8_t> frame);

// The working byte buffer of one pass: it receives a read and then every frame cut from the
// assembly buffer, and checks the frame's CRC.
class Cmodbus
{
public:
    virtual ~Cmodbus() = default;

    // Reads at most maxBytes (bounded by the buffer) of what the line has received and makes that
    // the byte count. A read that yields nothing also clears the line error, so that the next
    // read can deliver.
    std::size_t ReadPort(SerialLine& line, std::size_t maxBytes);
    // Computes the CRC of the bytes into the CRC result (low byte of W in bits 15..8). No bytes
    // sets the error flag and leaves the result as it was.
    void CalcCRC(std::span<const std::uint8_t> bytes);
    // Takes the first byte-count bytes as one frame and sets the error flag: 0 when the CRC is
    // correct, 1 when it is wrong or the frame is too short.
    void CheckCRC();

    [[nodiscard]] std::span<std::uint8_t> Data() { return m_data; }
    [[nodiscard]] std::span<const std::uint8_t> Bytes() const
    {
        return std::span<const std::uint8_t>(m_data).first(m_byteCount);
    }
    [[nodiscard]] std::size_t ByteCount() const { return m_byteCount; }
    void SetByteCount(std::size_t count)
    {
        m_byteCount = count < kCmodbusBufferSize ? count : kCmodbusBufferSize;
    }
    [[nodiscard]] std::uint32_t CrcResult() const { return m_crcResult; }
    [[nodiscard]] bool ErrorFlag() const { return m_errorFlag != 0; }

private:
    std::array<std::uint8_t, kCmodbusBufferSize> m_data{};
    std::size_t m_byteCount = 0;
    std::uint8_t m_crcLow = 0xFF;
    std::uint8_t m_crcHigh = 0xFF;
    std::uint32_t m_crcResult = 0;
    std::uint32_t m_errorFlag = 0;
};

} // namespace quillon
