#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace quillon::cli {

// How text read from a capture file reaches a stream.
enum class TextDisplay
{
    AsIs,    // a pipe or a file: the bytes as they are, so scripted output stays exact
    Visible, // a terminal, which would act on control characters: they are shown instead
};

// Visible for a stream that is a terminal, else AsIs.
[[nodiscard]] TextDisplay DisplayFor(std::FILE* stream);

// Appends `text` with what a terminal would act on shown as `less` shows it: C0 controls and DEL
// in caret notation ("^[", "^G", "^?"), C1 controls as "<U+009B>", bytes that are no UTF-8 as
// "<9B>". Everything else is copied.
void AppendVisible(std::string& out, std::string_view text);

// Writes the text as it is, or made visible.
void PrintText(std::FILE* stream, std::string_view text, TextDisplay display);

} // namespace quillon::cli
