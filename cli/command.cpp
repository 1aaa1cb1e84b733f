#include "cli/command.h"

#include <string>

namespace quillon::cli {

void Print(std::FILE* stream, std::string_view text)
{
    std::fwrite(text.data(), 1, text.size(), stream);
}

void ReportCutTail(std::string_view file, std::string_view cutTail)
{
    if (!cutTail.empty())
        Print(stderr, "quillon-cli: " + std::string(file) + ": " + std::string(cutTail) +
                          "; the packets before it were read\n");
}

std::optional<int>
Answered(ParseKind kind, std::string_view error, std::string_view usage, std::string_view help)
{
    switch (kind) {
    case ParseKind::Help:
        Print(stdout, help);
        return kExitDone;
    case ParseKind::UsageError:
        Print(stderr, "quillon-cli: " + std::string(error) + "\n");
        Print(stderr, usage);
        return kExitUsage;
    case ParseKind::Run:
        break;
    }
    return std::nullopt;
}

} // namespace quillon::cli
