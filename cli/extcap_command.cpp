#include "cli/extcap_command.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <system_error>
#include <thread>
#include <vector>

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

#include "capture/frame_models.h"
#include "cli/command.h"
#include "cli/extcap_install.h"
#include "cli/listen_command.h"
#include "cli/options.h"
#include "native/serial_ports.h"
#include "portsetup/port_probe.h"
#include "seams/port_settings.h"

#ifndef QUILLON_VERSION
#define QUILLON_VERSION "0"
#endif

namespace quillon::cli {

namespace {

// The interface for any port, named by its option; each adapter found adds "quillon-NAME".
constexpr std::string_view kInterface = "quillon";
constexpr std::string_view kAdapterPrefix = "quillon-";
// Wireshark's exported PDUs: each packet names the dissector that reads it.
constexpr int kExportedPduLinkType = 252;

// The device an adapter's interface captures from; nothing for the any-port interface.
std::optional<std::string> AdapterDevice(std::string_view interface)
{
    if (!interface.starts_with(kAdapterPrefix) || interface.size() == kAdapterPrefix.size())
        return std::nullopt;
    return "/dev/" + std::string(interface.substr(kAdapterPrefix.size()));
}

bool IsOurInterface(std::string_view interface)
{
    return interface == kInterface || AdapterDevice(interface).has_value();
}

// The machine's serial ports, as the interfaces' devices.
std::vector<std::string> SerialAdapters()
{
    std::vector<std::string> devices;
    for (const std::string& name : SerialPortNames())
        devices.push_back(DeviceLocation(name));
    return devices;
}

void Say(std::string_view text)
{
    Print(stderr, "quillon-cli: ");
    Print(stderr, text);
    Print(stderr, "\n");
}

// A selector's value lines, the default marked.
std::string Values(int arg,
                   std::span<const std::pair<std::string_view, std::string_view>> values,
                   std::string_view chosen)
{
    std::string text;
    for (const auto& [value, display] : values) {
        text += "value {arg=" + std::to_string(arg) + "}{value=" + std::string(value) +
                "}{display=" + std::string(display) +
                "}{default=" + (value == chosen ? "true" : "false") + "}\n";
    }
    return text;
}

// One of Wireshark's calls, as read from its arguments.
struct ExtcapCall
{
    bool interfaces = false;
    bool dlts = false;
    bool config = false;
    bool capture = false;
    std::string interface;
    std::string fifo;
    std::optional<std::string> filter;
    std::optional<std::string> port;
    // listen's own options, handed on as they came.
    std::vector<std::string> listenOptions;
};

Parsed<ExtcapCall> ParseExtcapCall(std::span<const std::string_view> args)
{
    Parsed<ExtcapCall> parsed;
    ExtcapCall& call = parsed.options;
    const auto text = [](std::string& target) {
        return [&target](std::string_view v) {
            target = std::string(v);
            return Verdict(true);
        };
    };
    const auto ignored = [](std::string_view) { return Verdict(true); };
    const auto handOn = [&call](std::string_view name) {
        return [&call, name](std::string_view v) {
            call.listenOptions.emplace_back(name);
            call.listenOptions.emplace_back(v);
            return Verdict(true);
        };
    };
    const OptionSpec options[] = {
        Flag("--extcap-interfaces", [&] { call.interfaces = true; }),
        Flag("--extcap-dlts", [&] { call.dlts = true; }),
        Flag("--extcap-config", [&] { call.config = true; }),
        Flag("--capture", [&] { call.capture = true; }),
        ValueOption("--extcap-interface", "an interface name", text(call.interface)),
        ValueOption("--fifo", "a pipe's path", text(call.fifo)),
        ValueOption("--extcap-capture-filter", "a filter",
                    [&](std::string_view v) {
                        call.filter = std::string(v);
                        return Verdict(true);
                    }),
        // Wireshark's version, its control pipes (the capture has no controls) and its debug
        // switches change nothing here.
        ValueOption("--extcap-version", "a version", ignored),
        ValueOption("--extcap-control-in", "a pipe's path", ignored),
        ValueOption("--extcap-control-out", "a pipe's path", ignored),
        // Newer Wireshark asks for one option's values again; every list here is fixed.
        ValueOption("--extcap-reload-option", "an option", ignored),
        ValueOption("--extcap-config-option-name", "an option", ignored),
        ValueOption("--extcap-config-option-value", "a value", ignored),
        ValueOption("--debug-file", "a file name", ignored),
        Flag("--debug", [] {}),
        ValueOption("--port", "a serial port",
                    [&](std::string_view v) {
                        call.port = std::string(v);
                        return Verdict(true);
                    }),
        ValueOption("--baud", "a baud rate", handOn("--baud")),
        ValueOption("--parity", "N, O or E", handOn("--parity")),
        ValueOption("--data", "5, 6, 7 or 8", handOn("--data")),
        ValueOption("--stop", "1, 1.5 or 2", handOn("--stop")),
        ValueOption("--frames", FrameModelValues(), handOn("--frames")),
    };
    const OperandSpec none{"", "", [](std::string_view v) {
                               return Verdict::Refused("unexpected argument '" + std::string(v) +
                                                       "': Wireshark's calls take options only");
                           }};
    const ParseResult result = ParseArguments(args, {options, none, HelpRule::InPlace});
    parsed.kind = result.kind;
    parsed.error = result.error;
    // No operand is wanted: the engine's complaint about a missing one does not apply.
    if (parsed.kind == ParseKind::UsageError && parsed.error.empty())
        parsed.kind = ParseKind::Run;
    return parsed;
}

// Wireshark's reader waits in its open of the capture pipe until a writer comes; a capture that
// failed before it opened the pipe (a wrong port) opens and closes it, so that the reader sees
// the end at once and Wireshark shows the error instead of waiting forever.
void ReleaseReader(const std::string& fifo)
{
#ifndef _WIN32
    constexpr int kTries = 100; // 50 ms apart: the reader may not have opened its end yet
    for (int attempt = 0; attempt < kTries; ++attempt) {
        const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0) {
            ::close(fd);
            return;
        }
        if (errno != ENXIO && errno != EINTR)
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
#else
    (void)fifo;
#endif
}

int CaptureInto(const ExtcapCall& call)
{
    // A serial line offers no packet filter; Wireshark shows this where the filter was typed.
    if (call.filter && !call.filter->empty()) {
        Say("Quillon captures every frame of the line and takes no capture filter");
        return kExitFailed;
    }
    if (!call.capture)
        return kExitDone;
    const std::optional<std::string> port = call.port ? call.port : AdapterDevice(call.interface);
    if (!port || port->empty()) {
        Say("no serial port given: set the interface's Serial port option");
        return kExitUsage;
    }
    if (call.fifo.empty()) {
        Say("no capture pipe given (--fifo)");
        return kExitUsage;
    }
    std::vector<std::string_view> listenArgs{*port};
    listenArgs.insert(listenArgs.end(), call.listenOptions.begin(), call.listenOptions.end());
    Parsed<ListenOptions> listen = ParseListenCommand(listenArgs);
    if (listen.kind != ParseKind::Run) {
        Say(listen.error.empty() ? std::string("these options do not describe a capture")
                                 : listen.error);
        return kExitUsage;
    }
    // Wireshark shows whatever comes on stderr as an error, the detected settings too.
    if (listen.options.detectLine) {
        Say("give the line's baud rate; `quillon-cli listen PORT --baud auto` finds it");
        return kExitUsage;
    }
    listen.options.pcapFile = call.fifo;
    listen.options.feed = ListenFeed::Wireshark;
    return RunListenCommand(listen.options);
}

int Capture(const ExtcapCall& call)
{
    const int status = CaptureInto(call);
    if (status != kExitDone && call.capture && !call.fifo.empty())
        ReleaseReader(call.fifo);
    return status;
}

} // namespace

bool IsExtcapCall(std::span<const std::string_view> args)
{
    return std::any_of(args.begin(), args.end(), [](std::string_view arg) {
        return arg.starts_with("--extcap-") || arg == "--capture";
    });
}

std::string ExtcapInterfacesText(std::span<const std::string> adapters)
{
    std::string text = "extcap {version=" QUILLON_VERSION "}\n";
    text += "interface {value=" + std::string(kInterface) +
            "}{display=Quillon Modbus RTU (serial port set in its options)}\n";
    for (const std::string& device : adapters) {
        const std::string name = device.starts_with("/dev/") ? device.substr(5) : device;
        text += "interface {value=" + std::string(kAdapterPrefix) + name +
                "}{display=Quillon Modbus RTU on " + device + "}\n";
    }
    return text;
}

std::optional<std::string> ExtcapDltsText(std::string_view interface)
{
    if (!IsOurInterface(interface))
        return std::nullopt;
    return "dlt {number=" + std::to_string(kExportedPduLinkType) +
           "}{name=WIRESHARK_UPPER_PDU}{display=Modbus RTU frames (exported PDU, mbrtu)}\n";
}

std::optional<std::string> ExtcapConfigText(std::string_view interface)
{
    if (!IsOurInterface(interface))
        return std::nullopt;
    const PortSettings start;
    std::string text = "arg {number=0}{call=--port}{display=Serial port}{type=string}";
    if (const std::optional<std::string> device = AdapterDevice(interface))
        text += "{default=" + *device + "}";
    else
        text += "{required=true}";
    text += "{tooltip=The serial device, such as /dev/ttyUSB0; it is only ever read}\n";

    // Any rate the line runs at can be typed (Wireshark 4.0 has no editable selector).
    text += "arg {number=1}{call=--baud}{display=Baud rate}{type=string}{default=" + start.baud +
            "}{validation=^[0-9]+$}{tooltip=The line's baud rate, such as 9600, 19200, 38400 or "
            "115200}\n";

    const std::pair<std::string_view, std::string_view> parities[] = {
        {"N", "None"}, {"E", "Even"}, {"O", "Odd"}};
    text += "arg {number=2}{call=--parity}{display=Parity}{type=selector}{default=" + start.parity +
            "}\n" + Values(2, parities, start.parity);
    const std::pair<std::string_view, std::string_view> data[] = {
        {"8", "8"}, {"7", "7"}, {"6", "6"}, {"5", "5"}};
    text += "arg {number=3}{call=--data}{display=Data bits}{type=selector}{default=" +
            start.dataLength + "}\n" + Values(3, data, start.dataLength);
    const std::pair<std::string_view, std::string_view> stops[] = {
        {"1", "1"}, {"1.5", "1.5"}, {"2", "2"}};
    text +=
        "arg {number=4}{call=--stop}{display=Stop bits}{type=selector}{default=" + start.stopBits +
        "}\n" + Values(4, stops, start.stopBits);

    std::vector<std::pair<std::string_view, std::string_view>> models;
    for (const FrameModelRow& row : FrameModels()) {
        models.emplace_back(row.id, row.kind == FrameModels().front().kind
                                        ? "device (the monitored devices' frame shapes)"
                                        : "standard (every public function code, CRC held)");
    }
    const std::string_view model = FrameModels().front().id;
    text += "arg {number=5}{call=--frames}{display=Frames}{type=selector}{default=" +
            std::string(model) + "}{tooltip=How the bytes are cut into frames}\n" +
            Values(5, models, model);
    return text;
}

int RunExtcapCall(std::span<const std::string_view> args)
{
    const Parsed<ExtcapCall> parsed = ParseExtcapCall(args);
    if (parsed.kind != ParseKind::Run) {
        Say(parsed.error.empty() ? std::string("see quillon-cli extcap --help") : parsed.error);
        return kExitUsage;
    }
    const ExtcapCall& call = parsed.options;
    if (call.interfaces) {
        Print(stdout, ExtcapInterfacesText(SerialAdapters()));
        return kExitDone;
    }
    if (!IsOurInterface(call.interface)) {
        Say("unknown interface '" + call.interface + "'");
        return kExitUsage;
    }
    if (call.dlts || call.config) {
        Print(stdout,
              (call.dlts ? ExtcapDltsText(call.interface) : ExtcapConfigText(call.interface))
                  .value_or(std::string()));
        return kExitDone;
    }
    if (call.capture || call.filter)
        return Capture(call);
    Say("the call asks for nothing: --extcap-interfaces, --extcap-dlts, --extcap-config or "
        "--capture");
    return kExitUsage;
}

int RunExtcapCommand(std::span<const std::string_view> args)
{
    if (args.size() == 1 && args[0] == "--install")
        return InstallExtcap(ExtcapLink::Install);
    if (args.size() == 1 && args[0] == "--uninstall")
        return InstallExtcap(ExtcapLink::Uninstall);
    if (IsExtcapCall(args))
        return RunExtcapCall(args);
    const std::string_view usage = "usage: quillon-cli extcap --install | --uninstall\n";
    const bool help = AsksForHelp(args);
    Print(help ? stdout : stderr, usage);
    if (help) {
        Print(stdout,
              "\nLinks quillon-cli into your personal Wireshark extcap folder (the one\n"
              "`tshark -G folders` names; ~/.config/wireshark/extcap for Wireshark 4.0,\n"
              "~/.local/lib/wireshark/extcap from 4.2), or removes that link. Wireshark then\n"
              "lists the interface quillon, and quillon-NAME for each serial adapter, and\n"
              "captures from it live: every frame a packet (link type 252, Modbus RTU).\n");
    }
    return help ? kExitDone : kExitUsage;
}

} // namespace quillon::cli
