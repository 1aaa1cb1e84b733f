#include <gtest/gtest.h>
#include <map>
#include <string>

#include "formats/register_map.h"

namespace quillon {
namespace {

constexpr const char* kHeader = "node,table,address,name,type\n";

// Every refusal names the file, the line, the field and what was wrong, and yields no map.
TEST(RegisterMap, RefusesAMapWithAnErrorSayingWhere)
{
    const struct
    {
        std::string text;
        const char* error;
    } cases[] = {
        {"", "m.csv: the map holds no points"},
        {"# only a comment\n\n", "m.csv: the map holds no points"},
        {kHeader, "m.csv: the map holds no points"},
        {"node,table,address,name,type,colour\n",
         "m.csv:1:6: column \"colour\" is not a column of a register map"},
        {"node,table,address,name,type,Node\n", "m.csv:1:6: column \"node\" is named twice"},
        {"table,address,name,type\n", "m.csv:1: the header has no \"node\" column"},
        {"node,table,name,type\n",
         "m.csv:1: the header needs exactly one of the columns \"address\" (0-based), \"number\" "
         "(1-based) and \"reference\" (4xxxx style)"},
        {"node,table,address,number,name,type\n",
         "m.csv:1: the header needs exactly one of the columns \"address\" (0-based), \"number\" "
         "(1-based) and \"reference\" (4xxxx style)"},
        {"node,address,name,type\n", "m.csv:1: the header has no \"table\" column"},
        {std::string(kHeader) + "1,holding_register,0,a\n",
         "m.csv:2: the line has 4 fields, the header 5"},
        {std::string(kHeader) + "248,holding_register,0,a,uint16\n",
         "m.csv:2:1: node \"248\" is not a number from 0 to 247"},
        {std::string(kHeader) + "1,holding,0,a,uint16\n",
         "m.csv:2:2: table \"holding\" is none of coil, discrete_input, input_register, "
         "holding_register"},
        {std::string(kHeader) + "1,coil,65536,a,bool\n",
         "m.csv:2:3: address \"65536\" is not a number from 0 to 65535"},
        {std::string(kHeader) + "1,coil,0x10,a,bool\n",
         "m.csv:2:3: address \"0x10\" is not a number from 0 to 65535"},
        {"node,table,number,name,type\n1,coil,0,a,bool\n",
         "m.csv:2:3: number \"0\" is not a 1-based number from 1 to 65536"},
        {"node,reference,name,type\n1,2001,a,uint16\n",
         "m.csv:2:2: reference \"2001\" is not of the form 0xxxx, 1xxxx, 3xxxx or 4xxxx (5 or 6 "
         "digits)"},
        {"node,reference,name,type\n1,20001,a,uint16\n",
         "m.csv:2:2: reference \"20001\" is not of the form 0xxxx, 1xxxx, 3xxxx or 4xxxx (5 or 6 "
         "digits)"},
        {"node,reference,name,type\n1,40000,a,uint16\n",
         "m.csv:2:2: reference \"40000\" counts from 1: its digits after the first must be 1 to "
         "9999 (or 65536 with 6 digits)"},
        {"node,table,reference,name,type\n1,input_register,40001,a,uint16\n",
         "m.csv:2:3: reference \"40001\" is a holding_register, the table column says "
         "input_register"},
        {std::string(kHeader) + "1,coil,0,,bool\n", "m.csv:2:4: the point has no name"},
        {std::string(kHeader) + "1,coil,0,a,float16\n",
         "m.csv:2:5: type \"float16\" is none of uint16, int16, uint32, int32, float32, uint64, "
         "int64, float64, bool, string"},
        {"node,table,address,name,type,order\n1,input_register,0,a,float32,ABDC\n",
         "m.csv:2:6: order \"ABDC\" is none of ABCD, DCBA, CDAB, BADC"},
        {"node,table,address,name,type,scale\n1,input_register,0,a,int16,x2\n",
         "m.csv:2:6: scale \"x2\" is not a number"},
        {"node,table,address,name,type,offset\n1,input_register,0,a,int16,nan\n",
         "m.csv:2:6: offset \"nan\" is not a number"},
        {"node,table,address,name,type,length\n1,input_register,0,a,int16,4\n",
         "m.csv:2:6: only a string has a length"},
        {"node,table,address,name,type,length\n1,input_register,0,a,string,126\n",
         "m.csv:2:6: length \"126\" is not a register count from 1 to 125"},
        {std::string(kHeader) + "1,coil,0,a,uint16\n",
         "m.csv:2:3: a coil holds one bit: its type must be bool"},
        {std::string(kHeader) + "1,holding_register,65535,a,float32\n",
         "m.csv:2:3: the point runs past address 65535"},
        {std::string(kHeader) + "1,coil,0,a,bool\n1,coil,0,b,bool\n",
         "m.csv:3:3: another point of node 1 coil starts at address 0 (\"a\")"},
        // modpoll's rows.
        {"poll,coil,0,4,BE_BE\n", "m.csv:1:1: a poll row before any device row"},
        {"device,meter\n", "m.csv:1: a device row is device,NAME,ID"},
        {"device,meter,300\n", "m.csv:1:3: device id \"300\" is not a number from 0 to 247"},
        {"device,meter,1\nref,a,0,uint16,r\n", "m.csv:2:1: a ref row before any poll row"},
        {"device,meter,1\npoll,coil,0\n", "m.csv:2: a poll row is poll,TABLE,START,SIZE,ORDER"},
        {"device,meter,1\npoll,coil,0,0,BE_BE\n",
         "m.csv:2:4: size \"0\" is not a count from 1 that stays inside 65536 addresses"},
        {"device,meter,1\npoll,holding_register,0,4,BE\n",
         "m.csv:2:5: order \"BE\" is none of BE_BE, BE_LE, LE_LE, LE_BE"},
        {"device,meter,1\npoll,holding_register,0,4,BE_BE\nref,a,0\n",
         "m.csv:3: a ref row is ref,NAME,ADDRESS,TYPE,RW[,UNIT[,SCALE]]"},
        {"device,meter,1\npoll,holding_register,0,4,BE_BE\nref,a,0,uint16,x\n",
         "m.csv:3:5: rw \"x\" is none of r, w, rw"},
        {"device,meter,1\npoll,holding_register,0,4,BE_BE\nref,a,0,string0,r\n",
         "m.csv:3:4: type \"string0\" needs a length from 1 to 250 characters"},
        {"device,meter,1\npoll,holding_register,0,4,BE_BE\nref,a,3,float32,r\n",
         "m.csv:3:3: address 3 is outside its poll (0 to 3)"},
        {"device,meter,1\npoll,holding_register,0,4,BE_BE\nrow,a\n",
         "m.csv:3:1: \"row\" is none of the rows device, poll, ref"},
    };
    for (const auto& c : cases) {
        const MapRead read = ReadRegisterMapText(c.text, "m.csv");
        EXPECT_FALSE(read.map.has_value()) << c.text;
        EXPECT_EQ(read.error.Text(), c.error) << c.text;
    }
    EXPECT_EQ(ReadRegisterMapFile("/nonexistent/m.csv").error.Text(),
              "/nonexistent/m.csv: the file cannot be read");
}

// Both formats read to the same kind of points, and the points decode the raw values they span.
TEST(RegisterMap, ReadsBothFormatsAndDecodesTheirPoints)
{
    const std::string own = "# our own map\n"
                            "node,reference,name,type,order,scale,offset,unit,length\n"
                            "1,40001,voltage,float32,ABCD,,,V,\n"
                            "1,40003,energy,uint32,CDAB,0.1,,kWh,\n"
                            "1,30001,temperature,int16,,0.1,-40,degC,\n"
                            "1,00001,relay,bool,,,,,\n"
                            "1,400005,total,uint64,DCBA,,,Wh,\n"
                            "1,40009,serial,string,,,,,2\n"
                            "2,40001,big,float64,BADC,,,,\n";
    const std::string modpoll = "device,meter,3\n"
                                "poll,input_register,100,4,BE_LE\n"
                                "ref,power,100,int32,r,W,2\n"
                                "ref,state,102,bool16,r\n"
                                "ref,tag,103,string2,r\n";
    const MapRead ownRead = ReadRegisterMapText(own, "own.csv");
    const MapRead modpollRead = ReadRegisterMapText(modpoll, "modpoll.csv");
    ASSERT_TRUE(ownRead.map) << ownRead.error.Text();
    ASSERT_TRUE(modpollRead.map) << modpollRead.error.Text();

    std::map<std::tuple<int, RegisterTable, int>, std::uint16_t> raw{
        // 230.5 as float32 ABCD
        {{1, RegisterTable::HoldingRegister, 0}, 0x4366},
        {{1, RegisterTable::HoldingRegister, 1}, 0x8000},
        // 70000 = 0x00011170, words swapped
        {{1, RegisterTable::HoldingRegister, 2}, 0x1170},
        {{1, RegisterTable::HoldingRegister, 3}, 0x0001},
        {{1, RegisterTable::InputRegister, 0}, 0xFF38}, // -200 * 0.1 - 40
        {{1, RegisterTable::Coil, 0}, 1},
        // 0x0102030405060708 with every byte reversed
        {{1, RegisterTable::HoldingRegister, 4}, 0x0807},
        {{1, RegisterTable::HoldingRegister, 5}, 0x0605},
        {{1, RegisterTable::HoldingRegister, 6}, 0x0403},
        {{1, RegisterTable::HoldingRegister, 7}, 0x0201},
        {{1, RegisterTable::HoldingRegister, 8}, 0x4142}, // "AB"
        {{1, RegisterTable::HoldingRegister, 9}, 0x2200}, // '"', then padding
        // -2 as int32, words swapped, scaled by 2
        {{3, RegisterTable::InputRegister, 100}, 0xFFFE},
        {{3, RegisterTable::InputRegister, 101}, 0xFFFF},
        {{3, RegisterTable::InputRegister, 102}, 0},
        {{3, RegisterTable::InputRegister, 103}, 0x4F4B},
    };
    const RawLookup lookup = [&raw](const RegisterKey& key) -> std::optional<std::uint16_t> {
        const auto found = raw.find({key.node, key.table, key.address});
        return found != raw.end() ? std::optional<std::uint16_t>(found->second) : std::nullopt;
    };
    const struct
    {
        const RegisterMap& map;
        RegisterKey key;
        const char* name;
        const char* text; // nullptr: not all its registers are known
        const char* json;
    } cases[] = {
        {*ownRead.map, {1, RegisterTable::HoldingRegister, 0}, "voltage", "230.5", "230.5"},
        {*ownRead.map, {1, RegisterTable::HoldingRegister, 2}, "energy", "7000", "7000"},
        {*ownRead.map, {1, RegisterTable::InputRegister, 0}, "temperature", "-60", "-60"},
        {*ownRead.map, {1, RegisterTable::Coil, 0}, "relay", "1", "true"},
        {*ownRead.map,
         {1, RegisterTable::HoldingRegister, 4},
         "total",
         "72623859790382856",
         "72623859790382856"},
        {*ownRead.map, {1, RegisterTable::HoldingRegister, 8}, "serial", "AB\"", "\"AB\\\"\""},
        {*ownRead.map, {2, RegisterTable::HoldingRegister, 0}, "big", nullptr, nullptr},
        {*modpollRead.map, {3, RegisterTable::InputRegister, 100}, "power", "-4", "-4"},
        {*modpollRead.map, {3, RegisterTable::InputRegister, 102}, "state", "0", "false"},
        {*modpollRead.map, {3, RegisterTable::InputRegister, 103}, "tag", "OK", "\"OK\""},
    };
    for (const auto& c : cases) {
        const MapPoint* point = c.map.StartingAt(c.key);
        ASSERT_NE(point, nullptr) << c.name;
        EXPECT_EQ(point->name, c.name);
        const auto reading = ReadPoint(*point, lookup);
        EXPECT_EQ(reading.has_value(), c.text != nullptr) << c.name;
        if (reading && c.text) {
            EXPECT_EQ(reading->text, c.text) << c.name;
            EXPECT_EQ(reading->json, c.json) << c.name;
        }
    }
    EXPECT_EQ(ownRead.map->Points().size(), 7u);
    EXPECT_EQ(ownRead.map->StartingAt({1, RegisterTable::HoldingRegister, 1}), nullptr);
}

} // namespace
} // namespace quillon
