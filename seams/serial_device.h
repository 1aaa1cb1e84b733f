#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "seams/serial_line.h"

namespace quillon {

enum class Parity
{
    None,
    Odd,
    Even,
    Mark,
    Space
};

enum class StopBits
{
    One,
    OneAndHalf,
    Two
};

enum class RtsControl
{
    Inactive,
    Active,
    WhileTransmitting // raised only while the port sends, which a monitor never does
};

// The line parameters and handling flags of an open device, as read from it and written back.
struct LineState
{
    std::uint32_t baud = 9600;
    Parity parity = Parity::None;
    int dataBits = 8;
    StopBits stopBits = StopBits::One;
    RtsControl rts = RtsControl::Active;
    // A line error holds further reads at 0 bytes until the reader clears it.
    bool abortOnError = false;

    bool operator==(const LineState&) const = default;
};

// A serial device opened exclusively and still being configured; once configured it is handed
// on as the line the monitor reads. Destroying it closes the device.
class SerialDevice : public SerialLine
{
public:
    // Sizes the driver's input and output queues.
    [[nodiscard]] virtual bool SetQueueSizes(std::size_t input, std::size_t output) = 0;
    // The device's current line state.
    [[nodiscard]] virtual LineState ReadState() = 0;
    [[nodiscard]] virtual bool WriteState(const LineState& state) = 0;
    // Makes every read return at once with the bytes already received.
    [[nodiscard]] virtual bool SetReadsReturnAtOnce() = 0;
};

// Opens devices by their bare names ("COM3", "ttyUSB0", "pts/3").
class SerialDeviceLayer
{
public:
    virtual ~SerialDeviceLayer() = default;
    // Opens the device for reading and writing, shared with nobody; nothing when it is absent
    // or another program holds it.
    [[nodiscard]] virtual std::unique_ptr<SerialDevice> OpenExclusive(const std::string& name) = 0;
};

} // namespace quillon
