#include "port/reg_funcs.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <QVariant>

namespace quillon {

namespace {

constexpr const char* kOrganisation = "Varnel";
constexpr const char* kApplication = "Orvane";
constexpr const char* kGroup = "Settings";
// Far more than the store's few ten-byte values ever take. A larger file is not settings
// written by this program, and reading it whole would make start-up slow and large.
constexpr qint64 kSettingsFileMax = 64 * 1024;

#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
bool ReadNothing(QIODevice& /*device*/, QSettings::SettingsMap& /*map*/)
{
    return true;
}

bool WriteNothing(QIODevice& /*device*/, const QSettings::SettingsMap& /*map*/)
{
    return false;
}

// The per-user settings file, found without reading it: a store of a format that reads
// nothing names the same file, as both are kept where the user's INI settings go.
QString UserSettingsFile()
{
    static const QSettings::Format kNameOnly =
        QSettings::registerFormat(QStringLiteral("conf"), ReadNothing, WriteNothing);
    return QSettings(kNameOnly, QSettings::UserScope, kOrganisation, kApplication).fileName();
}
#endif

// Whether the file at `fileName` may be handed to QSettings, which reads a file whole: no
// file, a folder (which reads as nothing) or a regular file of settings size.
bool FitForReading(const QString& fileName)
{
    const QFileInfo info(fileName);
    if (!info.exists() || info.isDir())
        return true;
    return info.isFile() && info.size() <= kSettingsFileMax;
}

} // namespace

#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
// On these systems the native store is an INI file; it is opened by name so that its size can
// be checked before it is read.
RegFuncs::RegFuncs() : RegFuncs(UserSettingsFile(), QSettings::IniFormat) {}
#else
RegFuncs::RegFuncs()
    : m_settings(std::make_unique<QSettings>(
          QSettings::NativeFormat, QSettings::UserScope, kOrganisation, kApplication))
{
    m_settings->beginGroup(kGroup);
}
#endif

RegFuncs::RegFuncs(const QString& fileName, QSettings::Format format)
    : m_fileName(fileName), m_format(format)
{
    // A file unfit for reading counts as damaged: nothing is read, and the first write
    // replaces its contents.
    if (FitForReading(m_fileName))
        OpenSettings();
}

RegFuncs::~RegFuncs()
{
    if (!m_settings)
        return;
    m_settings->endGroup();
    m_settings->sync();
}

void RegFuncs::OpenSettings()
{
    m_settings = std::make_unique<QSettings>(m_fileName, m_format);
    m_settings->beginGroup(kGroup);
}

std::optional<std::vector<std::uint8_t>> RegFuncs::ReadValue(const std::string& name)
{
    if (!m_settings)
        return std::nullopt;
    const QVariant value = m_settings->value(QString::fromStdString(name));
    if (!value.isValid())
        return std::nullopt;
    QByteArray bytes;
    if (value.typeId() == QMetaType::QByteArray) {
        bytes = value.toByteArray();
    } else if (value.canConvert<QString>()) {
        bytes = value.toString().toLocal8Bit();
        bytes.append('\0');
    } else {
        return std::nullopt;
    }
    return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
}

bool RegFuncs::WriteValue(const std::string& name, std::span<const std::uint8_t> bytes)
{
    if (!m_settings) {
        // Only a regular file can be emptied; a pipe or a device takes no settings.
        if (!QFileInfo(m_fileName).isFile() || !QFile::resize(m_fileName, 0))
            return false;
        OpenSettings();
    }
    const QByteArray value(reinterpret_cast<const char*>(bytes.data()),
                           static_cast<qsizetype>(bytes.size()));
    m_settings->setValue(QString::fromStdString(name), value);
    m_settings->sync();
    return m_settings->status() == QSettings::NoError;
}

} // namespace quillon
