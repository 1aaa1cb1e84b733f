#pragma once

#include <string>

namespace quillon {

// UTF-8 texts to the UTF-16 of the Windows calls and back; malformed sequences become U+FFFD.
[[nodiscard]] std::wstring WideText(const std::string& text);
[[nodiscard]] std::string Utf8Text(const std::wstring& text);

} // namespace quillon
