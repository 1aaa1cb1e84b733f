#include <csignal>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "cli/commands.h"
#include "cli/program_arguments.h"

int main(int argc, char** argv)
{
#ifdef SIGXFSZ
    // A file grown past the size limit fails its write and is reported, instead of the limit's
    // signal ending the program before it can say so.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    const std::vector<std::string> texts = quillon::cli::ProgramArguments(argc, argv);
    const std::vector<std::string_view> args(texts.begin(), texts.end());
    return quillon::cli::Dispatch(args);
}
