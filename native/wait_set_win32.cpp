#include "native/wait_set.h"

#include <vector>
#include <windows.h>

namespace quillon {

std::size_t WaitSet::WaitHandles(std::chrono::milliseconds timeout,
                                 std::map<Token, bool>& ready) const
{
    std::vector<HANDLE> handles;
    std::vector<Token> tokens;
    for (const auto& [token, entry] : m_entries) {
        if (entry.polled || handles.size() == MAXIMUM_WAIT_OBJECTS)
            continue;
        handles.push_back(reinterpret_cast<HANDLE>(entry.handle));
        tokens.push_back(token);
    }
    const auto ms = static_cast<DWORD>(timeout.count());
    if (handles.empty()) {
        ::Sleep(ms);
        return 0;
    }
    const DWORD result =
        ::WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(), FALSE, ms);
    if (result >= WAIT_OBJECT_0 && result < WAIT_OBJECT_0 + handles.size()) {
        // Others may be signalled too; each is asked without waiting.
        for (std::size_t i = 0; i < handles.size(); ++i) {
            if (::WaitForSingleObject(handles[i], 0) == WAIT_OBJECT_0 ||
                i == result - WAIT_OBJECT_0)
                ready[tokens[i]] = true;
        }
    }
    return ready.size();
}

} // namespace quillon
