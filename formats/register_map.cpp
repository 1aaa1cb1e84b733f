#include "formats/register_map.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "io/utf8_path.h"

namespace quillon {

namespace {

struct TypeRow
{
    PointType type;
    const char* name;
    std::uint16_t registers;
};
constexpr std::array<TypeRow, 10> kTypes{{
    {PointType::Uint16, "uint16", 1},
    {PointType::Int16, "int16", 1},
    {PointType::Uint32, "uint32", 2},
    {PointType::Int32, "int32", 2},
    {PointType::Float32, "float32", 2},
    {PointType::Uint64, "uint64", 4},
    {PointType::Int64, "int64", 4},
    {PointType::Float64, "float64", 4},
    {PointType::Bool, "bool", 1},
    {PointType::String, "string", 1},
}};

// The byte orders by the letters of a 32-bit value's bytes as they come on the line.
constexpr std::array<std::pair<std::string_view, FloatOrder>, 4> kOrders{{
    {"ABCD", FloatOrder::BigEndian},
    {"DCBA", FloatOrder::LittleEndian},
    {"CDAB", FloatOrder::BigEndianWordSwap},
    {"BADC", FloatOrder::LittleEndianWordSwap},
}};
// modpoll names them byte order, then word order.
constexpr std::array<std::pair<std::string_view, FloatOrder>, 4> kModpollOrders{{
    {"BE_BE", FloatOrder::BigEndian},
    {"LE_LE", FloatOrder::LittleEndian},
    {"BE_LE", FloatOrder::BigEndianWordSwap},
    {"LE_BE", FloatOrder::LittleEndianWordSwap},
}};

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

std::vector<std::string_view> Fields(std::string_view line)
{
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = line.find(',', start);
        fields.push_back(Trim(line.substr(start, comma - start)));
        if (comma == std::string_view::npos)
            return fields;
        start = comma + 1;
    }
}

std::string Lower(std::string_view text)
{
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(), [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    });
    return lower;
}

template <typename T> std::optional<T> Number(std::string_view text)
{
    T value{};
    const char* end = text.data() + text.size();
    const auto [at, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc() || at != end || text.empty())
        return std::nullopt;
    return value;
}

std::optional<double> Real(std::string_view text)
{
    // from_chars for doubles is there in GCC 12's library.
    return Number<double>(text);
}

// Reads one map text line by line, keeping where it is for its errors.
class MapReader
{
public:
    MapReader(std::string_view text, const std::string& file) : m_text(text), m_file(file) {}

    MapRead Read()
    {
        std::vector<std::string_view> fields;
        while (NextLine(fields)) {
            if (fields.front() == "device" || fields.front() == "poll" || fields.front() == "ref")
                return Done(ReadModpoll(fields));
            return Done(ReadOwn(fields));
        }
        return Fail(0, 0, "the map holds no points");
    }

private:
    // The next line that is neither blank nor a comment, cut into fields.
    bool NextLine(std::vector<std::string_view>& fields)
    {
        while (m_at < m_text.size()) {
            const std::size_t end = std::min(m_text.find('\n', m_at), m_text.size());
            const std::string_view line = Trim(m_text.substr(m_at, end - m_at));
            m_at = end + 1;
            ++m_line;
            if (line.empty() || line.front() == '#')
                continue;
            fields = Fields(line);
            return true;
        }
        return false;
    }

    bool Error(int column, std::string what)
    {
        if (!m_failed) {
            m_error = MapError{m_file, m_line, column, std::move(what)};
            m_failed = true;
        }
        return false;
    }
    MapRead Fail(int line, int column, std::string what)
    {
        MapRead read;
        read.error = MapError{m_file, line, column, std::move(what)};
        return read;
    }
    MapRead Done(bool ok)
    {
        MapRead read;
        if (!ok) {
            read.error = m_error;
            return read;
        }
        if (m_points.empty())
            return Fail(0, 0, "the map holds no points");
        read.map = RegisterMap(std::move(m_points));
        return read;
    }

