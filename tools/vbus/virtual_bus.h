#pragma once

#include <csignal>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <poll.h>
#include <string>
#include <vector>

#include "bus_options.h"
#include "pty_peer.h"
#include "shared_line.h"
#include "uart_receiver.h"

namespace quillon::vbus {

struct PeerStats
{
    std::uint64_t sent = 0;     // bytes the peer's program put on the line
    std::uint64_t received = 0; // bytes handed to the peer's program
    std::uint64_t missed = 0;   // bytes that passed while the peer was closed or overran
};

// The multi-drop line: a set of pseudo-terminal peers joined by one shared medium. It runs on
// one thread; Step() waits for the next thing to do and does it.
class VirtualBus
{
public:
    // How often closed peers are looked at: a closed master reports a hang-up all the time,
    // so it cannot sit in the wait set without turning the wait into a busy loop.
    static constexpr Nanos kRecheckInterval = 10'000'000;
    // The shortest pause between two deliveries on a paced line; fast lines hand over a few
    // characters at a time rather than waking for each one.
    static constexpr Nanos kMinWake = 500'000;
    static constexpr std::size_t kReadChunk = 256;

    using AttachSink = std::function<void(std::size_t peer, bool attached)>;

    explicit VirtualBus(const BusOptions& options);

    // Creates the peers. On failure nothing is left open and error says why.
    [[nodiscard]] bool Open(std::string& error);

    [[nodiscard]] std::size_t PeerCount() const { return m_peers.size(); }
    [[nodiscard]] const PtyPeer& Peer(std::size_t i) const { return m_peers.at(i); }
    [[nodiscard]] const PeerStats& Stats(std::size_t i) const { return m_stats.at(i); }

    void SetAttachSink(AttachSink sink) { m_attachSink = std::move(sink); }

    // Waits at most maxWait for bytes, room to write or a peer coming or going, then carries
    // what has arrived. With a wait mask the wait can be broken by the signals it lets through.
    void Step(Nanos maxWait, const sigset_t* waitMask = nullptr);

    // Looks at the closed peers: takes what their programs left behind and notices programs
    // that have opened them since.
    void RecheckDetached(Nanos now);

    [[nodiscard]] static Nanos Now();

private:
    // Reads what a peer's program wrote onto the line, as far as the line has room.
    // False when the other side has hung up.
    bool Drain(std::size_t peer, Nanos now);
    void Deliver(Nanos now);
    void SetDetached(std::size_t peer);
    // Gives a receiver of its own to each attached peer whose program set its terminal to
    // settings that receive otherwise than the line's, and takes it away when they match again.
    void UpdateReceivers(Nanos now);
    void Receive(std::size_t peer, Nanos now);

    BusOptions m_options;
    SharedLine m_line;
    std::vector<PtyPeer> m_peers;
    std::vector<PeerStats> m_stats;
    std::optional<CharacterFormat> m_lineFormat; // none on an unpaced line
    std::vector<std::optional<UartReceiver>> m_receivers;
    std::vector<unsigned> m_inputFlags;
    std::vector<ReceivedCharacter> m_received;
    std::vector<pollfd> m_pollFds;
    std::vector<std::size_t> m_pollPeers;
    AttachSink m_attachSink;
    Nanos m_nextRecheck = 0;
    Nanos m_lastDelivery = 0;
};

} // namespace quillon::vbus
