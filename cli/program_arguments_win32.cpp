#include "cli/program_arguments.h"

#include <cstdio>
#include <fcntl.h>
#include <io.h>
#include <windows.h>
// After windows.h, whose types it uses.
#include <shellapi.h>

#include "native/wide_text.h"

namespace quillon::cli {

std::vector<std::string> ProgramArguments(int /*argc*/, char** /*argv*/)
{
    // Capture files and exports end their lines as the program writes them, CR LF or LF.
    (void)_setmode(_fileno(stdin), _O_BINARY);
    (void)_setmode(_fileno(stdout), _O_BINARY);
    (void)_setmode(_fileno(stderr), _O_BINARY);
    // Messages go out as they are written, as on POSIX, also into a pipe or a file.
    (void)std::setvbuf(stderr, nullptr, _IONBF, 0);
    ::SetConsoleOutputCP(CP_UTF8);

    // main's own arguments are in the ANSI code page, which cannot hold every file name.
    std::vector<std::string> args;
    int count = 0;
    wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (wide == nullptr)
        return args;
    for (int i = 1; i < count; ++i)
        args.push_back(Utf8Text(wide[i]));
    ::LocalFree(wide);
    return args;
}

} // namespace quillon::cli
