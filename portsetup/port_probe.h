#pragma once

#include <array>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "portsetup/open_port.h"
#include "seams/serial_device.h"

namespace quillon {

// The fixed, unsorted lists of the Port Setup dialog's baud, parity and stop-bits combos.
inline constexpr std::array<std::string_view, 6> kBaudItems{"115200", "57600", "38400",
                                                            "19200",  "9600",  "4800"};
inline constexpr std::array<std::string_view, 3> kParityItems{"NONE", "ODD", "EVEN"};
inline constexpr std::array<std::string_view, 2> kStopBitsItems{"1", "2"};

// The COM1 to COM9 that a Windows probe tries.
inline constexpr int kComPortCount = 9;

// A combo's items and its selected index (-1: nothing selected).
struct ComboChoice
{
    std::vector<std::string> items;
    int selection = -1;

    bool operator==(const ComboChoice&) const = default;
};

// Everything the Port Setup dialog shows when it opens.
struct PortSetupChoices
{
    ComboChoice port;
    ComboChoice baud;
    ComboChoice parity;
    ComboChoice stopBits;
};

// Orders names as people read them: runs of digits compare by value, so ttyS2 < ttyS10.
[[nodiscard]] bool NaturalLess(std::string_view a, std::string_view b);

// The names worth probing: the ports the system reports plus the stored port when it is not
// among them, in ascending natural order, without duplicates. Names that cannot be stored in a
// setting (empty, or over 9 characters) are not offered.
[[nodiscard]] std::vector<std::string> CandidatePortNames(std::span<const std::string> reported,
                                                          const std::string& storedPort);

// Opens each candidate exclusively and releases it at once; the names that opened, in order.
[[nodiscard]] std::vector<std::string> ProbePorts(SerialDeviceLayer& devices,
                                                  std::span<const std::string> candidates);

// The combo rule for loading a text: the first item that begins with it, ignoring case;
// -1 when none does or the text is empty.
[[nodiscard]] int SelectString(std::span<const std::string> items, std::string_view text);

// The combo rule for saving: the selected item's text, or empty when nothing is selected.
[[nodiscard]] std::string SavedText(const ComboChoice& combo);

// The dialog's contents for the texts OpenPort loads and the ports found present: the stored
// port is preselected when present (exact, case-sensitive match), else the first present port.
[[nodiscard]] PortSetupChoices PreparePortSetup(const PortSetupTexts& texts,
                                                std::span<const std::string> presentPorts);

// What OK hands back to OpenPort.
[[nodiscard]] PortSetupTexts SavePortSetup(const PortSetupChoices& choices);

} // namespace quillon