    bool Node(std::string_view text, int column, std::uint8_t& node)
    {
        const auto value = Number<unsigned>(text);
        if (!value || *value > 247)
            return Error(column,
                         "node \"" + std::string(text) + "\" is not a number from 0 to 247");
        node = static_cast<std::uint8_t>(*value);
        return true;
    }
    bool Table(std::string_view text, int column, RegisterTable& table)
    {
        const auto named = RegisterTableNamed(Lower(text));
        if (!named)
            return Error(column, "table \"" + std::string(text) +
                                     "\" is none of coil, discrete_input, input_register, "
                                     "holding_register");
        table = *named;
        return true;
    }
    bool Address(std::string_view text, int column, std::uint16_t& address)
    {
        const auto value = Number<unsigned>(text);
        if (!value || *value > 65535)
            return Error(column,
                         "address \"" + std::string(text) + "\" is not a number from 0 to 65535");
        address = static_cast<std::uint16_t>(*value);
        return true;
    }
    bool Type(std::string_view text, int column, MapPoint& point, bool modpoll)
    {
        std::string name = Lower(text);
        if (modpoll && (name == "bool8" || name == "bool16"))
            name = "bool";
        if (modpoll && name.size() > 6 && name.starts_with("string")) {
            // modpoll's stringNN: NN characters, two to a register.
            const auto characters = Number<unsigned>(std::string_view(name).substr(6));
            if (!characters || *characters == 0 || *characters > 250)
                return Error(column, "type \"" + std::string(text) +
                                         "\" needs a length from 1 to 250 characters");
            point.type = PointType::String;
            point.registers = static_cast<std::uint16_t>((*characters + 1) / 2);
            return true;
        }
        if (modpoll && name.empty())
            name = "uint16";
        for (const TypeRow& row : kTypes) {
            if (name == row.name) {
                point.type = row.type;
                point.registers = row.registers;
                return true;
            }
        }
        return Error(column, "type \"" + std::string(text) +
                                 "\" is none of uint16, int16, uint32, int32, float32, uint64, "
                                 "int64, float64, bool, string");
    }
    bool Scale(std::string_view text, int column, double& scale, const char* what)
    {
        const auto value = Real(text);
        if (!value || !std::isfinite(*value))
            return Error(column,
                         std::string(what) + " \"" + std::string(text) + "\" is not a number");
        scale = *value;
        return true;
    }
    // Bits hold only bools; a point must end inside the address space.
    bool Fits(const MapPoint& point, int column)
    {
        if (IsBitTable(point.table) && point.type != PointType::Bool)
            return Error(column, std::string("a ") + RegisterTableName(point.table) +
                                     " holds one bit: its type must be bool");
        if (std::uint32_t{point.address} + point.registers > 65536U)
            return Error(column, "the point runs past address 65535");
        return true;
    }
    bool Add(MapPoint point, int column)
    {
        for (const MapPoint& other : m_points) {
            if (other.node == point.node && other.table == point.table &&
                other.address == point.address)
                return Error(column, "another point of node " + std::to_string(point.node) + " " +
                                         RegisterTableName(point.table) + " starts at address " +
                                         std::to_string(point.address) + " (\"" + other.name +
                                         "\")");
        }
        m_points.push_back(std::move(point));
        return true;
    }

