#include <algorithm>
#include <gtest/gtest.h>

#include "portsetup/port_probe.h"
#include "support/scripted_devices.h"

namespace quillon::test {
namespace {

using Names = std::vector<std::string>;

Names ComPorts()
{
    Names names;
    for (int n = 1; n <= kComPortCount; ++n)
        names.push_back("COM" + std::to_string(n));
    return names;
}

TEST(PortProbe, ListsOnlyPresentPortsAndPreselectsTheStoredOne)
{
    struct Row
    {
        const char* situation;
        Names candidates;
        std::set<std::string> present;
        const char* stored;
        Names listed;
        int selection;
    };
    const Names linuxCandidates = CandidatePortNames(Names{"ttyUSB0", "ttyS1", "ttyS0"}, "ttyS0");
    const std::vector<Row> rows{
        {"stored port absent", ComPorts(), {"COM3", "COM5"}, "COM1", {"COM3", "COM5"}, 0},
        {"stored port present",
         ComPorts(),
         {"COM2", "COM5", "COM7"},
         "COM5",
         {"COM2", "COM5", "COM7"},
         1},
        {"lower case does not match",
         ComPorts(),
         {"COM2", "COM5", "COM7"},
         "com5",
         {"COM2", "COM5", "COM7"},
         0},
        {"nothing present", ComPorts(), {}, "COM1", {}, -1},
        {"linux names", linuxCandidates, {"ttyS1", "ttyUSB0"}, "ttyS0", {"ttyS1", "ttyUSB0"}, 0},
        {"linux stored virtual port",
         CandidatePortNames(Names{"ttyS0", "ttyUSB0"}, "pts/3"),
         {"pts/3", "ttyUSB0"},
         "pts/3",
         {"pts/3", "ttyUSB0"},
         0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.situation);
        ScriptedDeviceLayer devices;
        devices.present = row.present;

        const Names present = ProbePorts(devices, row.candidates);
        const PortSetupChoices choices =
            PreparePortSetup(PortSetupTexts{row.stored, "", "", ""}, present);

        EXPECT_EQ(choices.port.items, row.listed);
        EXPECT_EQ(choices.port.selection, row.selection);
        // Every candidate was tried once and each present one released before the next try.
        Names expected;
        for (const std::string& name : row.candidates) {
            expected.push_back("open " + name);
            if (row.present.count(name) != 0)
                expected.push_back("close " + name);
        }
        EXPECT_EQ(devices.journal, expected);
        EXPECT_EQ(devices.openDevices, 0);
    }
}

TEST(PortProbe, OffersStorableNamesInNaturalOrder)
{
    struct Row
    {
        Names reported;
        const char* stored;
        Names candidates;
    };
    const std::vector<Row> rows{
        {{"ttyS10", "ttyUSB0", "ttyS2", "ttyACM0", "ttyS1"},
         "",
         {"ttyACM0", "ttyS1", "ttyS2", "ttyS10", "ttyUSB0"}},
        {{"ttyUSB10", "ttyUSB9"}, "pts/3", {"pts/3", "ttyUSB9", "ttyUSB10"}},
        {{"ttyS0", "ttyS1"}, "ttyS1", {"ttyS0", "ttyS1"}},
        // Ten characters cannot be stored in a setting.
        {{"ttyUSB1234", "ttyUSB123"}, "ttyXRUSB10", {"ttyUSB123"}},
        {{}, "COM1", {"COM1"}},
        {{}, "", {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.stored);
        EXPECT_EQ(CandidatePortNames(row.reported, row.stored), row.candidates);
    }

    EXPECT_TRUE(NaturalLess("ttyS2", "ttyS10"));
    EXPECT_FALSE(NaturalLess("ttyS10", "ttyS2"));
    EXPECT_TRUE(NaturalLess("ttyS1", "ttyS01"));
    EXPECT_TRUE(NaturalLess("ttyS", "ttyS0"));
    EXPECT_FALSE(NaturalLess("ttyS0", "ttyS0"));
}

TEST(PortSetupExchange, LoadsByPrefixIgnoringCaseAndSavesTheSelectedText)
{
    struct Row
    {
        PortSetupTexts texts;
        PortSetupTexts selected; // what OK saves without the user touching anything
    };
    const std::vector<Row> rows{
        {{"COM1", "19", "EVEN", "1"}, {"COM1", "19200", "EVEN", "1"}},
        {{"COM1", "1", "ODD", "2"}, {"COM1", "115200", "ODD", "2"}},
        {{"COM1", "96", "even", "2"}, {"COM1", "9600", "EVEN", "2"}},
        {{"COM1", "5", "n", "1"}, {"COM1", "57600", "NONE", "1"}},
        {{"COM1", "38400", "o", "1"}, {"COM1", "38400", "ODD", "1"}},
        // Texts no item begins with, and empty texts, select nothing and save empty.
        {{"COM1", "1152000", "", "1.5"}, {"COM1", "", "", ""}},
        {{"COM1", "", "X", ""}, {"COM1", "", "", ""}},
        {{"COM1", "300", "NONE ", "3"}, {"COM1", "", "", ""}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.texts.baud + "/" + row.texts.parityWord + "/" + row.texts.stopBits);
        const PortSetupChoices choices = PreparePortSetup(row.texts, Names{"COM1"});
        EXPECT_EQ(SavePortSetup(choices), row.selected);
    }

    const PortSetupChoices choices = PreparePortSetup({"COM1", "19", "", ""}, Names{});
    EXPECT_EQ(choices.baud.items, (Names{"115200", "57600", "38400", "19200", "9600", "4800"}));
    EXPECT_EQ(choices.baud.selection, 3);
    EXPECT_EQ(choices.parity.items, (Names{"NONE", "ODD", "EVEN"}));
    EXPECT_EQ(choices.stopBits.items, (Names{"1", "2"}));
    EXPECT_EQ(SavedText(ComboChoice{{"a", "b"}, 2}), "");
    EXPECT_EQ(SavedText(ComboChoice{{"a", "b"}, -1}), "");
    EXPECT_EQ(SavedText(ComboChoice{{"a", "b"}, 1}), "b");
}

} // namespace
} // namespace quillon::test
