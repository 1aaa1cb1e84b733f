#pragma once

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
    Unplaced,  // a code the model does not know ("(U) "): neither query nor answer
    CrcError,  // a frame with a CRC error (or bytes no frame could be made of): pairs with nothing
};

// The broadcast address: every node acts on the query and none answers.
constexpr std::uint8_t kBroadcastNode = 0;

// Which times a response time was measured from, finest first.
enum class TimeBasis : std::uint8_t
{
    None,    // not measured
    Arrival, // arrival stamps: the query's last byte to the answer's first byte, microseconds
    Packet,  // capture file packet times, microseconds, packet to packet
    File,    // a capture log's timestamp texts, milliseconds
    Pass,    // the clock readings of the analysis passes, about 100 ms apart
};

// What pairing made of one frame.
struct PairOutcome
{
    PairRole role = PairRole::CrcError;
    // A response or exception that answered the waiting query of its node and code.
    bool paired = false;
    // A response or exception that found no waiting query of its node and code: its query's wait
    // had ended, or it was asked before the capture began.
    bool late = false;
    // Turnaround of a paired answer in microseconds, from the best times both frames have; -1
    // when they have none in common or they run backwards.
    std::int64_t responseUs = -1;
    TimeBasis basis = TimeBasis::None;
    // This frame ended the wait of a query that got no answer: the next query on the line, or an
    // answer of another code from its node.
    bool timedOut = false;
    std::uint8_t timedOutNode = 0;
    std::uint8_t timedOutCode = 0;
};

// Pairs queries with their answers, frame by frame in capture order. On a line with one master,
// the master asks again only after an answer or its own time-out, so at most one query waits: its
// wait ends at the next query on the line (to any node) or at an answer from its node. An answer
// of its code (an exception answers the code with bit 7 cleared) pairs with it; any other answer
// is late. A query to node 0 expects no answer; frames the model cannot place and CRC errors
// neither start a wait nor end one.
class FramePairing
{
public:
    [[nodiscard]] PairOutcome Add(const FrameInfo& info);
    // Forgets the waiting query: a new capture or file begins.
    void Reset() { m_waiting = {}; }
    // The query still waiting for its answer, if any.
    [[nodiscard]] bool Waiting() const { return m_waiting.active; }
    [[nodiscard]] std::uint8_t WaitingNode() const { return m_waiting.node; }
    [[nodiscard]] std::uint8_t WaitingCode() const { return m_waiting.functionCode; }

private:
    struct Pending
    {
        bool active = false;
        std::uint8_t node = 0;
        std::uint8_t functionCode = 0;
        std::int64_t lastByteUs = -1;
        std::int64_t timeUs = 0;
        TimeSource timeSource = TimeSource::None;
    };
    Pending m_waiting;
};

// A short name of the basis for tables and JSON: "arrival", "packet", "file", "pass"; "" for None.
[[nodiscard]] const char* TimeBasisName(TimeBasis basis);

} // namespace quillon
