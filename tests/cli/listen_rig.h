#pragma once

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <fcntl.h>
#include <poll.h>
#include <span>
#include <stdlib.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace quillon::test {

using Deadline = std::chrono::steady_clock::time_point;

// Generous: the machine is shared, and a test only waits this long when it is failing.
inline Deadline DeadlineIn(std::chrono::seconds seconds = std::chrono::seconds(20))
{
    return std::chrono::steady_clock::now() + seconds;
}

inline int MillisecondsLeft(Deadline deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

// A pseudo-terminal pair: the program under test opens the device by its name, the test plays
// the line's other end on the controlling side.
class PseudoTerminal
{
public:
    static constexpr int kRoomCheckMs = 10;

    PseudoTerminal()
    {
        m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0)
            return;
        const char* name = ::ptsname(m_master);
        m_device = name != nullptr ? name : "";
        ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
    }
    ~PseudoTerminal() { CloseMaster(); }
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    [[nodiscard]] bool Ready() const { return m_master >= 0 && !m_device.empty(); }
    [[nodiscard]] const std::string& Device() const { return m_device; }

    // Puts the bytes on the line, waiting for room while the other side catches up.
    [[nodiscard]] bool Send(std::span<const std::uint8_t> bytes, Deadline deadline)
    {
        std::size_t sent = 0;
        while (sent < bytes.size()) {
            const ssize_t put = ::write(m_master, bytes.data() + sent, bytes.size() - sent);
            if (put > 0) {
                sent += static_cast<std::size_t>(put);
                continue;
            }
            if (put < 0 && errno != EAGAIN && errno != EINTR)
                return false;
            // The controlling side is not always woken when room appears, so the wait for it
            // is cut into short slices until the deadline.
            if (MillisecondsLeft(deadline) == 0)
                return false;
            pollfd room{m_master, POLLOUT, 0};
            (void)::poll(&room, 1, std::min(MillisecondsLeft(deadline), kRoomCheckMs));
        }
        return true;
    }

    // Hangs the line up, as a pulled adapter does.
    void CloseMaster()
    {
        if (m_master >= 0)
            ::close(m_master);
        m_master = -1;
    }

private:
    int m_master = -1;
    std::string m_device;
};

// A program run with its standard output and error captured as they come.
class ChildProcess
{
public:
    ChildProcess(const std::string& program,
                 const std::vector<std::string>& args,
                 const std::string& workingDirectory)
    {
        int out[2];
        int err[2];
        if (::pipe2(out, O_CLOEXEC) != 0)
            return;
        if (::pipe2(err, O_CLOEXEC) != 0) {
            ::close(out[0]);
            ::close(out[1]);
            return;
        }
        std::vector<std::string> argv{program};
        argv.insert(argv.end(), args.begin(), args.end());
        std::vector<char*> raw;
        for (std::string& arg : argv)
            raw.push_back(arg.data());
        raw.push_back(nullptr);

        m_pid = ::fork();
        if (m_pid == 0) {
            const int nothing = ::open("/dev/null", O_RDONLY);
            if (nothing < 0 || ::dup2(nothing, 0) < 0 || ::dup2(out[1], 1) < 0 ||
                ::dup2(err[1], 2) < 0 || ::chdir(workingDirectory.c_str()) != 0)
                ::_exit(127);
            ::execv(program.c_str(), raw.data());
            ::_exit(127);
        }
        ::close(out[1]);
        ::close(err[1]);
        m_out = out[0];
        m_err = err[0];
        if (m_pid < 0) {
            CloseStreams();
            m_pid = 0;
        }
    }
    ~ChildProcess()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
        CloseStreams();
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    [[nodiscard]] bool Started() const { return m_pid > 0; }
    [[nodiscard]] const std::string& Out() const { return m_outText; }
    [[nodiscard]] const std::string& Err() const { return m_errText; }

    void Signal(int signal) const
    {
        if (m_pid > 0)
            ::kill(m_pid, signal);
    }

    // Waits until standard error holds `text`; false at the deadline or when the program ended.
    [[nodiscard]] bool WaitForErr(const std::string& text, Deadline deadline)
    {
        while (m_errText.find(text) == std::string::npos) {
            if (!Pump(deadline))
                return false;
        }
        return true;
    }

    // Waits until standard output holds `lines` complete lines.
    [[nodiscard]] bool WaitForLines(std::size_t lines, Deadline deadline)
    {
        while (LineCount() < lines) {
            if (!Pump(deadline))
                return false;
        }
        return true;
    }

    [[nodiscard]] std::size_t LineCount() const
    {
        std::size_t count = 0;
        for (const char c : m_outText)
            count += c == '\n' ? 1 : 0;
        return count;
    }

    // Reads both streams to their end and returns the exit status; -1 when the program did not
    // end by the deadline (it is then killed) or ended by a signal.
    int Wait(Deadline deadline)
    {
        while (m_out >= 0 || m_err >= 0) {
            if (!Pump(deadline) && MillisecondsLeft(deadline) == 0)
                break;
        }
        if (m_out >= 0 || m_err >= 0)
            ::kill(m_pid, SIGKILL);
        int status = 0;
        ::waitpid(m_pid, &status, 0);
        m_pid = 0;
        CloseStreams();
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    // Takes in whatever either stream delivers; false at the deadline or once both ended.
    bool Pump(Deadline deadline)
    {
        pollfd fds[2] = {{m_out, POLLIN, 0}, {m_err, POLLIN, 0}};
        if (m_out < 0 && m_err < 0)
            return false;
        if (::poll(fds, 2, MillisecondsLeft(deadline)) <= 0)
            return false;
        Take(fds[0], m_out, m_outText);
        Take(fds[1], m_err, m_errText);
        return true;
    }
    static void Take(const pollfd& fd, int& stream, std::string& text)
    {
        if (stream < 0 || fd.revents == 0)
            return;
        char buffer[4096];
        const ssize_t got = ::read(stream, buffer, sizeof buffer);
        if (got > 0) {
            text.append(buffer, static_cast<std::size_t>(got));
        } else if (got == 0 || errno != EINTR) {
            ::close(stream);
            stream = -1;
        }
    }
    void CloseStreams()
    {
        for (int* stream : {&m_out, &m_err}) {
            if (*stream >= 0)
                ::close(*stream);
            *stream = -1;
        }
    }

    pid_t m_pid = 0;
    int m_out = -1;
    int m_err = -1;
    std::string m_outText;
    std::string m_errText;
};

} // namespace quillon::test
