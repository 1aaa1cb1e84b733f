#pragma once

#include <filesystem>
#include <string>

namespace quillon {

// Paths travel as UTF-8 texts. On Windows a path made from a plain string would take it in the
// ANSI code page, which cannot hold every name; elsewhere a name is the bytes as they are.
[[nodiscard]] inline std::filesystem::path Utf8Path(const std::string& text)
{
#ifdef _WIN32
    return std::filesystem::path(
        std::u8string(reinterpret_cast<const char8_t*>(text.data()), text.size()));
#else
    return std::filesystem::path(text);
#endif
}

[[nodiscard]] inline std::string Utf8String(const std::filesystem::path& path)
{
#ifdef _WIN32
    const std::u8string text = path.u8string();
    return std::string(reinterpret_cast<const char*>(text.data()), text.size());
#else
    return path.string();
#endif
}

} // namespace quillon
