#include "cli/values_command.h"

#include <array>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <optional>
#include <string>

#include "analysis/register_image.h"
#include "cli/command.h"
#include "formats/capture_stream.h"
#include "formats/log_file.h"
#include "formats/register_map.h"
#include "monitor/messages.h"

namespace quillon::cli {

namespace {

constexpr std::string_view kUsage =
    "usage: quillon-cli values FILE.mlog|FILE.pcap [--frames device|standard] [--map FILE]\n"
    "                          [--json]\n";

constexpr std::string_view kHelp =
    "quillon-cli values: the last value the line carried for every register and bit.\n"
    "\n"
    "usage: quillon-cli values FILE.mlog|FILE.pcap [--frames device|standard] [--map FILE]\n"
    "                          [--json]\n"
    "\n"
    "Reads the whole capture, pairs each query with its answer and keeps, per node,\n"
    "table and 0-based address, the last value read (codes 1, 2, 3, 4, 23) or written\n"
    "and confirmed (5, 6, 15, 16, 22, 23), with how often it was read and written and\n"
    "when it last came. Exceptions, time-outs and CRC errors change nothing. The device\n"
    "model does not know codes 2, 5, 6, 15, 22 and 23: use --frames standard for those.\n"
    "\n"
    "  --frames M     cut frames by the device model (default) or by standard Modbus\n"
    "  --map FILE     name points by a register map (our CSV with a header row, or\n"
    "                 modpoll's CSV) and show their values decoded\n"
    "  --json         one JSON object per line and per node, table and address: node,\n"
    "                 table, address, raw, reads, writes, last_time (ISO 8601, UTC),\n"
    "                 and name, type, value, unit where a map point starts there\n"
    "  --help         show this text\n"
    "\n"
    "Exit status: 0 done; 1 the file or the map could not be read, or the output not\n"
    "written; 2 usage error.\n";

// ISO 8601 in UTC with microseconds: "2026-12-07T20:15:42.075123Z".
std::string IsoTime(std::int64_t us)
{
    std::int64_t second = us / 1'000'000;
    std::int64_t micro = us % 1'000'000;
    if (micro < 0) {
        micro += 1'000'000;
        --second;
    }
    // The civil calendar of the standard library: the same on every platform.
    const std::chrono::sys_seconds time{std::chrono::seconds(second)};
    const auto day = std::chrono::floor<std::chrono::days>(time);
    const std::chrono::year_month_day date{day};
    const std::chrono::hh_mm_ss clock{time - day};
    std::array<char, 96> text{};
    std::snprintf(text.data(), text.size(), "%04d-%02u-%02uT%02d:%02d:%02d.%06lldZ",
                  static_cast<int>(date.year()), static_cast<unsigned>(date.month()),
                  static_cast<unsigned>(date.day()), static_cast<int>(clock.hours().count()),
                  static_cast<int>(clock.minutes().count()),
                  static_cast<int>(clock.seconds().count()), static_cast<long long>(micro));
    return text.data();
}

std::string JsonString(std::string_view text)
{
    std::string json = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\')
            json += '\\';
        if (static_cast<unsigned char>(c) < 0x20)
            continue;
        json += c;
    }
    return json + "\"";
}

std::string RawHex(RegisterTable table, std::uint16_t raw)
{
    std::array<char, 8> text{};
    std::snprintf(text.data(), text.size(), IsBitTable(table) ? "%u" : "%04X", unsigned{raw});
    return text.data();
}

std::string Lines(const RegisterImage& image, const RegisterMap& map, bool json)
{
    const RawLookup raw = [&image](const RegisterKey& key) -> std::optional<std::uint16_t> {
        const RegisterValue* value = image.Find(key);
        return value ? std::optional<std::uint16_t>(value->raw) : std::nullopt;
    };
    std::string text;
    if (!json)
        text = "Node Table             Address Name                 Value            Unit     "
               "Raw     Reads    Writes  Last-update\n";
    std::array<char, 512> line{};
    for (const auto& [key, value] : image.Points()) {
        const MapPoint* point = map.StartingAt(key);
        const auto reading = point ? ReadPoint(*point, raw) : std::nullopt;
        const std::string time = value->timeUs >= 0 ? IsoTime(value->timeUs) : std::string();
        if (json) {
            text += "{\"node\": " + std::to_string(key.node) + ", \"table\": \"" +
                    RegisterTableName(key.table) +
                    "\", \"address\": " + std::to_string(key.address) +
                    ", \"raw\": " + std::to_string(value->raw) +
                    ", \"reads\": " + std::to_string(value->reads) +
                    ", \"writes\": " + std::to_string(value->writes) +
                    ", \"last_time\": " + (time.empty() ? "null" : "\"" + time + "\"");
            if (point) {
                text += ", \"name\": " + JsonString(point->name) + ", \"type\": \"" +
                        PointTypeName(point->type) +
                        "\", \"value\": " + (reading ? reading->json : std::string("null")) +
                        ", \"unit\": " + JsonString(point->unit);
            }
            text += "}\n";
            continue;
        }
        const std::string shown =
            point ? (reading ? reading->text : std::string("?")) : std::to_string(value->raw);
        std::snprintf(
            line.data(), line.size(), "%4u %-17s %7u %-20s %-16s %-8s %4s %9llu %9llu  %s",
            unsigned{key.node}, RegisterTableName(key.table), unsigned{key.address},
            point ? point->name.c_str() : "-", shown.c_str(),
            point && !point->unit.empty() ? point->unit.c_str() : "-",
            RawHex(key.table, value->raw).c_str(), static_cast<unsigned long long>(value->reads),
            static_cast<unsigned long long>(value->writes), time.empty() ? "-" : time.c_str());
        text += line.data();
        while (!text.empty() && text.back() == ' ')
            text.pop_back();
        text += '\n';
    }
    return text;
}

} // namespace

