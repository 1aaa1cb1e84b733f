#include "port/reg_funcs.h"

#include <QByteArray>
#include <QVariant>

namespace quillon {

namespace {

constexpr const char* kOrganisation = "Varnel";
constexpr const char* kApplication = "Orvane";
constexpr const char* kGroup = "Settings";

} // namespace

RegFuncs::RegFuncs()
    : m_settings(std::make_unique<QSettings>(
          QSettings::NativeFormat, QSettings::UserScope, kOrganisation, kApplication))
{
    m_settings->beginGroup(kGroup);
}

RegFuncs::RegFuncs(const QString& fileName, QSettings::Format format)
    : m_settings(std::make_unique<QSettings>(fileName, format))
{
    m_settings->beginGroup(kGroup);
}

RegFuncs::~RegFuncs()
{
    m_settings->endGroup();
    m_settings->sync();
}

std::optional<std::vector<std::uint8_t>> RegFuncs::ReadValue(const std::string& name)
{
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
    const QByteArray value(reinterpret_cast<const char*>(bytes.data()),
                           static_cast<qsizetype>(bytes.size()));
    m_settings->setValue(QString::fromStdString(name), value);
    m_settings->sync();
    return m_settings->status() == QSettings::NoError;
}

} // namespace quillon
