#include "analysis/frame_pairing.h"

namespace quillon {

namespace {

// The wall-clock times both frames share, coarsest of the two.
TimeBasis WallBasis(TimeSource query, TimeSource answer)
{
    const auto basis = [](TimeSource source) {
        switch (source) {
        case TimeSource::Arrival:
        case TimeSource::Packet:
            return TimeBasis::Packet;
        case TimeSource::File:
            return TimeBasis::File;
        case TimeSource::Pass:
            return TimeBasis::Pass;
        case TimeSource::None:
            break;
        }
        return TimeBasis::None;
    };
    const TimeBasis a = basis(query);
    const TimeBasis b = basis(answer);
    if (a == TimeBasis::None || b == TimeBasis::None)
        return TimeBasis::None;
    return a > b ? a : b;
}

} // namespace

const char* TimeBasisName(TimeBasis basis)
{
    switch (basis) {
    case TimeBasis::Arrival:
        return "arrival";
    case TimeBasis::Packet:
        return "packet";
    case TimeBasis::File:
        return "file";
    case TimeBasis::Pass:
        return "pass";
    case TimeBasis::None:
        break;
    }
    return "";
}

PairOutcome FramePairing::Add(const FrameInfo& info)
{
    PairOutcome outcome;
    // A frame listed as a CRC error pairs with nothing.
    if (ListedAsCrcError(info)) {
        outcome.role = PairRole::CrcError;
        return outcome;
    }
    if (!info.recognised) {
        outcome.role = PairRole::Unplaced;
        return outcome;
    }
    const auto endWait = [&outcome, this] {
        if (m_waiting.active) {
            outcome.timedOut = true;
            outcome.timedOutNode = m_waiting.node;
            outcome.timedOutCode = m_waiting.functionCode;
        }
        m_waiting = {};
    };

    if (info.query && !info.exception) {
        endWait();
        if (info.node == kBroadcastNode) {
            outcome.role = PairRole::Broadcast;
            return outcome;
        }
        outcome.role = PairRole::Query;
        m_waiting = Pending{true,        info.node,      info.functionCode, info.lastByteUs,
                            info.timeUs, info.timeSource};
        return outcome;
    }

    outcome.role = info.exception ? PairRole::Exception : PairRole::Response;
    if (!m_waiting.active || m_waiting.node != info.node) {
        outcome.late = true;
        return outcome;
    }
    if (m_waiting.functionCode != info.functionCode) {
        endWait();
        outcome.late = true;
        return outcome;
    }
    outcome.paired = true;
    if (m_waiting.lastByteUs >= 0 && info.firstByteUs >= 0) {
        if (info.firstByteUs >= m_waiting.lastByteUs) {
            outcome.responseUs = info.firstByteUs - m_waiting.lastByteUs;
            outcome.basis = TimeBasis::Arrival;
        }
    } else if (const TimeBasis basis = WallBasis(m_waiting.timeSource, info.timeSource);
               basis != TimeBasis::None && info.timeUs >= m_waiting.timeUs) {
        outcome.responseUs = info.timeUs - m_waiting.timeUs;
        outcome.basis = basis;
    }
    m_waiting = {};
    return outcome;
}

} // namespace quillon