    bool ReadOwn(const std::vector<std::string_view>& header)
    {
        enum Column
        {
            kNode,
            kTable,
            kAddress,
            kNumber,
            kReference,
            kName,
            kType,
            kOrder,
            kScale,
            kOffset,
            kUnit,
            kLength,
            kColumns
        };
        constexpr std::array<const char*, kColumns> kNames{
            "node", "table", "address", "number", "reference", "name",
            "type", "order", "scale",   "offset", "unit",      "length"};
        std::array<int, kColumns> at{};
        at.fill(-1);
        for (std::size_t i = 0; i < header.size(); ++i) {
            const std::string name = Lower(header[i]);
            const auto known = std::find(kNames.begin(), kNames.end(), name);
            const int column = static_cast<int>(i) + 1;
            if (known == kNames.end())
                return Error(column, "column \"" + std::string(header[i]) +
                                         "\" is not a column of a register map");
            int& slot = at[static_cast<std::size_t>(known - kNames.begin())];
            if (slot >= 0)
                return Error(column, "column \"" + name + "\" is named twice");
            slot = static_cast<int>(i);
        }
        for (const Column needed : {kNode, kName, kType}) {
            if (at[needed] < 0)
                return Error(0, std::string("the header has no \"") + kNames[needed] + "\" column");
        }
        const int addressColumns = (at[kAddress] >= 0 ? 1 : 0) + (at[kNumber] >= 0 ? 1 : 0) +
                                   (at[kReference] >= 0 ? 1 : 0);
        if (addressColumns != 1)
            return Error(0, "the header needs exactly one of the columns \"address\" (0-based), "
                            "\"number\" (1-based) and \"reference\" (4xxxx style)");
        if (at[kTable] < 0 && at[kReference] < 0)
            return Error(0, "the header has no \"table\" column");

        std::vector<std::string_view> fields;
        while (NextLine(fields)) {
            if (fields.size() != header.size())
                return Error(0, "the line has " + std::to_string(fields.size()) +
                                    " fields, the header " + std::to_string(header.size()));
            const auto field = [&](Column c) {
                return at[c] >= 0 ? fields[static_cast<std::size_t>(at[c])] : std::string_view();
            };
            const auto column = [&](Column c) { return at[c] + 1; };
            MapPoint point;
            if (!Node(field(kNode), column(kNode), point.node))
                return false;
            const bool tableGiven = at[kTable] >= 0 && !field(kTable).empty();
            if ((at[kReference] < 0 || tableGiven) &&
                !Table(field(kTable), column(kTable), point.table))
                return false;
            if (at[kAddress] >= 0 && !Address(field(kAddress), column(kAddress), point.address))
                return false;
            if (at[kNumber] >= 0) {
                const auto number = Number<unsigned>(field(kNumber));
                if (!number || *number < 1 || *number > 65536)
                    return Error(column(kNumber), "number \"" + std::string(field(kNumber)) +
                                                      "\" is not a 1-based number from 1 to 65536");
                point.address = static_cast<std::uint16_t>(*number - 1);
            }
            if (at[kReference] >= 0 &&
                !Reference(field(kReference), column(kReference), tableGiven, point))
                return false;
            if (field(kName).empty())
                return Error(column(kName), "the point has no name");
            point.name = std::string(field(kName));
            if (!Type(field(kType), column(kType), point, false))
                return false;
            if (!field(kOrder).empty()) {
                const std::string order = [&] {
                    std::string upper(field(kOrder));
                    for (char& c : upper)
                        c = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
                    return upper;
                }();
                const auto known =
                    std::find_if(kOrders.begin(), kOrders.end(),
                                 [&](const auto& row) { return row.first == order; });
                if (known == kOrders.end())
                    return Error(column(kOrder), "order \"" + std::string(field(kOrder)) +
                                                     "\" is none of ABCD, DCBA, CDAB, BADC");
                point.order = known->second;
            }
            if (!field(kScale).empty() &&
                !Scale(field(kScale), column(kScale), point.scale, "scale"))
                return false;
            if (!field(kOffset).empty() &&
                !Scale(field(kOffset), column(kOffset), point.offset, "offset"))
                return false;
            point.unit = std::string(field(kUnit));
            if (!field(kLength).empty()) {
                const auto length = Number<unsigned>(field(kLength));
                if (point.type != PointType::String)
                    return Error(column(kLength), "only a string has a length");
                if (!length || *length == 0 || *length > 125)
                    return Error(column(kLength), "length \"" + std::string(field(kLength)) +
                                                      "\" is not a register count from 1 to 125");
                point.registers = static_cast<std::uint16_t>(*length);
            }
            const int where = at[kAddress] >= 0  ? column(kAddress)
                              : at[kNumber] >= 0 ? column(kNumber)
                                                 : column(kReference);
            if (!Fits(point, where) || !Add(std::move(point), where))
                return false;
        }
        return true;
    }

