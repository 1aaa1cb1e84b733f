#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "uart_receiver.h"

namespace quillon::vbus {

// One drop on the line: the master side of a pseudo-terminal, kept open for the whole run so
// that the device name stays valid while programs open and close the other side.
class PtyPeer
{
public:
    // Bytes the line holds for a peer whose program does not read them; beyond this a real
    // receiver would overrun, and so the surplus is dropped.
    static constexpr std::size_t kBacklogLimit = 64 * 1024;

    enum class ReadStatus
    {
        Data,    // bytes were read; more may follow
        Drained, // nothing more to read for now
        HungUp,  // the other side is closed (after any bytes it left were read)
        Failed,
    };

    struct ReadResult
    {
        std::size_t count = 0;
        ReadStatus status = ReadStatus::Drained;
    };

    // Makes a pseudo-terminal in raw mode (no echo, no line editing) whose other side is not
    // open yet. Returns nothing and sets error when the system refuses.
    [[nodiscard]] static std::optional<PtyPeer> Create(std::string& error);

    PtyPeer(PtyPeer&& other) noexcept;
    PtyPeer& operator=(PtyPeer&& other) noexcept;
    PtyPeer(const PtyPeer&) = delete;
    PtyPeer& operator=(const PtyPeer&) = delete;
    ~PtyPeer();

    [[nodiscard]] int Fd() const { return m_fd; }
    [[nodiscard]] const std::string& DeviceName() const { return m_deviceName; }

    // A peer is attached while some program holds its device open.
    [[nodiscard]] bool Attached() const { return m_attached; }
    void MarkAttached() { m_attached = true; }
    // Forgets what the line still held for the program that closed the device, including
    // bytes already in the terminal's input, so that the next program starts clean.
    void Detach();

    // What the program on the other side set its terminal to: the character format its UART
    // would receive with, and the input rules (c_iflag) for errored characters.
    struct TerminalSettings
    {
        CharacterFormat format;
        unsigned inputFlags = 0;
    };
    [[nodiscard]] std::optional<TerminalSettings> Settings() const;

    [[nodiscard]] ReadResult Read(std::span<std::uint8_t> buffer);

    // Adds bytes for the program on the other side; returns how many did not fit.
    std::size_t Queue(std::span<const std::uint8_t> bytes);
    [[nodiscard]] bool HasBacklog() const { return !m_backlog.empty(); }
    // Writes as much of the backlog as the terminal takes. False when the other side is gone.
    [[nodiscard]] bool Flush();

private:
    PtyPeer(int fd, std::string deviceName) : m_fd(fd), m_deviceName(std::move(deviceName)) {}
    void FlushOtherSideInput() const;

    int m_fd = -1;
    std::string m_deviceName;
    bool m_attached = false;
    std::vector<std::uint8_t> m_backlog;
};

} // namespace quillon::vbus
