#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace quillon {

// Entries of the function-code name table: codes 0-45, 65-72 and 101-107.
constexpr std::size_t kFunctionNameCount = 61;

// An entry of a function-name table. Added to a table, it recognises the code, by this name or,
// when the name is empty, by the name the table already has.
struct FunctionName
{
    std::uint8_t code;
    std::string_view name;
};

// Which codes the summary line names, and by which name; every code has an entry, empty for a
// code without a name.
class FunctionNames
{
public:
    constexpr FunctionNames() = default;
    // Names the `named` codes and recognises the `recognised` ones.
    constexpr FunctionNames(std::span<const FunctionName> named,
                            std::span<const std::uint8_t> recognised)
    {
        for (const FunctionName& entry : named)
            m_names[entry.code] = entry.name;
        for (const std::uint8_t code : recognised)
            m_recognised[code] = true;
    }

    // The table with `names` added in order: a frame model's own table is the device's plus its
    // extra entries.
    [[nodiscard]] constexpr FunctionNames With(std::span<const FunctionName> names) const
    {
        FunctionNames table = *this;
        for (const FunctionName& entry : names) {
            if (!entry.name.empty())
                table.m_names[entry.code] = entry.name;
            table.m_recognised[entry.code] = true;
        }
        return table;
    }
    [[nodiscard]] constexpr std::string_view Name(std::uint8_t code) const { return m_names[code]; }
    [[nodiscard]] constexpr bool Recognises(std::uint8_t code) const { return m_recognised[code]; }

private:
    std::array<std::string_view, 256> m_names{};
    std::array<bool, 256> m_recognised{};
};

// The device's table: names for codes 0-45, 65-72 and 101-107, of which 19 are recognised.
[[nodiscard]] const FunctionNames& DeviceFunctionNames();

// The table name of a code in one of the three ranges; empty for every other code (255, the
// code of a CRC-error line, among them).
[[nodiscard]] std::string_view CodeName(std::uint8_t code);

// Whether the summary line names this code (bit 7 already cleared by the caller). Every other
// code shows as "[%d] Code Unknown".
[[nodiscard]] bool IsRecognised(std::uint8_t code);

} // namespace quillon
