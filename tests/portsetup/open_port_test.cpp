#include <gtest/gtest.h>

#include "portsetup/line_search.h"
#include "portsetup/mode_string.h"
#include "portsetup/open_port.h"
#include "support/scripted_devices.h"

namespace quillon::test {
namespace {

using Journal = std::vector<std::string>;
using FailAt = ScriptedDeviceLayer::FailAt;

const Journal kFullOpenCom3{"open COM3", "queues 1000 1000", "read-state", "write-state",
                            "timeouts"};

PortSettings Settings(std::string port,
                      std::string baud,
                      std::string parity,
                      std::string dataLength,
                      std::string stopBits)
{
    return PortSettings{std::move(port), std::move(baud), std::move(parity), std::move(dataLength),
                        std::move(stopBits)};
}

TEST(OpenPort, FollowsEveryRowOfTheFailureTable)
{
    struct Row
    {
        const char* situation;
        bool pressOk;
        std::vector<std::string> listed; // ports the dialog's probe found
        std::set<std::string> openable;  // ports the device layer opens
        FailAt failAt;
        std::function<void(PortSetupChoices&)> user;
        bool opened;
        PortSettings after;
        Journal journal;
    };
    const PortSettings userChoice = Settings("COM3", "19200", "E", "8", "1");
    const std::vector<Row> rows{
        {"cancel after changing every control",
         false,
         {"COM3"},
         {"COM3"},
         FailAt::Nothing,
         PickCom3At19200Even,
         false,
         Settings("COM1", "115200", "N", "8", "2"),
         {}},
        {"no port present, OK",
         true,
         {},
         {},
         FailAt::Nothing,
         nullptr,
         false,
         Settings("", "115200", "N", "8", "2"),
         {"open "}},
        {"device absent or busy",
         true,
         {"COM3"},
         {},
         FailAt::Nothing,
         PickCom3At19200Even,
         false,
         userChoice,
         {"open COM3"}},
        {"queues refused",
         true,
         {"COM3"},
         {"COM3"},
         FailAt::Queues,
         PickCom3At19200Even,
         false,
         userChoice,
         {"open COM3", "queues 1000 1000", "close COM3"}},
        {"mode string refused (no baud selected)",
         true,
         {"COM3"},
         {"COM3"},
         FailAt::Nothing,
         [](PortSetupChoices& c) {
             PickCom3At19200Even(c);
             c.baud.selection = -1;
         },
         false,
         Settings("COM3", "", "E", "8", "1"),
         {"open COM3", "queues 1000 1000", "read-state", "close COM3"}},
        {"line state refused",
         true,
         {"COM3"},
         {"COM3"},
         FailAt::WriteState,
         PickCom3At19200Even,
         true,
         userChoice,
         kFullOpenCom3},
        {"timeouts refused",
         true,
         {"COM3"},
         {"COM3"},
         FailAt::Timeouts,
         PickCom3At19200Even,
         true,
         userChoice,
         kFullOpenCom3},
        {"success",
         true,
         {"COM3"},
         {"COM3"},
         FailAt::Nothing,
         PickCom3At19200Even,
         true,
         userChoice,
         kFullOpenCom3},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.situation);
        ScriptedPortSetup dialog;
        dialog.presentPorts = row.listed;
        dialog.pressOk = row.pressOk;
        dialog.user = row.user;
        ScriptedDeviceLayer devices;
        devices.present = row.openable;
        devices.failAt = row.failAt;
        PortSettings settings = Settings("", "", "", "8", "");

        std::unique_ptr<SerialLine> line = OpenPort(settings, dialog, devices);

        EXPECT_EQ(line != nullptr, row.opened);
        EXPECT_EQ(settings, row.after);
        EXPECT_EQ(devices.journal, row.journal);
        EXPECT_EQ(devices.openDevices, row.opened ? 1 : 0);
        line.reset();
        EXPECT_EQ(devices.openDevices, 0);
    }
}

TEST(OpenPort, FillsInEmptyFieldsBeforeTheDialog)
{
    struct Row
    {
        PortSettings before;
        PortSetupTexts shown;
        PortSettings afterCancel;
    };
    const std::vector<Row> rows{
        {Settings("", "", "", "", ""),
         {"COM1", "115200", "NONE", "2"},
         Settings("COM1", "115200", "N", "8", "2")},
        {PortSettings{}, {"COM1", "38400", "EVEN", "1"}, PortSettings{}},
        {Settings("COM4", "", "O", "", "1"),
         {"COM4", "115200", "ODD", "1"},
         Settings("COM4", "115200", "O", "8", "1")},
        // Letters other than N, O, E (and lower case) show no parity word.
        {Settings("COM2", "9600", "e", "7", "2"),
         {"COM2", "9600", "", "2"},
         Settings("COM2", "9600", "e", "7", "2")},
        {Settings("COM2", "9600", "M", "7", "2"),
         {"COM2", "9600", "", "2"},
         Settings("COM2", "9600", "M", "7", "2")},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.before.port + "/" + row.before.parity);
        ScriptedPortSetup dialog;
        dialog.pressOk = false;
        ScriptedDeviceLayer devices;
        PortSettings settings = row.before;
        EXPECT_EQ(OpenPort(settings, dialog, devices), nullptr);
        ASSERT_TRUE(dialog.shown.has_value());
        EXPECT_EQ(*dialog.shown, row.shown);
        EXPECT_EQ(settings, row.afterCancel);
        EXPECT_TRUE(devices.journal.empty());
    }
}

