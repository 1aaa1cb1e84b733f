#include "portsetup/open_port.h"

#include <utility>

#include "portsetup/mode_string.h"

namespace quillon {

namespace {

void FillIfEmpty(std::string& field, const char* fillIn)
{
    if (field.empty())
        field = fillIn;
}

} // namespace

void ApplyFillIns(PortSettings& settings)
{
    FillIfEmpty(settings.port, "COM1");
    FillIfEmpty(settings.baud, "115200");
    FillIfEmpty(settings.parity, "N");
    FillIfEmpty(settings.dataLength, "8");
    FillIfEmpty(settings.stopBits, "2");
}

std::string ParityWord(const std::string& letter)
{
    if (letter == "N")
        return "NONE";
    if (letter == "O")
        return "ODD";
    if (letter == "E")
        return "EVEN";
    return {};
}

PortSetupTexts LoadDialogTexts(const PortSettings& settings)
{
    return PortSetupTexts{settings.port, settings.baud, ParityWord(settings.parity),
                          settings.stopBits};
}

void TakeDialogChoices(const PortSetupTexts& texts, PortSettings& settings)
{
    settings.port = texts.port;
    settings.parity = "N";
    settings.baud = texts.baud;
    settings.stopBits = texts.stopBits;
    if (texts.parityWord == "NONE")
        settings.parity = "N";
    else if (texts.parityWord == "EVEN")
        settings.parity = "E";
    else if (texts.parityWord == "ODD")
        settings.parity = "O";
}

std::unique_ptr<SerialLine>
OpenPort(PortSettings& settings, PortSetupDialog& dialog, SerialDeviceLayer& devices)
{
    ApplyFillIns(settings);
    PortSetupTexts texts = LoadDialogTexts(settings);
    if (!dialog.Exec(texts))
        return nullptr;
    TakeDialogChoices(texts, settings);
    return OpenConfiguredPort(settings, devices);
}

std::unique_ptr<SerialLine> OpenConfiguredPort(const PortSettings& settings,
                                               SerialDeviceLayer& devices)
{
    const std::string mode = BuildModeString(settings);
    std::unique_ptr<SerialDevice> device = devices.OpenExclusive(settings.port);
    if (!device)
        return nullptr;
    if (!device->SetQueueSizes(kPortQueueSize, kPortQueueSize))
        return nullptr; // closes the device

    // The RTS and error-holding choices go into the state read from the device before the
    // mode string is applied over it; the result is what the device gets back.
    LineState state = device->ReadState();
    state.rts = RtsControl::WhileTransmitting;
    state.abortOnError = true;
    if (!ParseModeString(mode, state))
        return nullptr;
    // Like the steps after it, a rejected line state goes unnoticed: the port stays usable.
    (void)device->WriteState(state);
    (void)device->SetReadsReturnAtOnce();
    return device;
}

} // namespace quillon
