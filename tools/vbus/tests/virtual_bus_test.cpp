#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <string>
#include <termios.h>
#include <unistd.h>
#include <utility>
#include <vector>

#include "virtual_bus.h"

namespace quillon::vbus {
namespace {

// Upper bound of one wait; the tests never wait this long unless something is broken.
constexpr Nanos kPatience = 2'000'000'000;
constexpr int kMaxSteps = 50;

// A program on the far side of a peer: holds the device open, writes and reads it.
class Program
{
public:
    explicit Program(const std::string& device)
        : m_fd(open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK))
    {
    }
    ~Program() { Close(); }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    [[nodiscard]] bool IsOpen() const { return m_fd >= 0; }
    void Close()
    {
        if (m_fd >= 0)
            close(m_fd);
        m_fd = -1;
    }
    // Sets the terminal as a serial program would: raw, at `speed`, with input rules
    // `inputFlags`. (A Linux pseudo-terminal drops any parity asked of it: always 8N.)
    [[nodiscard]] bool SetMode(speed_t speed, tcflag_t inputFlags) const
    {
        termios mode{};
        if (tcgetattr(m_fd, &mode) != 0)
            return false;
        cfmakeraw(&mode);
        cfsetspeed(&mode, speed);
        mode.c_iflag |= inputFlags;
        return tcsetattr(m_fd, TCSANOW, &mode) == 0;
    }
    [[nodiscard]] bool Write(const std::string& text) const
    {
        return write(m_fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    }
    // Reads until `count` bytes are in or the terminal stays silent for the whole patience.
    [[nodiscard]] std::string Read(std::size_t count) const
    {
        std::string got;
        while (got.size() < count) {
            pollfd ready{m_fd, POLLIN, 0};
            if (poll(&ready, 1, static_cast<int>(kPatience / 1'000'000)) <= 0)
                break;
            char buffer[256];
            const ssize_t n = read(m_fd, buffer, sizeof buffer);
            if (n <= 0)
                break;
            got.append(buffer, static_cast<std::size_t>(n));
        }
        return got;
    }

private:
    int m_fd = -1;
};

class VirtualBusTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        BusOptions options;
        options.peers = 3;
        options.paced = false;
        m_bus = std::make_unique<VirtualBus>(options);
        std::string error;
        ASSERT_TRUE(m_bus->Open(error)) << error;
        m_bus->SetAttachSink([this](std::size_t peer, bool attached) {
            m_events.push_back(std::to_string(peer) + (attached ? "+" : "-"));
        });
    }

    std::unique_ptr<Program> Attach(std::size_t peer)
    {
        auto program = std::make_unique<Program>(m_bus->Peer(peer).DeviceName());
        EXPECT_TRUE(program->IsOpen());
        m_bus->RecheckDetached(VirtualBus::Now());
        EXPECT_TRUE(m_bus->Peer(peer).Attached()) << "peer " << peer;
        return program;
    }

    // Runs the line until `done` holds, within a bounded number of waits.
    template <typename Done> bool StepUntil(Done done)
    {
        for (int i = 0; i < kMaxSteps && !done(); ++i)
            m_bus->Step(kPatience / kMaxSteps);
        return done();
    }

    bool CarriedFrom(std::size_t peer, std::uint64_t sent)
    {
        return StepUntil([&] { return m_bus->Stats(peer).sent >= sent; });
    }

    std::unique_ptr<VirtualBus> m_bus;
    std::vector<std::string> m_events;
};

TEST_F(VirtualBusTest, EveryPeerHearsEveryOtherPeerInOrder)
{
    const auto master = Attach(0);
    const auto slave = Attach(1);
    const auto monitor = Attach(2);

    const std::string query("\x01\x03\x00\x00\x00\x01\x84\x0A", 8);
    const std::string answer("\x01\x03\x02\x00\x2A\x39\x9B", 7);
    ASSERT_TRUE(master->Write(query));
    ASSERT_TRUE(CarriedFrom(0, 8));
    EXPECT_EQ(slave->Read(8), query);
    ASSERT_TRUE(slave->Write(answer));
    ASSERT_TRUE(CarriedFrom(1, 7));
    EXPECT_EQ(master->Read(7), answer);
    EXPECT_EQ(monitor->Read(15), query + answer);

    // Nobody hears their own bytes back: the next thing each one reads is new traffic.
    ASSERT_TRUE(monitor->Write("M"));
    ASSERT_TRUE(CarriedFrom(2, 1));
    EXPECT_EQ(master->Read(1), "M");
    EXPECT_EQ(slave->Read(1), "M");
    EXPECT_EQ(m_bus->Stats(0).received, 8u);
    EXPECT_EQ(m_bus->Stats(1).received, 9u);
    EXPECT_EQ(m_bus->Stats(2).received, 15u);
}

