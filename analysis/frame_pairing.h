#pragma once

#include <array>
#include <cstdint>

#include "capture/frame_info.h"

namespace quillon {

// What a frame is once set beside the frames before it.
enum class PairRole : std::uint8_t
{
    Query,     // a query now waiting for its answer
    Broadcast, // a query to node 0: no answer is expected
    Response,  // a normal response
    Exception, // an exception response
    CrcError,  // a frame with a CRC error (or bytes no frame could be made of): pairs with nothing
};

// The broadcast address: every node acts on the query and none answers.
constexpr std::uint8_t kBroadcastNode = 0;

// What pairing made of one frame.
struct PairOutcome
{
    PairRole role = PairRole::CrcError;
    // A response or exception that answered a waiting query of its node and code.
    bool paired = false;
    // Turnaround of a paired answer: its first byte's arrival minus the query's last byte's,
    // microseconds; -1 when either arrival is unknown (coarse file times) or they run backwards.
    std::int64_t responseUs = -1;
    // A query of the same node was still waiting when this query came: it got no answer.
    bool timedOut = false;
    std::uint8_t timedOutCode = 0; // the function code of that query
};

// Pairs queries with their answers, frame by frame in capture order. A response belongs to the
// latest unanswered query of its node with the same function code (an exception answers the code
// with bit 7 cleared). A node's query that is followed by another query to that node before any
// answer timed out; a query to node 0 expects no answer. Each node waits for at most one answer,
// so the state is one small entry per node whatever the length of the capture.
class FramePairing
{
public:
    [[nodiscard]] PairOutcome Add(const FrameInfo& info);
    // Forgets every waiting query: a new capture or file begins.
    void Reset() { m_waiting = {}; }

private:
    struct Waiting
    {
        bool active = false;
        std::uint8_t functionCode = 0;
        std::int64_t lastByteUs = -1;
    };
    std::array<Waiting, 256> m_waiting{};
};

} // namespace quillon
