#include <gtest/gtest.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QVariant>

#include "port/reg_funcs.h"
#include "portsetup/port_settings_persistence.h"
#include "qt_app.h"

namespace quillon::test {
namespace {

class RegFuncsFile : public ::testing::Test
{
protected:
    void SetUp() override
    {
        EnsureCoreApplication();
        ASSERT_TRUE(m_dir.isValid());
    }
    QString Path(const char* name) const { return m_dir.filePath(QString::fromLatin1(name)); }

    QTemporaryDir m_dir;
};

TEST_F(RegFuncsFile, SavedSettingsComeBackInTheNextRun)
{
    const QString file = Path("Orvane.conf");
    {
        RegFuncs store(file, QSettings::IniFormat);
        SaveSettings(store, PortSettings{"ttyUSB0", "115200", "O", "7", "2"});
    }
    {
        RegFuncs store(file, QSettings::IniFormat);
        SaveSettings(store, PortSettings{"pts/3", "9600", "N", "8", "1"});
    }
    RegFuncs store(file, QSettings::IniFormat);
    PortSettings settings;
    LoadSettings(store, settings);
    EXPECT_EQ(settings, (PortSettings{"pts/3", "9600", "N", "8", "1"}));

    // Each value is a 10-byte array in the "Settings" group.
    QSettings raw(file, QSettings::IniFormat);
    raw.beginGroup("Settings");
    EXPECT_EQ(raw.childKeys().size(), 5);
    for (const char* name : {"Port", "Baud", "Parity", "DataLength", "StopBits"}) {
        SCOPED_TRACE(name);
        const QVariant value = raw.value(name);
        EXPECT_EQ(value.typeId(), QMetaType::QByteArray);
        EXPECT_EQ(value.toByteArray().size(), 10);
    }
    EXPECT_EQ(raw.value("Baud").toByteArray(), QByteArray("9600\0\0\0\0\0\0", 10));
}

TEST_F(RegFuncsFile, ValuesEnteredByHandAreTakenAsText)
{
    const QString file = Path("hand.conf");
    QFile ini(file);
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("[Settings]\nPort=COM3\nBaud=1234567890123\nStopBits=2\n");
    ini.close();

    RegFuncs store(file, QSettings::IniFormat);
    EXPECT_FALSE(store.ReadValue("Parity").has_value());
    PortSettings settings;
    settings.port = "ttyUSB0";
    LoadSettings(store, settings);
    EXPECT_EQ(settings, (PortSettings{"COM3", "38400", "E", "8", "2"}));
}

TEST_F(RegFuncsFile, MissingFileReadsNothingAndUnwritablePlaceFailsWrites)
{
    RegFuncs absent(Path("absent.conf"), QSettings::IniFormat);
    PortSettings settings;
    LoadSettings(absent, settings);
    EXPECT_EQ(settings, PortSettings{});

    // A folder that is really a file cannot hold the settings, not even for root.
    QFile blocker(Path("blocker"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    RegFuncs unwritable(Path("blocker/Orvane.conf"), QSettings::IniFormat);
    const std::uint8_t bytes[10] = {'C', 'O', 'M', '1'};
    EXPECT_FALSE(unwritable.WriteValue("Port", bytes));
}

TEST_F(RegFuncsFile, NativeStoreBelongsToVarnelOrvane)
{
    // On Unix the native store is the user's INI settings file, so both paths are moved.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_dir.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_dir.path());
    // A file an earlier run (or the user) left is read: values written as text by hand.
    ASSERT_TRUE(QDir(m_dir.path()).mkpath("Varnel"));
    QFile handWritten(QDir(m_dir.path()).filePath("Varnel/Orvane.conf"));
    ASSERT_TRUE(handWritten.open(QIODevice::WriteOnly));
    handWritten.write("[Settings]\nPort=pts/2\nBaud=9600\nParity=N\nDataLength=8\nStopBits=1\n");
    handWritten.close();
    {
        RegFuncs store;
        PortSettings settings;
        LoadSettings(store, settings);
        EXPECT_EQ(settings, (PortSettings{"pts/2", "9600", "N", "8", "1"}));
    }
    {
        RegFuncs store;
        SaveSettings(store, PortSettings{"ttyS1", "4800", "O", "8", "2"});
    }
    const QString file = QDir(m_dir.path()).filePath("Varnel/Orvane.conf");
    EXPECT_TRUE(QFile::exists(file));
    RegFuncs store;
    PortSettings settings;
    LoadSettings(store, settings);
    EXPECT_EQ(settings, (PortSettings{"ttyS1", "4800", "O", "8", "2"}));
}

} // namespace
} // namespace quillon::test