    // 0xxxx coils, 1xxxx discrete inputs, 3xxxx input registers, 4xxxx holding registers; five
    // digits count to 9999, six to 65536, both 1-based.
    bool Reference(std::string_view text, int column, bool tableGiven, MapPoint& point)
    {
        const auto value = Number<unsigned>(text);
        const bool digits = value && (text.size() == 5 || text.size() == 6);
        const char kind = digits ? text.front() : 'x';
        const auto number = digits ? Number<unsigned>(text.substr(1)) : std::nullopt;
        RegisterTable table = RegisterTable::HoldingRegister;
        switch (kind) {
        case '0':
            table = RegisterTable::Coil;
            break;
        case '1':
            table = RegisterTable::DiscreteInput;
            break;
        case '3':
            table = RegisterTable::InputRegister;
            break;
        case '4':
            table = RegisterTable::HoldingRegister;
            break;
        default:
            return Error(column, "reference \"" + std::string(text) +
                                     "\" is not of the form 0xxxx, 1xxxx, 3xxxx or 4xxxx "
                                     "(5 or 6 digits)");
        }
        if (!number || *number < 1 || *number > 65536)
            return Error(column, "reference \"" + std::string(text) +
                                     "\" counts from 1: its digits after the first must be 1 to "
                                     "9999 (or 65536 with 6 digits)");
        if (tableGiven && table != point.table)
            return Error(column, "reference \"" + std::string(text) + "\" is a " +
                                     RegisterTableName(table) + ", the table column says " +
                                     RegisterTableName(point.table));
        point.table = table;
        point.address = static_cast<std::uint16_t>(*number - 1);
        return true;
    }

    bool ReadModpoll(std::vector<std::string_view> fields)
    {
        bool haveDevice = false;
        bool havePoll = false;
        std::uint8_t node = 0;
        RegisterTable table = RegisterTable::HoldingRegister;
        std::uint32_t start = 0;
        std::uint32_t end = 0;
        FloatOrder order = FloatOrder::BigEndian;
        do {
            const std::string kind = Lower(fields.front());
            if (kind == "device") {
                if (fields.size() != 3)
                    return Error(0, "a device row is device,NAME,ID");
                unsigned id = 0;
                if (const auto value = Number<unsigned>(fields[2]); value && *value <= 247)
                    id = *value;
                else
                    return Error(3, "device id \"" + std::string(fields[2]) +
                                        "\" is not a number from 0 to 247");
                node = static_cast<std::uint8_t>(id);
                haveDevice = true;
                havePoll = false;
            } else if (kind == "poll") {
                if (!haveDevice)
                    return Error(1, "a poll row before any device row");
                if (fields.size() != 5)
                    return Error(0, "a poll row is poll,TABLE,START,SIZE,ORDER");
                std::uint16_t first = 0;
                if (!Table(fields[1], 2, table) || !Address(fields[2], 3, first))
                    return false;
                const auto size = Number<unsigned>(fields[3]);
                if (!size || *size == 0 || first + *size > 65536U)
                    return Error(4, "size \"" + std::string(fields[3]) +
                                        "\" is not a count from 1 that stays inside 65536 "
                                        "addresses");
                const std::string upper = [&] {
                    std::string u(fields[4]);
                    for (char& c : u)
                        c = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
                    return u;
                }();
                const auto known =
                    std::find_if(kModpollOrders.begin(), kModpollOrders.end(),
                                 [&](const auto& row) { return row.first == upper; });
                if (known == kModpollOrders.end())
                    return Error(5, "order \"" + std::string(fields[4]) +
                                        "\" is none of BE_BE, BE_LE, LE_LE, LE_BE");
                order = known->second;
                start = first;
                end = first + *size;
                havePoll = true;
            } else if (kind == "ref") {
                if (!havePoll)
                    return Error(1, "a ref row before any poll row");
                if (fields.size() < 5 || fields.size() > 7)
                    return Error(0, "a ref row is ref,NAME,ADDRESS,TYPE,RW[,UNIT[,SCALE]]");
                MapPoint point;
                point.node = node;
                point.table = table;
                point.order = order;
                if (fields[1].empty())
                    return Error(2, "the point has no name");
                point.name = std::string(fields[1]);
                if (!Address(fields[2], 3, point.address) || !Type(fields[3], 4, point, true))
                    return false;
                const std::string rw = Lower(fields[4]);
                if (rw != "r" && rw != "w" && rw != "rw")
                    return Error(5, "rw \"" + std::string(fields[4]) + "\" is none of r, w, rw");
                if (fields.size() > 5)
                    point.unit = std::string(fields[5]);
                if (fields.size() > 6 && !fields[6].empty() &&
                    !Scale(fields[6], 7, point.scale, "scale"))
                    return false;
                if (point.address < start || point.address + std::uint32_t{point.registers} > end)
                    return Error(3, "address " + std::to_string(point.address) +
                                        " is outside its poll (" + std::to_string(start) + " to " +
                                        std::to_string(end - 1) + ")");
                if (!Fits(point, 4) || !Add(std::move(point), 3))
                    return false;
            } else {
                return Error(1, "\"" + std::string(fields.front()) +
                                    "\" is none of the rows device, poll, ref");
            }
        } while (NextLine(fields));
        return true;
    }

