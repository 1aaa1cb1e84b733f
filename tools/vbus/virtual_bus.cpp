#include "virtual_bus.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <ctime>

namespace quillon::vbus {

namespace {

[[nodiscard]] std::optional<LinePacer> MakePacer(const BusOptions& options)
{
    if (!options.paced)
        return std::nullopt;
    return LinePacer(options.baud, options.BitsPerCharacter());
}

[[nodiscard]] timespec ToTimespec(Nanos span)
{
    constexpr Nanos kNanosPerSecond = 1'000'000'000;
    span = std::max<Nanos>(span, 0);
    return timespec{static_cast<time_t>(span / kNanosPerSecond),
                    static_cast<long>(span % kNanosPerSecond)};
}

[[nodiscard]] std::optional<CharacterFormat> LineFormat(const BusOptions& options)
{
    if (!options.paced)
        return std::nullopt;
    return CharacterFormat{options.baud, options.dataBits, options.parity, options.stopBits};
}

} // namespace

VirtualBus::VirtualBus(const BusOptions& options)
    : m_options(options), m_line(MakePacer(options)), m_lineFormat(LineFormat(options))
{
}

Nanos VirtualBus::Now()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<Nanos>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

bool VirtualBus::Open(std::string& error)
{
    std::vector<PtyPeer> peers;
    for (int i = 0; i < m_options.peers; ++i) {
        auto peer = PtyPeer::Create(error);
        if (!peer)
            return false;
        peers.push_back(std::move(*peer));
    }
    m_peers = std::move(peers);
    m_stats.assign(m_peers.size(), PeerStats{});
    m_receivers.assign(m_peers.size(), std::nullopt);
    m_inputFlags.assign(m_peers.size(), 0);
    m_nextRecheck = 0;
    return true;
}

bool VirtualBus::Drain(std::size_t peer, Nanos now)
{
    std::array<std::uint8_t, kReadChunk> buffer{};
    while (m_line.Room() > 0) {
        const std::size_t want = std::min(buffer.size(), m_line.Room());
        const auto result = m_peers[peer].Read(std::span(buffer).first(want));
        if (result.count > 0) {
            const std::size_t taken = m_line.Put(peer, std::span(buffer).first(result.count), now);
            m_stats[peer].sent += taken;
            for (std::size_t k = taken; k > 0; --k) {
                const LineByte& byte = m_line.Recent(k - 1);
                for (std::size_t i = 0; i < m_receivers.size(); ++i) {
                    if (i != peer && m_receivers[i])
                        m_receivers[i]->Add(LineCharacter{byte.start, byte.value});
                }
            }
        }
        switch (result.status) {
        case PtyPeer::ReadStatus::Data:
            continue;
        case PtyPeer::ReadStatus::Drained:
            return true;
        case PtyPeer::ReadStatus::HungUp:
        case PtyPeer::ReadStatus::Failed:
            return false;
        }
    }
    return true;
}

void VirtualBus::SetDetached(std::size_t peer)
{
    const bool was = m_peers[peer].Attached();
    m_peers[peer].Detach();
    m_receivers[peer].reset();
    if (was && m_attachSink)
        m_attachSink(peer, false);
}

void VirtualBus::UpdateReceivers(Nanos now)
{
    if (!m_lineFormat)
        return;
    for (std::size_t i = 0; i < m_peers.size(); ++i) {
        const auto settings = m_peers[i].Attached() ? m_peers[i].Settings()
                                                    : std::optional<PtyPeer::TerminalSettings>{};
        if (!settings || settings->format.ReceivesAlike(*m_lineFormat)) {
            m_receivers[i].reset();
            continue;
        }
        m_inputFlags[i] = settings->inputFlags;
        if (m_receivers[i] && m_receivers[i]->Own().ReceivesAlike(settings->format))
            continue;
        // A receiver set anew starts listening now; what the line holds already is its to hear.
        m_receivers[i].emplace(*m_lineFormat, settings->format, now);
        for (std::size_t k = m_line.Size(); k > 0; --k) {
            const LineByte& byte = m_line.Recent(k - 1);
            if (byte.source != i)
                m_receivers[i]->Add(LineCharacter{byte.start, byte.value});
        }
    }
}

void VirtualBus::Receive(std::size_t peer, Nanos now)
{
    m_received.clear();
    m_receivers[peer]->ReceiveUntil(now, m_received);
    for (const auto& character : m_received) {
        const auto bytes = TerminalBytes(character, m_inputFlags[peer]);
        const std::size_t dropped = m_peers[peer].Queue(bytes);
        m_stats[peer].missed += dropped;
        m_stats[peer].received += bytes.size() - dropped;
    }
}

void VirtualBus::Deliver(Nanos now)
{
    bool delivered = false;
    for (std::size_t i = 0; i < m_peers.size(); ++i) {
        if (m_receivers[i] && m_peers[i].Attached()) {
            const std::uint64_t before = m_stats[i].received;
            Receive(i, now);
            delivered = delivered || m_stats[i].received != before;
        }
    }
    while (const auto byte = m_line.TakeDue(now)) {
        delivered = true;
        for (std::size_t i = 0; i < m_peers.size(); ++i) {
            if (i == byte->source || m_receivers[i])
                continue;
            if (!m_peers[i].Attached()) {
                ++m_stats[i].missed;
                continue;
            }
            const std::size_t dropped = m_peers[i].Queue(std::span(&byte->value, 1));
            m_stats[i].missed += dropped;
            m_stats[i].received += 1 - dropped;
        }
    }
    if (!delivered)
        return;
    m_lastDelivery = now;
    for (std::size_t i = 0; i < m_peers.size(); ++i) {
        if (m_peers[i].Attached() && m_peers[i].HasBacklog() && !m_peers[i].Flush())
            SetDetached(i);
    }
}

void VirtualBus::RecheckDetached(Nanos now)
{
    for (std::size_t i = 0; i < m_peers.size(); ++i) {
        if (m_peers[i].Attached())
            continue;
        pollfd probe{m_peers[i].Fd(), POLLIN, 0};
        if (poll(&probe, 1, 0) < 0)
            continue;
        if ((probe.revents & POLLIN) != 0)
            Drain(i, now);
        if ((probe.revents & (POLLHUP | POLLERR | POLLNVAL)) == 0) {
            m_peers[i].MarkAttached();
            if (m_attachSink)
                m_attachSink(i, true);
        }
    }
}

void VirtualBus::Step(Nanos maxWait, const sigset_t* waitMask)
{
    Nanos now = Now();
    if (now >= m_nextRecheck) {
        RecheckDetached(now);
        m_nextRecheck = now + kRecheckInterval;
    }
    UpdateReceivers(now);
    Deliver(now);

    m_pollFds.clear();
    m_pollPeers.clear();
    bool anyDetached = false;
    for (std::size_t i = 0; i < m_peers.size(); ++i) {
        if (!m_peers[i].Attached()) {
            anyDetached = true;
            continue;
        }
        short events = 0;
        if (m_line.Room() > 0)
            events |= POLLIN;
        if (m_peers[i].HasBacklog())
            events |= POLLOUT;
        // Even with no events asked for, the wait reports the hang-up of a closing program.
        m_pollFds.push_back(pollfd{m_peers[i].Fd(), events, 0});
        m_pollPeers.push_back(i);
    }

    Nanos deadline = now + std::max<Nanos>(maxWait, 0);
    if (const auto due = m_line.NextDue())
        deadline = std::min(deadline, std::max(*due, m_lastDelivery + kMinWake));
    for (const auto& receiver : m_receivers) {
        if (const auto ready = receiver ? receiver->NextReady() : std::nullopt)
            deadline = std::min(deadline, std::max(*ready, m_lastDelivery + kMinWake));
    }
    if (anyDetached)
        deadline = std::min(deadline, m_nextRecheck);
    const timespec wait = ToTimespec(deadline - now);

    const int ready = ppoll(m_pollFds.data(), m_pollFds.size(), &wait, waitMask);
    now = Now();
    if (ready > 0) {
        for (std::size_t k = 0; k < m_pollFds.size(); ++k) {
            const short revents = m_pollFds[k].revents;
            const std::size_t i = m_pollPeers[k];
            if (revents == 0)
                continue;
            bool alive = (revents & (POLLHUP | POLLERR | POLLNVAL)) == 0;
            if ((revents & (POLLIN | POLLHUP | POLLERR)) != 0)
                alive = Drain(i, now) && alive;
            if (alive && (revents & POLLOUT) != 0)
                alive = m_peers[i].Flush();
            if (!alive)
                SetDetached(i);
        }
    }
    Deliver(now);
}

} // namespace quillon::vbus