TEST(OpenPort, AllEmptyRecordPreselectsFillInsAndUsesEightDataBits)
{
    ScriptedPortSetup dialog;
    dialog.presentPorts = {"COM1", "COM2"};
    ScriptedDeviceLayer devices;
    devices.present = {"COM1"};
    PortSettings settings = Settings("", "", "", "", "");

    EXPECT_NE(OpenPort(settings, dialog, devices), nullptr);

    ASSERT_TRUE(dialog.opened.has_value());
    EXPECT_EQ(SavePortSetup(*dialog.opened), (PortSetupTexts{"COM1", "115200", "NONE", "2"}));
    EXPECT_EQ(BuildModeString(settings), "COM1: baud=115200 parity=N data=8 stop=2");
    ASSERT_TRUE(devices.written.has_value());
    EXPECT_EQ(devices.written->dataBits, 8);
}

TEST(OpenPort, TakesTheParityWordBack)
{
    struct Row
    {
        const char* storedLetter;
        std::function<void(PortSetupChoices&)> user;
        const char* letterAfterOk;
    };
    const auto pickParity = [](const char* word) {
        return [word](PortSetupChoices& c) { Pick(c.parity, word); };
    };
    const std::vector<Row> rows{
        {"E", nullptr, "E"},
        {"O", nullptr, "O"},
        {"N", nullptr, "N"},
        {"E", pickParity("ODD"), "O"},
        {"N", pickParity("EVEN"), "E"},
        {"O", pickParity("NONE"), "N"},
        // Nothing selected in the parity combo gives no parity.
        {"X", nullptr, "N"},
        {"E", [](PortSetupChoices& c) { c.parity.selection = -1; }, "N"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.storedLetter) + " -> " + row.letterAfterOk);
        ScriptedPortSetup dialog;
        dialog.presentPorts = {"COM1"};
        dialog.user = row.user;
        ScriptedDeviceLayer devices;
        devices.present = {"COM1"};
        PortSettings settings = Settings("COM1", "9600", row.storedLetter, "8", "1");
        EXPECT_NE(OpenPort(settings, dialog, devices), nullptr);
        EXPECT_EQ(settings.parity, row.letterAfterOk);
        EXPECT_EQ(settings.dataLength, "8");
    }
}

TEST(OpenPort, DialogFreeEntryOpensTheRecordAsItIs)
{
    ScriptedDeviceLayer devices;
    devices.present = {"pts/3"};

    EXPECT_NE(OpenConfiguredPort(Settings("pts/3", "9600", "O", "7", "2"), devices), nullptr);
    EXPECT_EQ(devices.journal, (Journal{"open pts/3", "queues 1000 1000", "read-state",
                                        "write-state", "timeouts", "close pts/3"}));
    ASSERT_TRUE(devices.written.has_value());
    EXPECT_EQ(*devices.written, (LineState{9600, Parity::Odd, 7, StopBits::Two,
                                           RtsControl::WhileTransmitting, true}));

    // No fill-ins without the dialog: an empty baud rate is refused.
    devices.journal.clear();
    EXPECT_EQ(OpenConfiguredPort(Settings("pts/3", "", "N", "8", "1"), devices), nullptr);
    EXPECT_EQ(devices.journal,
              (Journal{"open pts/3", "queues 1000 1000", "read-state", "close pts/3"}));
}

// The search for a line's settings only listens, at every candidate in turn, on a port it
// opens and closes for each; a port that is not there refuses all of them, and a silent one
// gives no winner. A cancel ends it at once with no port left open.
TEST(LineSearch, ListensAtEachCandidateAndStopsWhenCancelled)
{
    class Pacer : public LineSearchPacer
    {
    public:
        std::size_t cancelAt = SIZE_MAX;
        std::size_t tried = 0;
        mutable std::int64_t now = 0;
        bool Trying(const LineCandidate&, std::size_t index) override
        {
            tried = index + 1;
            return index < cancelAt;
        }
        bool Nap() override { return true; }
        std::int64_t NowUs() const override { return now += 100'000; }
    };
    PortSettings settings;
    settings.port = "COM3";
    for (const bool present : {false, true}) {
        ScriptedDeviceLayer devices;
        if (present)
            devices.present.insert("COM3");
        Pacer pacer;
        const LineSearchOutcome outcome = SearchLineSettings(settings, devices, pacer);
        EXPECT_FALSE(outcome.found || outcome.cancelled);
        EXPECT_EQ(pacer.tried, 44u); // 11 rates, 4 formats
        EXPECT_EQ(outcome.notes.size(), present ? 0u : 1u);
        EXPECT_EQ(outcome.summary.rfind("no clear winner", 0), 0u) << outcome.summary;
        EXPECT_EQ(devices.openDevices, 0);
    }
    ScriptedDeviceLayer devices;
    devices.present.insert("COM3");
    Pacer pacer;
    pacer.cancelAt = 2;
    EXPECT_TRUE(SearchLineSettings(settings, devices, pacer).cancelled);
    EXPECT_EQ(pacer.tried, 3u);
    EXPECT_EQ(devices.openDevices, 0);
}

} // namespace
} // namespace quillon::test
