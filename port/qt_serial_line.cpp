#include "port/qt_serial_line.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <utility>

#ifdef __linux__
#include <linux/serial.h>
#include <sys/ioctl.h>
#endif

#include <QMetaObject>
#include <QString>

namespace quillon {

namespace {

bool MeansVanished(QSerialPort::SerialPortError error)
{
    // A read that fails on a terminal means it hung up: its adapter or other end is gone.
    return error == QSerialPort::ResourceError || error == QSerialPort::ReadError;
}

QSerialPort::Parity ToQt(Parity parity)
{
    switch (parity) {
    case Parity::Odd:
        return QSerialPort::OddParity;
    case Parity::Even:
        return QSerialPort::EvenParity;
    case Parity::Mark:
        return QSerialPort::MarkParity;
    case Parity::Space:
        return QSerialPort::SpaceParity;
    case Parity::None:
        break;
    }
    return QSerialPort::NoParity;
}

Parity FromQt(QSerialPort::Parity parity)
{
    switch (parity) {
    case QSerialPort::OddParity:
        return Parity::Odd;
    case QSerialPort::EvenParity:
        return Parity::Even;
    case QSerialPort::MarkParity:
        return Parity::Mark;
    case QSerialPort::SpaceParity:
        return Parity::Space;
    default:
        return Parity::None;
    }
}

QSerialPort::StopBits ToQt(StopBits stopBits)
{
    switch (stopBits) {
    case StopBits::OneAndHalf:
        return QSerialPort::OneAndHalfStop;
    case StopBits::Two:
        return QSerialPort::TwoStop;
    case StopBits::One:
        break;
    }
    return QSerialPort::OneStop;
}

StopBits FromQt(QSerialPort::StopBits stopBits)
{
    switch (stopBits) {
    case QSerialPort::OneAndHalfStop:
        return StopBits::OneAndHalf;
    case QSerialPort::TwoStop:
        return StopBits::Two;
    default:
        return StopBits::One;
    }
}

} // namespace

std::unique_ptr<QtSerialLine> QtSerialLine::Open(const std::string& name)
{
    if (name.empty())
        return nullptr;
    std::unique_ptr<QtSerialLine> line(new QtSerialLine);
    line->m_port.setPortName(QString::fromStdString(DeviceLocation(name)));
    if (!line->m_port.open(QIODevice::ReadWrite))
        return nullptr;
    line->m_tuning = std::make_unique<LinuxSerialTuning>(static_cast<int>(line->m_port.handle()),
                                                         DeviceLocation(name));
    line->m_timing = std::make_unique<LineTiming>(*line->m_tuning);
    QtSerialLine* self = line.get();
    QSerialPort* port = &line->m_port;
    // Bytes are taken as soon as they are ready, so the driver's small buffer never overflows
    // while nobody reads (Pause, a question waiting for its answer).
    QObject::connect(port, &QSerialPort::readyRead, port, [self] { self->Drain(); });
    // When the device hangs up, the port would report the failed read on every pass of the
    // event loop, so it is closed as soon as control is back in the loop.
    QObject::connect(port, &QSerialPort::errorOccurred, port,
                     [self, port](QSerialPort::SerialPortError error) {
                         if (!MeansVanished(error))
                             return;
                         self->m_lost = true;
                         self->ForgetTiming();
                         QMetaObject::invokeMethod(
                             port,
                             [self, port] {
                                 self->Drain();
                                 if (port->isOpen())
                                     port->close();
                             },
                             Qt::QueuedConnection);
                     });
    return line;
}

QtSerialLine::~QtSerialLine()
{
    // The device's timing is put back while it is still open.
    m_timing.reset();
    m_port.disconnect();
    if (m_port.isOpen())
        m_port.close();
}

std::size_t QtSerialLine::Read(std::span<std::uint8_t> buffer)
{
    m_lastArrivals.clear();
    if (buffer.empty())
        return 0;
    if (m_port.isOpen()) {
        TakeError();
        if (m_errorHeld)
            return 0;
        // Pull in what the driver holds, without waiting, when the queue cannot fill the
        // request by itself. Finding nothing is reported as a time-out, which is no line error.
        if (m_port.isOpen() && m_received.Queued() < buffer.size()) {
            (void)m_port.waitForReadyRead(0);
            if (m_port.error() == QSerialPort::TimeoutError)
                m_port.clearError();
            Drain();
            TakeError();
            if (m_errorHeld)
                return 0;
        }
    }

    return m_received.Take(buffer, m_lastArrivals);
}

std::optional<UartErrorCounts> QtSerialLine::ErrorCounts() const
{
#ifdef __linux__
    if (!m_port.isOpen())
        return std::nullopt;
    // A pseudo-terminal or a driver without counters refuses: the counts are unavailable.
    serial_icounter_struct counts{};
    if (ioctl(static_cast<int>(m_port.handle()), TIOCGICOUNT, &counts) != 0)
        return std::nullopt;
    return UartErrorCounts{
        static_cast<std::uint64_t>(counts.parity), static_cast<std::uint64_t>(counts.frame),
        static_cast<std::uint64_t>(counts.overrun) + static_cast<std::uint64_t>(counts.buf_overrun),
        static_cast<std::uint64_t>(counts.brk)};
#else
    return std::nullopt;
#endif
}

bool QtSerialLine::Lost() const
{
    // Bytes that arrived before the device went are still read.
    return m_lost && m_received.Queued() == 0;
}

void QtSerialLine::Drain()
{
    if (!m_port.isOpen())
        return;
    const qint64 available = m_port.bytesAvailable();
    if (available <= 0)
        return;
    const std::int64_t steadyUs = SteadyMicroseconds();
    const std::int64_t wallUs = WallMicroseconds();
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(available));
    const qint64 count = m_port.read(reinterpret_cast<char*>(bytes.data()), available);
    if (count <= 0)
        return;
    m_received.Push(std::span(bytes).first(static_cast<std::size_t>(count)), steadyUs, wallUs);
}

