#include <array>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <memory>
#include <poll.h>
#include <pty.h>
#include <string>
#include <termios.h>
#include <unistd.h>
#include <vector>

#include <QCoreApplication>

#include "port/qt_serial_line.h"
#include "portsetup/open_port.h"
#include "qt_app.h"
#include "support/fakes.h"

namespace quillon::test {
namespace {

constexpr int kWaitMs = 5000; // only reached when the data never comes

// A pseudo-terminal: the test plays the bus on the master side, the monitor opens the slave by
// its bare name ("pts/N"). The test keeps a slave descriptor of its own to see the terminal's
// settings and to wait for data without taking it.
class PseudoTerminal : public ::testing::Test
{
protected:
    void SetUp() override
    {
        EnsureCoreApplication();
        std::array<char, 128> path{};
        ASSERT_EQ(openpty(&m_master, &m_slave, path.data(), nullptr, nullptr), 0);
        const std::string location(path.data());
        ASSERT_EQ(location.rfind("/dev/", 0), 0u);
        m_name = location.substr(5);
    }
    void TearDown() override
    {
        CloseMaster();
        if (m_slave >= 0)
            ::close(m_slave);
    }
    void CloseMaster()
    {
        if (m_master >= 0)
            ::close(m_master);
        m_master = -1;
    }
    void Send(const Bytes& bytes)
    {
        ASSERT_EQ(::write(m_master, bytes.data(), bytes.size()),
                  static_cast<ssize_t>(bytes.size()));
    }
    // Blocks until the terminal holds data or has hung up, as a device driver would signal.
    void WaitForSlave()
    {
        pollfd fd{m_slave, POLLIN, 0};
        ASSERT_EQ(::poll(&fd, 1, kWaitMs), 1);
    }
    // Reads with the monitor's request size until `count` bytes came or the line stays silent.
    Bytes Collect(SerialLine& line, std::size_t count)
    {
        Bytes got;
        std::array<std::uint8_t, 512> buffer{};
        int idle = 0;
        while (got.size() < count && idle < 3) {
            const std::size_t n = line.Read(buffer);
            if (n == 0) {
                ++idle;
                WaitForSlave();
                continue;
            }
            idle = 0;
            got.insert(got.end(), buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(n));
        }
        return got;
    }
    termios SlaveTermios()
    {
        termios t{};
        EXPECT_EQ(tcgetattr(m_slave, &t), 0);
        return t;
    }

