#include <filesystem>
#include <grp.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <QFile>
#include <QTemporaryDir>

#include "port/reg_funcs.h"
#include "portsetup/port_settings_persistence.h"
#include "qt_app.h"
#include "support/monitor_rig.h"

namespace quillon::test {
namespace {

const PortSettings kChosen{"ttyUSB1", "9600", "O", "7", "2"};

// A monitor whose settings live in the file `path`, started in a folder of its own.
struct MonitorOnSettingsFile
{
    explicit MonitorOnSettingsFile(const std::string& path)
        : store(QString::fromStdString(path), QSettings::IniFormat)
    {
        monitor.Initialise();
    }

    TempDir dir;
    WorkingDirectory cwd{dir.File("")};
    MemoryMonitorControls controls;
    ScriptedPrompts prompts;
    ScriptedPortOpener opener;
    ManualTimer timer;
    ManualClock clock;
    RegFuncs store;
    Monitor monitor{{controls.View(), prompts, opener, timer, clock, store}};
};

// Starts a monitor on the settings file, runs Go with the Port Setup choice and quits.
PortSettings StartGoAndQuit(const std::string& path)
{
    MonitorOnSettingsFile run(path);
    const PortSettings atStart = run.monitor.Settings();
    run.opener.choice = kChosen;
    run.monitor.OnGo();
    run.monitor.StopCapture();
    run.monitor.Quit();
    return atStart;
}

PortSettings SettingsInFile(const std::string& path)
{
    RegFuncs store(QString::fromStdString(path), QSettings::IniFormat);
    PortSettings settings;
    LoadSettings(store, settings);
    return settings;
}

class SettingsFaults : public ::testing::Test
{
protected:
    void SetUp() override
    {
        EnsureCoreApplication();
        ASSERT_TRUE(m_dir.isValid());
    }
    std::string Write(const char* name, const QByteArray& content) const
    {
        const QString path = m_dir.filePath(QString::fromLatin1(name));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
        return path.toStdString();
    }

    QTemporaryDir m_dir;
};

TEST_F(SettingsFaults, DamagedFilesLeaveTheStartValuesAndQuitWritesThemWhole)
{
    QByteArray noise;
    for (int i = 0; i < 4096; ++i)
        noise.append(static_cast<char>((i * 131 + 7) % 256));
    const struct
    {
        const char* what;
        QByteArray content;
    } cases[] = {
        {"empty", ""},
        {"truncated in a value", "[Settings]\nPort=@ByteArray(ttyU"},
        {"truncated in the group name", "[Sett"},
        {"binary noise", noise},
        {"values too long", "[Settings]\nPort=@ByteArray(ttyUSB1234)\nBaud=11520000000\n"
                            "Parity=@ByteArray(E\\0\\0\\0\\0\\0\\0\\0\\0\\0\\0)\n"},
        // Good values, but in a file far larger than settings ever take: not read at all.
        {"too large to be settings",
         "[Settings]\nPort=@ByteArray(ttyS3)\n;" + QByteArray(1 << 20, 'x') + "\n"},
        {"values of other types", "[Settings]\nPort=@Point(1 2)\nBaud=@Rect(1 2 3 4)\n"
                                  "Parity=@Variant(\\0\\0\\0\\x7f\\0\\0\\0\\x3QFoo)\n"
                                  "DataLength=@Size(8 8)\nStopBits=@Variant(junk)\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = Write("Orvane.conf", c.content);
        EXPECT_EQ(StartGoAndQuit(path), PortSettings{});
        EXPECT_EQ(SettingsInFile(path), kChosen);
    }
}

TEST_F(SettingsFaults, AFolderInPlaceOfTheFileKeepsTheStartValuesAndQuitGoesOn)
{
    // Not even root can read or write a folder as a file.
    const std::string path = m_dir.filePath("Orvane.conf").toStdString();
    std::filesystem::create_directory(path);
    EXPECT_EQ(StartGoAndQuit(path), PortSettings{});
    EXPECT_TRUE(std::filesystem::is_directory(path));
}

// Permissions do not bind root, so as root the monitor runs as the user "nobody" in a child.
TEST_F(SettingsFaults, AnUnreadableFileKeepsTheStartValuesAndQuitGoesOn)
{
    constexpr int kSkipped = 77;
    const std::string path = Write("Orvane.conf", "[Settings]\nPort=@ByteArray(ttyS3)\n");
    std::filesystem::permissions(path, std::filesystem::perms::none);
    std::filesystem::permissions(m_dir.path().toStdString(), std::filesystem::perms::all);
    const int code = RunInChild([&] {
        constexpr uid_t kNobody = 65534;
        if (::geteuid() == 0 &&
            (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0))
            return kSkipped;
        return StartGoAndQuit(path) == PortSettings{} ? 0 : 1;
    });
    if (code == kSkipped)
        GTEST_SKIP() << "running as root and cannot switch to an unprivileged user, so file "
                        "permissions cannot be tested";
    EXPECT_EQ(code, 0);
    std::filesystem::permissions(path, std::filesystem::perms::owner_read);
    EXPECT_EQ(SettingsInFile(path).port, "ttyS3") << "the unreadable file was left as it was";
}

} // namespace
} // namespace quillon::test