void QtSerialLine::ClearError()
{
    m_errorHeld = false;
    if (m_port.isOpen())
        m_port.clearError();
}

bool QtSerialLine::SetQueueSizes(std::size_t input, std::size_t /*output*/)
{
    // Nothing is ever written, so only the input side needs a bound: the port buffers at most
    // `input` bytes and leaves the rest with the driver.
    m_port.setReadBufferSize(static_cast<qint64>(input));
    return true;
}

LineState QtSerialLine::ReadState()
{
    LineState state;
    state.baud = static_cast<std::uint32_t>(m_port.baudRate());
    state.parity = FromQt(m_port.parity());
    state.dataBits = static_cast<int>(m_port.dataBits());
    state.stopBits = FromQt(m_port.stopBits());
    state.rts = m_port.isRequestToSend() ? RtsControl::Active : RtsControl::Inactive;
    state.abortOnError = m_holdErrors;
    // Pseudo-terminals have no modem lines; asking for them is no line error.
    m_port.clearError();
    return state;
}

bool QtSerialLine::WriteState(const LineState& state)
{
    bool ok = m_port.setBaudRate(static_cast<qint32>(state.baud));
    ok = m_port.setDataBits(static_cast<QSerialPort::DataBits>(state.dataBits)) && ok;
    ok = m_port.setParity(ToQt(state.parity)) && ok;
    ok = m_port.setStopBits(ToQt(state.stopBits)) && ok;
    ok = m_port.setFlowControl(QSerialPort::NoFlowControl) && ok;
    // RTS raised only while transmitting means never raised: this line never transmits. Many
    // RS-485 adapters drive the bus while RTS is active.
    ok = m_port.setRequestToSend(state.rts == RtsControl::Active) && ok;
    m_holdErrors = state.abortOnError;
    // What a device cannot take is reported here, not as a line error of later reads.
    m_port.clearError();
    return ok;
}

bool QtSerialLine::SetReadsReturnAtOnce()
{
    // Reads never wait: the device is non-blocking and Read only takes what has arrived.
    return true;
}

void QtSerialLine::TakeError()
{
    const QSerialPort::SerialPortError error = m_port.error();
    if (error == QSerialPort::NoError)
        return;
    CloseIfVanished(error);
    if (!m_port.isOpen())
        return;
    if (m_holdErrors)
        m_errorHeld = true;
    else
        m_port.clearError();
}

void QtSerialLine::CloseIfVanished(QSerialPort::SerialPortError error)
{
    if (!MeansVanished(error))
        return;
    m_lost = true;
    ForgetTiming();
    // What the port received before the hang-up is kept for the reader.
    Drain();
    if (m_port.isOpen())
        m_port.close();
}

void QtSerialLine::ForgetTiming()
{
    if (m_timing)
        m_timing->Forget();
}

LineTimingReport QtSerialLine::Timing() const
{
    return m_timing ? m_timing->Report() : LineTimingReport{};
}

std::unique_ptr<SerialDevice> QtSerialDeviceLayer::OpenExclusive(const std::string& name)
{
    return QtSerialLine::Open(name);
}

} // namespace quillon