    std::string_view m_text;
    const std::string& m_file;
    std::size_t m_at = 0;
    int m_line = 0;
    bool m_failed = false;
    MapError m_error;
    std::vector<MapPoint> m_points;
};

// Registers of a point as 16-bit words in the order the line carries them.
std::optional<std::vector<std::uint16_t>> Words(const MapPoint& point, const RawLookup& raw)
{
    std::vector<std::uint16_t> words;
    words.reserve(point.registers);
    for (std::uint32_t i = 0; i < point.registers; ++i) {
        const auto value = raw(
            RegisterKey{point.node, point.table, static_cast<std::uint16_t>(point.address + i)});
        if (!value)
            return std::nullopt;
        words.push_back(*value);
    }
    return words;
}

// The words of a 32- or 64-bit value arranged by the point's order into one number.
std::uint64_t Arrange(std::vector<std::uint16_t> words, FloatOrder order)
{
    const auto bits = static_cast<unsigned>(order);
    // Bit 0 reverses every byte: the register order and the bytes inside each.
    if ((bits & 1U) != 0) {
        std::reverse(words.begin(), words.end());
        for (std::uint16_t& word : words)
            word = static_cast<std::uint16_t>((word >> 8) | (word << 8));
    }
    // Bit 1 then reverses the order of the registers.
    if ((bits & 2U) != 0)
        std::reverse(words.begin(), words.end());
    std::uint64_t value = 0;
    for (const std::uint16_t word : words)
        value = (value << 16) | word;
    return value;
}

std::string NumberText(double value)
{
    std::array<char, 64> text{};
    std::snprintf(text.data(), text.size(), "%.10g", value);
    return text.data();
}

} // namespace

const char* PointTypeName(PointType type)
{
    return kTypes[static_cast<std::size_t>(type)].name;
}

std::string MapError::Text() const
{
    std::string text = file;
    if (line > 0)
        text += ":" + std::to_string(line);
    if (line > 0 && column > 0)
        text += ":" + std::to_string(column);
    return text + ": " + what;
}

RegisterMap::RegisterMap(std::vector<MapPoint> points) : m_points(std::move(points))
{
    std::sort(m_points.begin(), m_points.end(), [](const MapPoint& a, const MapPoint& b) {
        return std::tie(a.node, a.table, a.address) < std::tie(b.node, b.table, b.address);
    });
}

const MapPoint* RegisterMap::StartingAt(const RegisterKey& key) const
{
    const auto at = std::lower_bound(m_points.begin(), m_points.end(), key,
                                     [](const MapPoint& point, const RegisterKey& k) {
                                         return std::tie(point.node, point.table, point.address) <
                                                std::tie(k.node, k.table, k.address);
                                     });
    if (at == m_points.end() || at->node != key.node || at->table != key.table ||
        at->address != key.address)
        return nullptr;
    return &*at;
}

MapRead ReadRegisterMapText(std::string_view text, const std::string& file)
{
    return MapReader(text, file).Read();
}

MapRead ReadRegisterMapFile(const std::string& path)
{
    std::ifstream in(Utf8Path(path), std::ios::binary);
    std::ostringstream text;
    if (in)
        text << in.rdbuf();
    if (!in || in.bad()) {
        MapRead read;
        read.error = MapError{path, 0, 0, "the file cannot be read"};
        return read;
    }
    return ReadRegisterMapText(text.str(), path);
}