Parsed<ValuesOptions> ParseValuesCommand(std::span<const std::string_view> args)
{
    Parsed<ValuesOptions> parsed;
    ValuesOptions& o = parsed.options;
    const OptionSpec options[] = {
        ValueOption("--frames", "device or standard",
                    [&](std::string_view v) { return Store(o.frames, ParseFrameModelKind(v)); }),
        ValueOption("--map", "a file name",
                    [&](std::string_view v) { return Store(o.map, ParseFileName(v)); }),
        Flag("--json", [&] { o.json = true; }),
    };
    const OperandSpec file{"values needs a capture file", "more than one file given",
                           [&](std::string_view v) {
                               o.file = std::string(v);
                               return true;
                           }};
    const ParseResult result = ParseArguments(args, {options, file, HelpRule::InPlace});
    parsed.kind = result.kind;
    parsed.error = result.error;
    return parsed;
}

std::string_view ValuesUsageText()
{
    return kUsage;
}

std::string_view ValuesHelpText()
{
    return kHelp;
}

int RunValues(const ValuesOptions& o)
{
    RegisterMap map;
    if (!o.map.empty()) {
        MapRead read = ReadRegisterMapFile(o.map);
        if (!read.map) {
            Print(stderr, "quillon-cli: map refused: " + read.error.Text() + "\n");
            return kExitFailed;
        }
        map = std::move(*read.map);
    }
    const LogFile in = OpenLogFileForReading(o.file);
    if (!in) {
        Print(stderr, std::string(kCantOpenFile) + "\n");
        return kExitFailed;
    }
    RegisterImage image;
    FrameCutter cutter(o.frames);
    cutter.Subscribe(image);
    const StreamOutcome read = StreamCaptureFile(in.get(), cutter);
    if (read.status == StreamOutcome::Status::ReadRefused) {
        Print(stderr, "quillon-cli: " + read.readError + "\n");
        return kExitFailed;
    }
    if (std::ferror(in.get()) != 0) {
        Print(stderr, "quillon-cli: the file could not be read through\n");
        return kExitFailed;
    }
    if (read.damagedLines > 0)
        Print(stderr, std::string(kDamagedLinesSkipped) + std::to_string(read.damagedLines) + "\n");
    ReportCutTail(o.file, read.cutTail);
    if (image.NotKept() > 0)
        Print(stderr, "quillon-cli: values not kept (too many registers): " +
                          std::to_string(image.NotKept()) + "\n");
    if (image.BroadcastWrites() > 0)
        Print(stderr, "quillon-cli: broadcast writes (applied to no node): " +
                          std::to_string(image.BroadcastWrites()) + "\n");
    Print(stdout, Lines(image, map, o.json));
    if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
        Print(stderr, "quillon-cli: cannot write the output\n");
        return kExitFailed;
    }
    return kExitDone;
}

} // namespace quillon::cli
