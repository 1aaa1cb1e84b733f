#include "native/wait_set.h"

#include <cerrno>
#include <poll.h>
#include <vector>

namespace quillon {

std::size_t WaitSet::WaitHandles(std::chrono::milliseconds timeout,
                                 std::map<Token, bool>& ready) const
{
    std::vector<pollfd> fds;
    std::vector<Token> tokens;
    for (const auto& [token, entry] : m_entries) {
        if (entry.polled)
            continue;
        fds.push_back(pollfd{static_cast<int>(entry.handle), POLLIN, 0});
        tokens.push_back(token);
    }
    const int count = ::poll(fds.data(), fds.size(), static_cast<int>(timeout.count()));
    if (count <= 0)
        return 0;
    for (std::size_t i = 0; i < fds.size(); ++i) {
        // A hang-up is ready too: its owner reads the end of the line.
        if (fds[i].revents != 0)
            ready[tokens[i]] = true;
    }
    return ready.size();
}

} // namespace quillon
