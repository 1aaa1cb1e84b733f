#include <csignal>
#include <span>
#include <string_view>
#include <vector>

#include "cli/commands.h"

int main(int argc, char** argv)
{
#ifdef SIGXFSZ
    // A file grown past the size limit fails its write and is reported, instead of the limit's
    // signal ending the program before it can say so.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    const std::vector<std::string_view> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    return quillon::cli::Dispatch(args);
}