TEST_F(VirtualBusTest, ClosedPeerMissesTrafficAndStartsCleanWhenOpened)
{
    const auto master = Attach(0);
    const auto slave = Attach(1);
    ASSERT_TRUE(master->Write("before"));
    ASSERT_TRUE(CarriedFrom(0, 6));
    EXPECT_EQ(slave->Read(6), "before");
    EXPECT_EQ(m_bus->Stats(2).missed, 6u);
    EXPECT_EQ(m_bus->Stats(2).received, 0u);

    const auto late = Attach(2);
    ASSERT_TRUE(master->Write("after"));
    ASSERT_TRUE(CarriedFrom(0, 11));
    EXPECT_EQ(late->Read(5), "after");
}

TEST_F(VirtualBusTest, ReopenedPeerGetsNothingFromBeforeItClosed)
{
    const auto master = Attach(0);
    auto slave = Attach(1);
    // The slave's program leaves bytes unread in its terminal and goes away.
    ASSERT_TRUE(master->Write("stale"));
    ASSERT_TRUE(StepUntil([&] { return m_bus->Stats(1).received == 5; }));
    slave->Close();
    ASSERT_TRUE(StepUntil([&] { return !m_bus->Peer(1).Attached(); }));
    ASSERT_TRUE(master->Write("gone"));
    ASSERT_TRUE(CarriedFrom(0, 9));
    EXPECT_EQ(m_bus->Stats(1).missed, 4u);

    slave = Attach(1);
    ASSERT_TRUE(master->Write("fresh"));
    ASSERT_TRUE(CarriedFrom(0, 14));
    EXPECT_EQ(slave->Read(5), "fresh");
    EXPECT_EQ(m_events, (std::vector<std::string>{"0+", "1+", "1-", "1+"}));
}

TEST_F(VirtualBusTest, BytesWrittenJustBeforeClosingStillGoOut)
{
    const auto monitor = Attach(2);
    {
        // Opened, written and closed between two looks at the closed peers.
        Program shortLived(m_bus->Peer(0).DeviceName());
        ASSERT_TRUE(shortLived.Write("\x05\x06\x07"));
    }
    ASSERT_TRUE(StepUntil([&] { return m_bus->Stats(0).sent == 3; }));
    EXPECT_EQ(monitor->Read(3), "\x05\x06\x07");
    EXPECT_FALSE(m_bus->Peer(0).Attached());
}

TEST(VirtualBusUart, PeerSetOtherwiseThanTheLineHearsWhatItsUartWould)
{
    BusOptions options;
    options.peers = 3;
    options.baud = 19200; // 8E1
    VirtualBus bus(options);
    std::string error;
    ASSERT_TRUE(bus.Open(error)) << error;
    std::vector<std::unique_ptr<Program>> programs;
    for (std::size_t i = 0; i < 3; ++i) {
        programs.push_back(std::make_unique<Program>(bus.Peer(i).DeviceName()));
        ASSERT_TRUE(programs.back()->IsOpen());
    }
    bus.RecheckDetached(VirtualBus::Now());
    // 8N1 takes the line's parity bit for the stop bit: the data bits come through, and with
    // checking on the errored characters read as zeros.
    ASSERT_TRUE(programs[0]->SetMode(B19200, 0));
    ASSERT_TRUE(programs[1]->SetMode(B19200, 0));
    ASSERT_TRUE(programs[2]->SetMode(B19200, INPCK));
    const std::string query("\x01\x03\x00\x00\x00\x01\x84\x0A", 8);
    ASSERT_TRUE(programs[0]->Write(query));
    for (int i = 0; i < kMaxSteps && bus.Stats(2).received < 8; ++i)
        bus.Step(kPatience / kMaxSteps);
    EXPECT_EQ(programs[1]->Read(8), query);
    // Even parity bits of 01 03 00 00 00 01 84 0A are 1 0 0 0 0 1 0 0; the zero bytes with a
    // zero parity bit hold the line at space for a whole 8N1 character, a break; every
    // character but the two with a one there reads as zero.
    EXPECT_EQ(programs[2]->Read(8), std::string("\x01\0\0\0\0\x01\0\0", 8));
    EXPECT_EQ(bus.Stats(2).received, 8u);

    // At twice the line's rate the reader hears other bytes altogether.
    ASSERT_TRUE(programs[2]->SetMode(B38400, 0));
    ASSERT_TRUE(programs[0]->Write(query));
    for (int i = 0; i < kMaxSteps && bus.Stats(1).received < 16; ++i)
        bus.Step(kPatience / kMaxSteps);
    EXPECT_EQ(programs[1]->Read(8), query);
    const std::string heard = programs[2]->Read(1);
    EXPECT_FALSE(heard.empty());
    EXPECT_NE(heard[0], query[0]);
}

} // namespace
} // namespace quillon::vbus
