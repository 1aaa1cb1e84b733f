#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>

namespace quillon {

// What the companion's loop sleeps on between passes: handles that wake it when they are ready
// (a file descriptor that can be read on POSIX, a signalled event on Windows), and sources that
// can only be asked (a Windows serial line), which cut every wait into short slices.
class WaitSet
{
public:
    using Handle = std::intptr_t;
    using Token = unsigned;

    // How often sources without a handle are asked while the loop waits.
    static constexpr std::chrono::milliseconds kPollSlice{5};

    // onReady runs on the loop's thread whenever the handle is ready; it must take what made
    // the handle ready, or the next wait returns at once.
    [[nodiscard]] Token Add(Handle handle, std::function<void()> onReady);
    // onPoll runs after every slice of a wait.
    [[nodiscard]] Token AddPoll(std::function<void()> onPoll);
    // Unknown tokens are ignored.
    void Remove(Token token);

    // Waits at most `timeout` and runs the callbacks of what became ready.
    void Wait(std::chrono::milliseconds timeout);

private:
    struct Entry
    {
        Handle handle = 0;
        bool polled = false;
        std::function<void()> callback;
    };

    // The platform's wait on the handles; returns the tokens whose handles are ready.
    [[nodiscard]] std::size_t WaitHandles(std::chrono::milliseconds timeout,
                                          std::map<Token, bool>& ready) const;

    std::map<Token, Entry> m_entries;
    Token m_next = 1;
};

} // namespace quillon