namespace {

// A number point's value, scaled and offset; a bool reads 0 or 1.
double ScaledValue(const MapPoint& point, const std::vector<std::uint16_t>& words)
{
    const std::uint64_t bits = Arrange(words, point.order);
    double value = 0;
    switch (point.type) {
    case PointType::Uint16:
        value = static_cast<double>(words.front());
        break;
    case PointType::Int16:
        value = static_cast<double>(static_cast<std::int16_t>(words.front()));
        break;
    case PointType::Uint32:
        value = static_cast<double>(static_cast<std::uint32_t>(bits));
        break;
    case PointType::Int32:
        value = static_cast<double>(static_cast<std::int32_t>(static_cast<std::uint32_t>(bits)));
        break;
    case PointType::Float32:
        value = static_cast<double>(std::bit_cast<float>(static_cast<std::uint32_t>(bits)));
        break;
    case PointType::Uint64:
        value = static_cast<double>(bits);
        break;
    case PointType::Int64:
        value = static_cast<double>(static_cast<std::int64_t>(bits));
        break;
    case PointType::Float64:
        value = std::bit_cast<double>(bits);
        break;
    case PointType::Bool:
        return words.front() != 0 ? 1 : 0;
    case PointType::String:
        break;
    }
    return value * point.scale + point.offset;
}

} // namespace

std::optional<double> PointNumber(const MapPoint& point, const RawLookup& raw)
{
    if (point.type == PointType::String)
        return std::nullopt;
    const auto words = Words(point, raw);
    if (!words)
        return std::nullopt;
    return ScaledValue(point, *words);
}

std::optional<PointReading> ReadPoint(const MapPoint& point, const RawLookup& raw)
{
    const auto words = Words(point, raw);
    if (!words)
        return std::nullopt;
    if (point.type == PointType::String) {
        std::string characters;
        for (const std::uint16_t word : *words) {
            for (const auto c : {static_cast<char>(word >> 8), static_cast<char>(word & 0xFF)}) {
                if (c != '\0')
                    characters += c >= ' ' && c <= '~' ? c : '?';
            }
        }
        std::string json = "\"";
        for (const char c : characters)
            json += c == '"' || c == '\\' ? std::string("\\") + c : std::string(1, c);
        return PointReading{characters, json + "\""};
    }
    if (point.type == PointType::Bool) {
        const bool on = words->front() != 0;
        return PointReading{on ? "1" : "0", on ? "true" : "false"};
    }
    const std::uint64_t bits = Arrange(*words, point.order);
    // Whole numbers unscaled are shown exactly, 64-bit ones too.
    if (point.scale == 1 && point.offset == 0) {
        std::string exact;
        switch (point.type) {
        case PointType::Uint32:
        case PointType::Uint64:
            exact = std::to_string(
                point.type == PointType::Uint32 ? static_cast<std::uint32_t>(bits) : bits);
            break;
        case PointType::Int32:
            exact = std::to_string(static_cast<std::int32_t>(static_cast<std::uint32_t>(bits)));
            break;
        case PointType::Int64:
            exact = std::to_string(static_cast<std::int64_t>(bits));
            break;
        default:
            break;
        }
        if (!exact.empty())
            return PointReading{exact, exact};
    }
    const double value = ScaledValue(point, *words);
    const std::string text = NumberText(value);
    // JSON has no NaN or infinity.
    return PointReading{text, std::isfinite(value) ? text : std::string("null")};
}

std::vector<PointGauge> MapGauges(const RegisterMap& map, const RegisterImage& image)
{
    const RawLookup raw = [&image](const RegisterKey& key) -> std::optional<std::uint16_t> {
        const RegisterValue* value = image.Find(key);
        return value ? std::optional<std::uint16_t>(value->raw) : std::nullopt;
    };
    std::vector<PointGauge> gauges;
    for (const MapPoint& point : map.Points()) {
        if (const auto value = PointNumber(point, raw))
            gauges.push_back(
                {point.node, point.table, point.address, point.name, point.unit, *value});
    }
    return gauges;
}

} // namespace quillon
