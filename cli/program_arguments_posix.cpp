#include "cli/program_arguments.h"

namespace quillon::cli {

std::vector<std::string> ProgramArguments(int argc, char** argv)
{
    // The bytes as the shell passed them: file names are bytes here.
    return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

} // namespace quillon::cli