    int m_master = -1;
    int m_slave = -1;
    std::string m_name;
};

TEST_F(PseudoTerminal, ReadsWhatArrivedWithoutWaiting)
{
    QtSerialDeviceLayer devices;
    std::unique_ptr<SerialLine> line =
        OpenConfiguredPort(PortSettings{m_name, "19200", "E", "8", "1"}, devices);
    ASSERT_NE(line, nullptr);

    std::array<std::uint8_t, 512> buffer{};
    EXPECT_EQ(line->Read(buffer), 0u); // nothing on the line: returns at once with nothing

    const Bytes query = Hex("01 03 00 00 00 01 84 0A");
    Send(query);
    WaitForSlave();
    EXPECT_EQ(Collect(*line, query.size()), query);
    EXPECT_EQ(line->Read(buffer), 0u);

    // More than the 1000-byte queue holds still comes through in order, request by request.
    Bytes burst(3000);
    for (std::size_t i = 0; i < burst.size(); ++i)
        burst[i] = static_cast<std::uint8_t>(i * 7);
    Send(burst);
    WaitForSlave();
    EXPECT_EQ(Collect(*line, burst.size()), burst);
}

TEST_F(PseudoTerminal, KeepsWhatArrivesWhileNobodyReadsWithItsArrivalTimes)
{
    QtSerialDeviceLayer devices;
    std::unique_ptr<SerialLine> line =
        OpenConfiguredPort(PortSettings{m_name, "38400", "N", "8", "1"}, devices);
    ASSERT_NE(line, nullptr);
    // Far more than the port's 1000-byte queue and the terminal's own buffer hold, sent while
    // only the event loop runs, as during Pause or while a question waits. A line that stopped
    // taking bytes would leave the sender stuck with a full terminal.
    constexpr int kBursts = 70;
    const int master = m_master;
    ASSERT_EQ(::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK), 0);
    const auto sendWhileTheLoopRuns = [master](const Bytes& bytes) {
        std::size_t put = 0;
        for (int spin = 0; spin < 300 && put < bytes.size(); ++spin) {
            const ssize_t n = ::write(master, bytes.data() + put, bytes.size() - put);
            if (n > 0)
                put += static_cast<std::size_t>(n);
            QCoreApplication::processEvents();
            if (n <= 0)
                (void)::poll(nullptr, 0, 10);
        }
        return put;
    };
    Bytes sent;
    for (int burst = 0; burst < kBursts; ++burst) {
        Bytes bytes(3000);
        for (std::size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = static_cast<std::uint8_t>(i * 7 + static_cast<std::size_t>(burst));
        ASSERT_EQ(sendWhileTheLoopRuns(bytes), bytes.size()) << "burst " << burst;
        sent.insert(sent.end(), bytes.begin(), bytes.end());
    }

    // Read hands the bytes out intact, in order; each read says which chunk each byte came in,
    // chunks in arrival order.
    Bytes got;
    std::array<std::uint8_t, 512> buffer{};
    std::int64_t lastSteady = 0;
    std::size_t chunks = 0;
    while (const std::size_t n = line->Read(buffer)) {
        const std::span<const ChunkArrival> arrivals = line->LastReadArrivals();
        ASSERT_FALSE(arrivals.empty());
        EXPECT_EQ(arrivals.front().offset, 0u);
        for (std::size_t i = 0; i < arrivals.size(); ++i) {
            EXPECT_LT(arrivals[i].offset, n);
            if (i > 0) {
                EXPECT_GT(arrivals[i].offset, arrivals[i - 1].offset);
            }
            EXPECT_GE(arrivals[i].steadyUs, lastSteady);
            EXPECT_GT(arrivals[i].wallUs, 1'600'000'000'000'000); // after September 2020
            lastSteady = arrivals[i].steadyUs;
        }
        chunks += arrivals.size();
        got.insert(got.end(), buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(n));
    }
    EXPECT_EQ(got, sent);
    EXPECT_GE(chunks, static_cast<std::size_t>(kBursts));
    EXPECT_TRUE(line->LastReadArrivals().empty());
    EXPECT_FALSE(line->Lost());
}

TEST_F(PseudoTerminal, ConfiguresTheTerminalFromTheSettings)
{
    // A pseudo-terminal always keeps 8 data bits without a parity bit, so only the speed, the
    // odd/even choice, the stop bits and the flow control show on it.
    struct Row
    {
        PortSettings settings;
        speed_t speed;
        bool odd;
        bool twoStopBits;
    };
    const Row rows[] = {
        {{"", "19200", "E", "8", "1"}, B19200, false, false},
        {{"", "9600", "O", "7", "2"}, B9600, true, true},
        {{"", "115200", "N", "8", "2"}, B115200, false, true},
        {{"", "4800", "O", "5", "1"}, B4800, true, false},
    };
    QtSerialDeviceLayer devices;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.settings.baud);
        PortSettings settings = row.settings;
        settings.port = m_name;
        std::unique_ptr<SerialLine> line = OpenConfiguredPort(settings, devices);
        ASSERT_NE(line, nullptr);
        const termios t = SlaveTermios();
        EXPECT_EQ(cfgetispeed(&t), row.speed);
        EXPECT_EQ(cfgetospeed(&t), row.speed);
        EXPECT_EQ((t.c_cflag & PARODD) != 0, row.odd);
        EXPECT_EQ((t.c_cflag & CSTOPB) != 0, row.twoStopBits);
        EXPECT_EQ(t.c_cflag & CRTSCTS, 0u);
    }
}

TEST_F(PseudoTerminal, OpensExclusively)
{
    QtSerialDeviceLayer devices;
    std::unique_ptr<SerialDevice> first = devices.OpenExclusive(m_name);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(devices.OpenExclusive(m_name), nullptr);
    EXPECT_EQ(devices.OpenExclusive("/dev/" + m_name), nullptr);
    first.reset();
    EXPECT_NE(devices.OpenExclusive(m_name), nullptr);

    EXPECT_EQ(devices.OpenExclusive(""), nullptr);
    EXPECT_EQ(devices.OpenExclusive("pts/999999"), nullptr);
}

TEST_F(PseudoTerminal, VanishedDeviceReadsNothingAndIsClosed)
{
    QtSerialDeviceLayer devices;
    std::unique_ptr<SerialDevice> device = devices.OpenExclusive(m_name);
    ASSERT_NE(device, nullptr);
    auto* line = dynamic_cast<QtSerialLine*>(device.get());
    ASSERT_NE(line, nullptr);

    // The event loop takes the start of a frame; then the other end goes away (its hang-up
    // empties the terminal's own buffer, so only what was taken survives).
    Send(Hex("01 03"));
    WaitForSlave();
    for (int pass = 0; pass < 100 && line->Queued() < 2; ++pass)
        QCoreApplication::processEvents();
    CloseMaster();
    WaitForSlave();

    // What came before the hang-up is still read; then the line is lost.
    std::array<std::uint8_t, 512> buffer{};
    Bytes got;
    for (int i = 0; i < 5; ++i) {
        const std::size_t n = line->Read(buffer);
        got.insert(got.end(), buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(n));
        line->ClearError();
    }
    EXPECT_EQ(got, Hex("01 03"));
    EXPECT_FALSE(line->IsOpen());
    EXPECT_TRUE(line->Lost());
    EXPECT_EQ(line->Read(buffer), 0u);
}

TEST_F(PseudoTerminal, VanishedDeviceIsClosedByTheEventLoopBetweenReads)
{
    QtSerialDeviceLayer devices;
    std::unique_ptr<SerialDevice> device = devices.OpenExclusive(m_name);
    ASSERT_NE(device, nullptr);
    auto* line = dynamic_cast<QtSerialLine*>(device.get());
    ASSERT_NE(line, nullptr);

    CloseMaster();
    WaitForSlave();
    // A hung-up terminal stays readable; left open, every pass of the loop would fail a read.
    EXPECT_FALSE(line->Lost());
    for (int pass = 0; pass < 100 && line->IsOpen(); ++pass)
        QCoreApplication::processEvents();
    EXPECT_FALSE(line->IsOpen());
    EXPECT_TRUE(line->Lost());
    std::array<std::uint8_t, 512> buffer{};
    EXPECT_EQ(line->Read(buffer), 0u);
}

TEST(DeviceLocation, MapsBareNamesUnderDev)
{
    EXPECT_EQ(DeviceLocation("ttyUSB0"), "/dev/ttyUSB0");
    EXPECT_EQ(DeviceLocation("pts/3"), "/dev/pts/3");
    EXPECT_EQ(DeviceLocation("/dev/ttyS1"), "/dev/ttyS1");
    EXPECT_EQ(DeviceLocation(""), "");
}

} // namespace
} // namespace quillon::test
