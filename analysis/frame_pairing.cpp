#include "analysis/frame_pairing.h"

namespace quillon {

PairOutcome FramePairing::Add(const FrameInfo& info)
{
    PairOutcome outcome;
    // A frame listed as a CRC error pairs with nothing.
    if (ListedAsCrcError(info)) {
        outcome.role = PairRole::CrcError;
        return outcome;
    }
    Waiting& waiting = m_waiting[info.node];
    if (info.query && !info.exception) {
        if (waiting.active) {
            outcome.timedOut = true;
            outcome.timedOutCode = waiting.functionCode;
        }
        if (info.node == kBroadcastNode) {
            outcome.role = PairRole::Broadcast;
            waiting = {};
            return outcome;
        }
        outcome.role = PairRole::Query;
        waiting = Waiting{true, info.functionCode, info.lastByteUs};
        return outcome;
    }

    outcome.role = info.exception ? PairRole::Exception : PairRole::Response;
    // An answer of another code leaves the node's query waiting: it may still come.
    if (!waiting.active || waiting.functionCode != info.functionCode)
        return outcome;
    outcome.paired = true;
    if (waiting.lastByteUs >= 0 && info.firstByteUs >= waiting.lastByteUs)
        outcome.responseUs = info.firstByteUs - waiting.lastByteUs;
    waiting = {};
    return outcome;
}

} // namespace quillon
