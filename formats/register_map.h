#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/line_metrics.h"
#include "analysis/register_image.h"
#include "decode/float_order.h"

namespace quillon {

// How a map point's registers (or bit) read as a value.
enum class PointType : std::uint8_t
{
    Uint16,
    Int16,
    Uint32,
    Int32,
    Float32,
    Uint64,
    Int64,
    Float64,
    Bool,
    String,
};

// "uint16", "int16", ..., "bool", "string".
[[nodiscard]] const char* PointTypeName(PointType type);

// A named point of a device: where it starts, how it reads and what it measures.
struct MapPoint
{
    std::uint8_t node = 0;
    RegisterTable table = RegisterTable::HoldingRegister;
    std::uint16_t address = 0; // 0-based protocol address of its first register or bit
    std::string name;
    PointType type = PointType::Uint16;
    // The byte order of 32- and 64-bit values, as the Detail list names them; wider values keep
    // the same rule: bit 0 reverses every byte, bit 1 reverses the order of the registers.
    FloatOrder order = FloatOrder::BigEndian;
    double scale = 1;
    double offset = 0;
    std::string unit;
    std::uint16_t registers = 1; // how many registers (or bits) the point spans
};

// Where a map was refused: "FILE:LINE:COLUMN: what was wrong".
struct MapError
{
    std::string file;
    int line = 0;   // 1-based; 0: the file as a whole
    int column = 0; // 1-based field number on the line; 0: the line as a whole
    std::string what;

    [[nodiscard]] std::string Text() const;
};

// The named points of a register map, found by where they start.
class RegisterMap
{
public:
    RegisterMap() = default;
    explicit RegisterMap(std::vector<MapPoint> points);

    [[nodiscard]] bool Empty() const { return m_points.empty(); }
    [[nodiscard]] const std::vector<MapPoint>& Points() const { return m_points; }
    // The point that starts at `key`, if one does.
    [[nodiscard]] const MapPoint* StartingAt(const RegisterKey& key) const;

private:
    std::vector<MapPoint> m_points; // ordered by node, table, address
};

// A map read from a file: the map, or the first error, never both.
struct MapRead
{
    std::optional<RegisterMap> map;
    MapError error;
};

// Reads a register map text of either format, told apart by its first line that is neither blank
// nor a '#' comment: our flat CSV starts with its header row ("node,table,address,..."), modpoll's
// with a `device` row. `file` names it in errors.
//
// Our CSV: the header names the columns, in any order: node, table, name and type are needed;
// the first register is given by exactly one of `address` (the 0-based protocol address, as on
// the line), `number` (1-based: the protocol address plus one, as many device manuals count) or
// `reference` (the 5- or 6-digit 0xxxx/1xxxx/3xxxx/4xxxx style, whose first digit names the table
// and whose rest is 1-based; a table column, if given, must agree). Optional: order (ABCD, DCBA,
// CDAB, BADC), scale, offset, unit, length (registers of a string).
// modpoll's CSV: `device,NAME,ID`, `poll,TABLE,START,SIZE,ORDER` and
// `ref,NAME,ADDRESS,TYPE,RW[,UNIT[,SCALE]]` rows; its addresses are 0-based protocol addresses and
// every ref must lie inside its poll's range.
[[nodiscard]] MapRead ReadRegisterMapText(std::string_view text, const std::string& file);
// Reads the file; an unreadable file is an error at line 0.
[[nodiscard]] MapRead ReadRegisterMapFile(const std::string& path);

// The raw value at a point of the image, if it holds one.
using RawLookup = std::function<std::optional<std::uint16_t>(const RegisterKey&)>;

// A point's value as text ("21.5", "-3", "1" for a bool, the characters of a string) and as a
// JSON value (a number, true or false, or a string).
struct PointReading
{
    std::string text;
    std::string json;
};

// The point's value from the raw values it spans, scaled and offset; nullopt when one of its
// registers is not known.
[[nodiscard]] std::optional<PointReading> ReadPoint(const MapPoint& point, const RawLookup& raw);
// The same value as a number (a bool is 0 or 1); nullopt for a string point or one not known.
[[nodiscard]] std::optional<double> PointNumber(const MapPoint& point, const RawLookup& raw);
// The number points of the map whose every register the image holds, with their values.
[[nodiscard]] std::vector<PointGauge> MapGauges(const RegisterMap& map, const RegisterImage& image);

} // namespace quillon
