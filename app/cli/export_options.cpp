#include "app/cli/export_options.h"

#include "app/cli/options.h"

namespace quillon::cli {

namespace {

ParsedExport UsageError(std::string error)
{
    ParsedExport parsed;
    parsed.error = std::move(error);
    return parsed;
}

} // namespace

ParsedExport ParseExportCommand(std::span<const std::string_view> args)
{
    for (const std::string_view arg : args) {
        if (arg == "--help" || arg == "-h")
            return ParsedExport{ParsedExport::Kind::Help, {}, {}};
    }
    ParsedExport parsed;
    parsed.kind = ParsedExport::Kind::Export;
    bool haveInput = false;
    bool haveOutput = false;
    bool haveFrames = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        // "-" alone names standard output, so only longer arguments are options.
        if (arg.size() <= 1 || arg.front() != '-') {
            if (haveInput)
                return UsageError("more than one input file given");
            parsed.options.input = std::string(arg);
            haveInput = true;
            continue;
        }
        // "--name value" or "--name=value"
        const std::size_t equals = arg.find('=');
        const std::string_view name = arg.substr(0, equals);
        if (name != "--pcap" && name != "--csv" && name != "--frames")
            return UsageError("unknown option '" + std::string(arg) + "'");
        std::string_view value;
        if (equals != std::string_view::npos)
            value = arg.substr(equals + 1);
        else if (i + 1 < args.size())
            value = args[++i];
        else
            return UsageError("option " + std::string(name) + " needs a value");

        if (name == "--frames") {
            if (haveFrames)
                return UsageError("option --frames given twice");
            haveFrames = true;
            const std::optional<FrameModelKind> kind = ParseFrameModelKind(value);
            if (!kind)
                return UsageError("option --frames takes device or standard, not '" +
                                  std::string(value) + "'");
            parsed.options.frames = *kind;
            continue;
        }
        if (haveOutput)
            return UsageError("give one output: --pcap OUT or --csv OUT");
        if (value.empty())
            return UsageError("option " + std::string(name) + " takes a file name or -");
        haveOutput = true;
        parsed.options.output = std::string(value);
        parsed.options.format = name == "--pcap" ? ExportFormat::Pcap : ExportFormat::Csv;
    }
    if (!haveInput)
        return UsageError("export needs a capture file");
    if (!haveOutput)
        return UsageError("export needs an output: --pcap OUT or --csv OUT");
    return parsed;
}

std::string_view ExportUsageText()
{
    return "usage: quillon-cli export IN (--pcap OUT | --csv OUT) [--frames device|standard]\n";
}

std::string_view ExportHelpText()
{
    return "usage: quillon-cli export IN (--pcap OUT | --csv OUT) [--frames device|standard]\n"
           "\n"
           "export analyses a whole capture file as Load File does, however long (it is\n"
           "read as it goes, with no 2000-line limit), and writes every listed frame:\n"
           "\n"
           "  IN              a capture log file (.mlog) or a pcap capture file (link type\n"
           "                  252 as exported here, or 147 with one frame per packet)\n"
           "  --pcap OUT      a pcap file that Wireshark and tshark decode as Modbus RTU,\n"
           "                  CRC check included, with no configuration\n"
           "  --csv OUT       one row per frame: time,tag,node,function,name,exception,\n"
           "                  address,quantity,length,crc_ok,summary,hex\n"
           "  --frames KIND   how frames are cut: device (the default) or standard\n"
           "\n"
           "OUT is replaced only by a complete file; - writes to standard output:\n"
           "  quillon-cli export cap.mlog --pcap - | tshark -r - -o mbrtu.crc_verification:TRUE\n"
           "\n"
           "Damaged lines are skipped and counted on stderr as \"Damaged lines skipped: N\";\n"
           "frames whose timestamp text is not a time take the time before them and are\n"
           "counted on stderr. Exit status: 0 done; 1 the input could not be read or the\n"
           "output not written; 2 usage error.\n";
}

} // namespace quillon::cli
