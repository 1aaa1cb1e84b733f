#pragma once

#include <algorithm>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "headless/scripted_prompts.h"
#include "seams/clock.h"
#include "seams/port_settings.h"
#include "seams/prompts.h"
#include "seams/serial_line.h"
#include "seams/settings_store.h"
#include "seams/timer.h"

namespace quillon::test {

using Bytes = std::vector<std::uint8_t>;

// Parses "01 03 00 0A" (blanks optional) into bytes.
Bytes Hex(const std::string& text);

// Appends the Modbus CRC (low byte first) to a frame body.
Bytes WithCrc(Bytes body);

// A clock that shows whatever time the test sets.
class ManualClock : public Clock
{
public:
    LocalTime now{2012, 2, 16, 13, 30, 42, 75};
    LocalTime Now() override { return now; }
};

// A timer that only records what was started and stopped; the test delivers the ticks.
class ManualTimer : public Timer
{
public:
    struct Running
    {
        unsigned id;
        unsigned periodMs;
    };
    unsigned Start(unsigned id, unsigned periodMs) override
    {
        running = Running{id, periodMs};
        ++starts;
        return id;
    }
    void Stop(unsigned timerId) override
    {
        if (running && running->id == timerId)
            running.reset();
        ++stops;
    }
    std::optional<Running> running;
    int starts = 0;
    int stops = 0;
};

// The bytes a line will deliver, shared between the test and the line it hands out.
struct LineFeed
{
    std::deque<std::uint8_t> pending; // bytes received and not yet read
    std::size_t readsServed = 0;
    std::size_t errorClears = 0;
    bool closed = false;          // set when the monitor destroyed (closed) the line
    bool failing = false;         // every read fails (the device has gone)
    std::function<void()> onRead; // called at every read, to look at the monitor mid-pass
    // Arrival stamps of the pending bytes by the test's steady clock: each entry's offset counts
    // the bytes pushed before it. Empty while no push was stamped: the line stamps nothing.
    std::deque<ChunkArrival> stamps;
    std::size_t pushed = 0;
    std::size_t delivered = 0;

    void Push(const Bytes& bytes)
    {
        if (!stamps.empty() && !bytes.empty())
            stamps.push_back({pushed, -1, 0});
        pending.insert(pending.end(), bytes.begin(), bytes.end());
        pushed += bytes.size();
    }
    // Bytes that arrived in one chunk at `steadyUs`.
    void Push(const Bytes& bytes, std::int64_t steadyUs)
    {
        if (!bytes.empty())
            stamps.push_back({pushed, steadyUs, 0});
        pending.insert(pending.end(), bytes.begin(), bytes.end());
        pushed += bytes.size();
    }
};

class MemorySerialLine : public SerialLine
{
public:
    explicit MemorySerialLine(std::shared_ptr<LineFeed> feed) : m_feed(std::move(feed)) {}
    ~MemorySerialLine() override { m_feed->closed = true; }
    std::size_t Read(std::span<std::uint8_t> buffer) override
    {
        ++m_feed->readsServed;
        if (m_feed->onRead)
            m_feed->onRead();
        if (m_feed->failing)
            return 0;
        const std::size_t n = std::min(buffer.size(), m_feed->pending.size());
        std::copy_n(m_feed->pending.begin(), n, buffer.begin());
        m_feed->pending.erase(m_feed->pending.begin(),
                              m_feed->pending.begin() + static_cast<std::ptrdiff_t>(n));
        StampRead(n);
        return n;
    }
    void ClearError() override { ++m_feed->errorClears; }
    std::span<const ChunkArrival> LastReadArrivals() const override { return m_arrivals; }

private:
    // The stamps of the bytes [delivered, delivered + n), with offsets within the read.
    void StampRead(std::size_t n)
    {
        m_arrivals.clear();
        auto& stamps = m_feed->stamps;
        const std::size_t start = m_feed->delivered;
        m_feed->delivered += n;
        if (n == 0 || stamps.empty())
            return;
        while (stamps.size() > 1 && stamps[1].offset <= start)
            stamps.pop_front();
        for (const ChunkArrival& stamp : stamps) {
            if (stamp.offset >= start + n)
                break;
            m_arrivals.push_back(
                {stamp.offset > start ? stamp.offset - start : 0, stamp.steadyUs, stamp.wallUs});
        }
    }

    std::shared_ptr<LineFeed> m_feed;
    std::vector<ChunkArrival> m_arrivals;
};

// Port Setup as the test scripts it: OK with an open line, Cancel, or a port that fails.
class ScriptedPortOpener : public PortOpener
{
public:
    enum class Outcome
    {
        Open,
        Cancel,
        Fail
    };
    Outcome outcome = Outcome::Open;
    std::optional<PortSettings> choice; // what the user picks on OK (else the settings stay)
    std::shared_ptr<LineFeed> feed = std::make_shared<LineFeed>();
    int calls = 0;
    PortSettings lastSeen;

    std::unique_ptr<SerialLine> OpenPort(PortSettings& settings) override
    {
        ++calls;
        lastSeen = settings;
        if (outcome == Outcome::Cancel)
            return nullptr;
        if (choice)
            settings = *choice;
        if (outcome == Outcome::Fail)
            return nullptr;
        feed->closed = false;
        return std::make_unique<MemorySerialLine>(feed);
    }
};

class MemorySettingsStore : public SettingsStore
{
public:
    std::map<std::string, Bytes> values;
    bool writable = true;
    std::optional<Bytes> ReadValue(const std::string& name) override
    {
        const auto it = values.find(name);
        if (it == values.end())
            return std::nullopt;
        return it->second;
    }
    bool WriteValue(const std::string& name, std::span<const std::uint8_t> bytes) override
    {
        if (!writable)
            return false;
        values[name] = Bytes(bytes.begin(), bytes.end());
        return true;
    }
};

} // namespace quillon::test
