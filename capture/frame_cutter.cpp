#include "capture/frame_cutter.h"

#include <algorithm>
#include <cmath>

#include "capture/cmodbus.h"
#include "capture/summary_line.h"

namespace quillon {

namespace {

// Three decimal digits as a number; -1 when one is not a digit.
int ThreeDigits(std::string_view digits)
{
    int value = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9')
            return -1;
        value = value * 10 + (c - '0');
    }
    return value;
}

} // namespace

FrameCutter::FrameCutter(FrameModelKind kind) : m_modelKind(kind), m_model(MakeFrameModel(kind)) {}

void FrameCutter::UseModel(FrameModelKind kind)
{
    m_modelKind = kind;
    m_model = MakeFrameModel(kind);
    m_timeUs = 0;
    m_timeSource = TimeSource::None;
    m_secondKnown = false;
    m_previousLastByteUs = -1;
}

bool FrameCutter::Stopped() const
{
    return std::any_of(m_sinks.begin(), m_sinks.end(),
                       [](const FrameSink* sink) { return sink->Full(); });
}

void FrameCutter::StampPass(const LocalTime& now)
{
    m_timestamp = MakeTimestamp(now);
    const auto us = m_epoch.Microseconds(now);
    m_timeUs = us.value_or(0);
    m_timeSource = us ? TimeSource::Pass : TimeSource::None;
}

bool FrameCutter::StampRecord(std::string_view text)
{
    m_timestamp.assign(text);
    // The lines of one second differ only in their milliseconds, and a long capture has many per
    // second: those take the time of the second already read.
    constexpr std::size_t kSecondText = 20; // "Feb 16 2012 13:30:42"
    const int millisecond = text.size() >= kSecondText + 4 && text[kSecondText] == '.'
                                ? ThreeDigits(text.substr(kSecondText + 1, 3))
                                : -1;
    if (millisecond >= 0 && m_secondKnown && text.substr(0, kSecondText) == m_secondText) {
        m_timeUs = m_secondTimeUs + millisecond * 1000;
        m_timeSource = TimeSource::File;
        return true;
    }
    const auto time = ParseTimestamp(text);
    const auto us = time ? m_epoch.Microseconds(*time) : std::nullopt;
    m_secondKnown = us.has_value();
    if (!us)
        return false; // the time of the record before stays
    m_timeUs = *us;
    m_timeSource = TimeSource::File;
    m_secondText.assign(text.substr(0, kSecondText));
    m_secondTimeUs = *us - time->millisecond * 1000;
    return true;
}

void FrameCutter::StampPacket(std::string_view text, std::int64_t timeUs)
{
    m_timestamp.assign(text);
    m_timeUs = timeUs;
    m_timeSource = TimeSource::Packet;
}

std::size_t FrameCutter::CutFront(WhenUndecided rule, Idleness idle)
{
    if (Stopped())
        return 0;
    std::size_t count = m_assembly.Count();
    const std::size_t length =
        CutFrontFrame(m_assembly.Storage(), count, m_frame, m_packets, *m_model, rule, idle);
    // The buffer still knows when the cut bytes arrived until its count is written back.
    const FrameArrival arrival = m_assembly.FrontArrival(length);
    m_assembly.SetCount(count);
    if (length == 0)
        return 0;

    const auto bytes = std::span<const std::uint8_t>(m_frame).first(length);
    FrameInfo& info = m_packets.info;
    info.crcCorrect = CrcCorrect(bytes);
    info.tag = TagOf(info);
    // A frame whose first byte's arrival is known takes that time; else the pass's or the line's.
    info.timeUs = arrival.firstByteWallUs >= 0 ? arrival.firstByteWallUs : m_timeUs;
    info.timeSource = arrival.firstByteWallUs >= 0 ? TimeSource::Arrival : m_timeSource;
    info.firstByteUs = arrival.firstByteUs;
    info.lastByteUs = arrival.lastByteUs;
    info.longestInsideUs = arrival.longestInsideUs;
    // The first byte's stamp marks its end: the silence before it ended a character earlier.
    info.silenceBeforeUs = -1;
    if (arrival.firstByteUs >= 0 && m_previousLastByteUs >= 0) {
        const std::int64_t character = std::llround(m_assembly.CharacterUs());
        info.silenceBeforeUs =
            std::max<std::int64_t>(0, arrival.firstByteUs - character - m_previousLastByteUs);
    }
    m_previousLastByteUs = std::max(arrival.lastByteUs, arrival.firstByteUs);
    m_model->FrameCut(bytes, info);
    BuildSummaryLine(info, m_timestamp, m_line);
    const CutFrame frame{bytes, info, m_timestamp, m_line};
    for (FrameSink* sink : m_sinks)
        sink->Take(frame);
    ++m_framesCut;
    return length;
}

std::size_t FrameCutter::CutRecord(std::span<const std::uint8_t> bytes)
{
    if (bytes.empty() || bytes.size() > kAssemblyRoom)
        return 0;
    // Every record ends where the file's line ends: the model may take that as a quiet line.
    while (m_assembly.Count() + bytes.size() > kAssemblyRoom) {
        if (CutFront(WhenUndecided::CutWhole, Idleness::Idle) == 0)
            return 0;
    }
    const bool leftovers = m_assembly.Count() > 0;
    if (!m_assembly.Append(bytes))
        return 0;
    return CutFront(leftovers ? WhenUndecided::Wait : WhenUndecided::CutWhole, Idleness::Idle);
}

void FrameCutter::CutRemainder()
{
    if (!m_model->UsesIdle()) {
        if (m_assembly.Count() > 0)
            (void)CutFront(WhenUndecided::AlwaysWhole, Idleness::Idle);
        return;
    }
    while (m_assembly.Count() > 0) {
        if (CutFront(WhenUndecided::CutWhole, Idleness::Idle) == 0)
            return;
    }
}

} // namespace quillon
