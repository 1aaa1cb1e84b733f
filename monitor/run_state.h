#pragma once

namespace quillon {

enum class RunState
{
    Stopped = 0,
    Running = 1,
    Paused = 2
};

} // namespace quillon
