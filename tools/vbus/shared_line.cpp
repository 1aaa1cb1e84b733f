#include "shared_line.h"

#include <algorithm>

namespace quillon::vbus {

namespace {
constexpr std::int64_t kNanosPerSecond = 1'000'000'000;
}

LinePacer::LinePacer(std::uint32_t baud, int bitsPerCharacter)
    : m_baud(std::max<std::int64_t>(baud, 1)),
      m_wholeNs(bitsPerCharacter * kNanosPerSecond / m_baud),
      m_remainder(bitsPerCharacter * kNanosPerSecond % m_baud)
{
}

Nanos LinePacer::Send(Nanos now)
{
    // An idle line starts the character at once; a busy one right behind the last character.
    if (!m_started || now >= m_freeAt) {
        m_freeAt = now;
        m_fraction = 0;
        m_started = true;
    }
    m_freeAt += m_wholeNs;
    m_fraction += m_remainder;
    if (m_fraction >= m_baud) {
        m_fraction -= m_baud;
        ++m_freeAt;
    }
    return m_freeAt;
}

std::size_t SharedLine::Put(std::size_t source, std::span<const std::uint8_t> bytes, Nanos now)
{
    const std::size_t taken = std::min(bytes.size(), Room());
    for (std::size_t i = 0; i < taken; ++i) {
        const Nanos due = m_pacer ? m_pacer->Send(now) : now;
        const Nanos start = m_pacer ? due - m_pacer->CharacterTime() : now;
        m_queue.push_back(LineByte{source, bytes[i], start, due});
    }
    return taken;
}

std::optional<Nanos> SharedLine::NextDue() const
{
    if (m_queue.empty())
        return std::nullopt;
    return m_queue.front().due;
}

std::optional<LineByte> SharedLine::TakeDue(Nanos now)
{
    if (m_queue.empty() || m_queue.front().due > now)
        return std::nullopt;
    const LineByte byte = m_queue.front();
    m_queue.pop_front();
    return byte;
}

} // namespace quillon::vbus
