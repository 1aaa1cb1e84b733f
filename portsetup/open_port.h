#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "seams/port_settings.h"
#include "seams/serial_device.h"
#include "seams/serial_line.h"

namespace quillon {

// Both driver queues hold 1000 bytes.
constexpr std::size_t kPortQueueSize = 1000;

// What the Port Setup dialog's four combo boxes exchange.
struct PortSetupTexts
{
    std::string port;
    std::string baud;
    std::string parityWord; // "NONE", "ODD", "EVEN", or empty
    std::string stopBits;

    bool operator==(const PortSetupTexts&) const = default;
};

// The modal Port Setup dialog.
class PortSetupDialog
{
public:
    virtual ~PortSetupDialog() = default;
    // Shows the dialog with `texts` loaded into its controls. True when it ended with OK; `texts`
    // then holds the user's choices. Any other end leaves `texts` as it was.
    [[nodiscard]] virtual bool Exec(PortSetupTexts& texts) = 0;
};

// Writes the fill-in of every empty field: "COM1", "115200", "N", "8", "2".
void ApplyFillIns(PortSettings& settings);

// "N", "O", "E" show as "NONE", "ODD", "EVEN" (exact, case-sensitive); any other letter as empty.
[[nodiscard]] std::string ParityWord(const std::string& letter);

[[nodiscard]] PortSetupTexts LoadDialogTexts(const PortSettings& settings);

// Takes the dialog's choices back; a parity word that is not one of the three gives "N", and
// the data length is never touched.
void TakeDialogChoices(const PortSetupTexts& texts, PortSettings& settings);

// Go's port opening: fill-ins, the dialog, then the device opened and configured from the
// settings. Returns nothing on Cancel or any failure; `settings` keeps the fill-ins, and after
// OK the user's choices, whatever the outcome. Shows no message.
[[nodiscard]] std::unique_ptr<SerialLine>
OpenPort(PortSettings& settings, PortSetupDialog& dialog, SerialDeviceLayer& devices);

// Opens and configures the device the settings name, without a dialog: exclusive open, queue
// sizes, the line state with RTS only while transmitting and errors held until cleared, the
// mode string's parameters, and reads that return at once. A failed open, queue sizing or mode
// string gives nothing (the device is closed again); later configuration steps are not checked.
[[nodiscard]] std::unique_ptr<SerialLine> OpenConfiguredPort(const PortSettings& settings,
                                                             SerialDeviceLayer& devices);

} // namespace quillon
