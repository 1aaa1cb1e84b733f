#include "capture/function_names.h"

#include <array>

namespace quillon {

namespace {

constexpr std::array<std::string_view, kFunctionNameCount> kNames{
    "Broadcast",             // 0
    "Read Coil Status",      // 1
    "Read Input Status",     // 2
    "Read Holding Regs",     // 3
    "Read Input Regs",       // 4
    "Force Single Coil",     // 5
    "Preset Single Reg",     // 6
    "Read Exception Status", // 7
    "Diagnostics",           // 8
    "Not Supported",         // 9
    "Not Supported",         // 10
    "Not Supported",         // 11
    "Not Supported",         // 12
    "Not Supported",         // 13
    "Not Supported",         // 14
    "Force Multiple Coils",  // 15
    "Preset Multiple Regs",  // 16
    "Report Slave ID",       // 17
    "Not Supported",         // 18
    "Not Supported",         // 19
    "Not Supported",         // 20
    "Not Supported",         // 21
    "Not Supported",         // 22
    "Not Supported",         // 23
    "Not Supported",         // 24
    "Not Supported",         // 25
    "Not Supported",         // 26
    "Not Supported",         // 27
    "Not Supported",         // 28
    "Not Supported",         // 29
    "Write Regs Order",      // 30
    "Read Regs Order",       // 31
    "Not Supported",         // 32
    "Read EEprom Data",      // 33
    "Write CT Delays",       // 34
    "Read CT Delays",        // 35
    "Not Supported",         // 36
    "Read EEprom Data",      // 37
    "Write D2A Factors",     // 38
    "Read D2A Factors",      // 39
    "Write Cal Factors",     // 40
    "Read Cal Factors",      // 41
    "Write Relay Structs",   // 42
    "Read Relay Structs",    // 43
    "Flash Update",          // 44
    "Page Scroll",           // 45
    "Write Regs Order",      // 65
    "Read Regs Order",       // 66
    "Read EEprom Data",      // 67
    "Read CT Delays",        // 68
    "Write D2A Factors",     // 69
    "Read D2A Factors",      // 70
    "Flash Update",          // 71
    "Page Scroll",           // 72
    "Write Cal Factors",     // 101
    "Read Cal Factors",      // 102
    "Write Relay Structs",   // 103
    "Read Relay Structs",    // 104
    "Ram Dump",              // 105
    "Write Memory",          // 106
    "Read Group",            // 107
};

constexpr std::array<std::uint8_t, 19> kRecognisedCodes{1,  3,  4,  16, 17, 30,  31,  35,  41, 42,
                                                        43, 65, 66, 68, 71, 102, 103, 104, 106};

// The name array's entries with their codes: 0-45, then 65-72, then 101-107.
constexpr std::array<FunctionName, kFunctionNameCount> NamedCodes()
{
    std::array<FunctionName, kFunctionNameCount> named{};
    for (std::size_t i = 0; i < kFunctionNameCount; ++i) {
        const std::size_t code = i < 46 ? i : i < 54 ? i + 19 : i + 47;
        named[i] = FunctionName{static_cast<std::uint8_t>(code), kNames[i]};
    }
    return named;
}

constexpr std::array<FunctionName, kFunctionNameCount> kNamedCodes = NamedCodes();
constexpr FunctionNames kDeviceNames{kNamedCodes, kRecognisedCodes};

} // namespace

const FunctionNames& DeviceFunctionNames()
{
    return kDeviceNames;
}

std::string_view CodeName(std::uint8_t code)
{
    return kDeviceNames.Name(code);
}

bool IsRecognised(std::uint8_t code)
{
    return kDeviceNames.Recognises(code);
}

} // namespace quillon
