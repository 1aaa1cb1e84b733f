#pragma once

#include <string>
#include <vector>

namespace quillon::cli {

// The program's arguments after its name, as UTF-8 texts, with the standard streams made to
// carry bytes exactly as written (no line-end translation) and the console showing UTF-8.
[[nodiscard]] std::vector<std::string> ProgramArguments(int argc, char** argv);

} // namespace quillon::cli
