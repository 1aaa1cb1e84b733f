#include "native/wait_set.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace quillon {

WaitSet::Token WaitSet::Add(Handle handle, std::function<void()> onReady)
{
    const Token token = m_next++;
    m_entries[token] = Entry{handle, false, std::move(onReady)};
    return token;
}

WaitSet::Token WaitSet::AddPoll(std::function<void()> onPoll)
{
    const Token token = m_next++;
    m_entries[token] = Entry{0, true, std::move(onPoll)};
    return token;
}

void WaitSet::Remove(Token token)
{
    m_entries.erase(token);
}

void WaitSet::Wait(std::chrono::milliseconds timeout)
{
    const bool polls = std::any_of(m_entries.begin(), m_entries.end(),
                                   [](const auto& entry) { return entry.second.polled; });
    const auto end = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            end - std::chrono::steady_clock::now());
        const auto slice =
            std::max(std::chrono::milliseconds(0), polls ? std::min(left, kPollSlice) : left);
        std::map<Token, bool> ready;
        const auto count = WaitHandles(slice, ready);
        // A callback may remove entries, its own or others': each is looked up afresh.
        std::vector<Token> due;
        for (const auto& [token, entry] : m_entries) {
            if (entry.polled || ready.contains(token))
                due.push_back(token);
        }
        for (const Token token : due) {
            const auto it = m_entries.find(token);
            if (it != m_entries.end() && it->second.callback) {
                const std::function<void()> callback = it->second.callback;
                callback();
            }
        }
        if (count > 0 || !polls || slice >= left)
            return;
    }
}

} // namespace quillon
