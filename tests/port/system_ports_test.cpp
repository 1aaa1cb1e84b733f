#include <algorithm>
#include <gtest/gtest.h>

#include "port/qt_port_opener.h"
#include "port/system_ports.h"
#include "portsetup/mode_string.h"
#include "qt_app.h"
#include "support/scripted_devices.h"

namespace quillon::test {
namespace {

using Names = std::vector<std::string>;

TEST(PortProbe, SystemCandidatesAreStorableAndIncludeTheStoredPort)
{
    EnsureCoreApplication();
    const Names names = SystemCandidatePortNames("pts/7");
    for (const std::string& name : names)
        EXPECT_LE(name.size(), kSettingTextMax) << name;
    EXPECT_TRUE(std::is_sorted(names.begin(), names.end(),
                               [](const auto& a, const auto& b) { return NaturalLess(a, b); }));
    EXPECT_NE(std::find(names.begin(), names.end(), "pts/7"), names.end());
}

TEST(OpenPort, AppliesTheModeStringOverTheDeviceStateWithRtsAndErrorHolding)
{
    ScriptedPortSetup dialog;
    dialog.presentPorts = {"COM1", "COM3"};
    dialog.user = PickCom3At19200Even;
    ScriptedDeviceLayer devices;
    devices.present = {"COM1", "COM3"};
    devices.onDevice = LineState{4800, Parity::Odd, 7, StopBits::Two, RtsControl::Active, false};
    QtPortOpener opener(dialog, devices);
    PortSettings settings; // start values: COM1, 38400, E, 8, 1
    EXPECT_EQ(BuildModeString(settings), "COM1: baud=38400 parity=E data=8 stop=1");

    std::unique_ptr<SerialLine> line = opener.OpenPort(settings);

    ASSERT_NE(line, nullptr);
    EXPECT_EQ(BuildModeString(settings), "COM3: baud=19200 parity=E data=8 stop=1");
    ASSERT_TRUE(devices.written.has_value());
    EXPECT_EQ(*devices.written, (LineState{19200, Parity::Even, 8, StopBits::One,
                                           RtsControl::WhileTransmitting, true}));
}

} // namespace
} // namespace quillon::test
