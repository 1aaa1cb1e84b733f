#include "portsetup/port_settings_persistence.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "capture/capture_store.h"
#include "capture/frame_models.h"

namespace quillon {

namespace {

using Field = std::array<std::uint8_t, kSettingFieldSize>;

struct NamedField
{
    const char* name;
    std::string PortSettings::*text;
};

// Read and written in this order.
constexpr std::array<NamedField, 5> kFields{{{"Port", &PortSettings::port},
                                             {"Baud", &PortSettings::baud},
                                             {"Parity", &PortSettings::parity},
                                             {"DataLength", &PortSettings::dataLength},
                                             {"StopBits", &PortSettings::stopBits}}};

// The frame model's value; the frame-model table gives the texts that name the models in it.
constexpr const char* kFramesName = "Frames";
// The capture limit of the next Go or Load.
constexpr const char* kCaptureLimitName = "CaptureLimit";
// The Monitor window's size and state.
constexpr const char* kWindowSizeName = "WindowSize";
constexpr const char* kMaximisedName = "Maximised";
constexpr const char* kRegisterMapName = "RegisterMap";
constexpr int kWindowSideMax = 9999;

// A side of the window: 1 to 9999, in decimal digits only.
std::optional<int> ParseSide(std::string_view text)
{
    if (text.empty() || text.size() > 4 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    int side = 0;
    for (const char c : text)
        side = side * 10 + (c - '0');
    if (side < 1 || side > kWindowSideMax)
        return std::nullopt;
    return side;
}

// The field as it is held: the text (at most 9 characters), its zero byte, zero padding.
Field ToField(std::string_view text)
{
    Field field{};
    const std::size_t length = std::min(text.size(), kSettingTextMax);
    std::copy_n(text.begin(), length, field.begin());
    return field;
}

// A stored value is copied over the start of the field as it is held; the field's text is then
// what precedes its first zero byte. Values that do not fit, or that leave no zero byte in the
// field, are not taken.
std::optional<std::string> TakeValue(const std::vector<std::uint8_t>& value,
                                     const std::string& current)
{
    if (value.size() > kSettingFieldSize)
        return std::nullopt;
    Field field = ToField(current);
    std::copy(value.begin(), value.end(), field.begin());
    const auto end = std::find(field.begin(), field.end(), std::uint8_t{0});
    if (end == field.end())
        return std::nullopt;
    return std::string(field.begin(), end);
}

} // namespace

void LoadSettings(SettingsStore& store, PortSettings& settings)
{
    for (const NamedField& entry : kFields) {
        const std::optional<std::vector<std::uint8_t>> value = store.ReadValue(entry.name);
        if (!value)
            continue;
        std::string& text = settings.*entry.text;
        if (std::optional<std::string> taken = TakeValue(*value, text))
            text = std::move(*taken);
    }
}

void SaveSettings(SettingsStore& store, const PortSettings& settings)
{
    for (const NamedField& entry : kFields) {
        const Field field = ToField(settings.*entry.text);
        (void)store.WriteValue(entry.name, field);
    }
}

void LoadFrameModelKind(SettingsStore& store, FrameModelKind& kind)
{
    const std::optional<std::vector<std::uint8_t>> value = store.ReadValue(kFramesName);
    if (!value)
        return;
    const std::optional<std::string> text = TakeValue(*value, std::string());
    kind = FrameModelBySetting(text.value_or(std::string())).value_or(FrameModels().front().kind);
}

void SaveFrameModelKind(SettingsStore& store, FrameModelKind kind)
{
    const Field field = ToField(FrameModelRowOf(kind).setting);
    (void)store.WriteValue(kFramesName, field);
}

void LoadCaptureLimit(SettingsStore& store, int& limit)
{
    const std::optional<std::vector<std::uint8_t>> value = store.ReadValue(kCaptureLimitName);
    if (!value)
        return;
    const std::string text = TakeValue(*value, std::string()).value_or(std::string());
    limit = kCaptureLimit;
    for (const int choice : kCaptureLimitChoices) {
        if (text == std::to_string(choice))
            limit = choice;
    }
}

void SaveCaptureLimit(SettingsStore& store, int limit)
{
    const Field field = ToField(std::to_string(limit));
    (void)store.WriteValue(kCaptureLimitName, field);
}

std::optional<WindowPlacement> LoadWindowPlacement(SettingsStore& store)
{
    const std::optional<std::vector<std::uint8_t>> size = store.ReadValue(kWindowSizeName);
    if (!size)
        return std::nullopt;
    const std::optional<std::string> text = TakeValue(*size, std::string());
    if (!text)
        return std::nullopt;
    const std::size_t cross = text->find('x');
    if (cross == std::string::npos)
        return std::nullopt;
    const std::optional<int> width = ParseSide(std::string_view(*text).substr(0, cross));
    const std::optional<int> height = ParseSide(std::string_view(*text).substr(cross + 1));
    if (!width || !height)
        return std::nullopt;
    WindowPlacement placement{*width, *height, false};
    if (const auto state = store.ReadValue(kMaximisedName))
        placement.maximised = TakeValue(*state, std::string()) == "1";
    return placement;
}

void SaveWindowPlacement(SettingsStore& store, const WindowPlacement& placement)
{
    const int width = std::clamp(placement.width, 1, kWindowSideMax);
    const int height = std::clamp(placement.height, 1, kWindowSideMax);
    (void)store.WriteValue(kWindowSizeName,
                           ToField(std::to_string(width) + "x" + std::to_string(height)));
    (void)store.WriteValue(kMaximisedName, ToField(placement.maximised ? "1" : "0"));
}

std::optional<std::string> LoadRegisterMapPath(SettingsStore& store)
{
    const std::optional<std::vector<std::uint8_t>> bytes = store.ReadValue(kRegisterMapName);
    if (!bytes || bytes->empty())
        return std::nullopt;
    return std::string(bytes->begin(), bytes->end());
}

void SaveRegisterMapPath(SettingsStore& store, const std::string& path)
{
    (void)store.WriteValue(
        kRegisterMapName,
        std::span(reinterpret_cast<const std::uint8_t*>(path.data()), path.size()));
}

} // namespace quillon
