#include "capture/frame_models.h"

#include <array>

#include "capture/standard_model.h"

namespace quillon {

namespace {

template <typename Model> std::unique_ptr<FrameModel> Make()
{
    return std::make_unique<Model>();
}

constexpr std::array kRows{
    FrameModelRow{FrameModelKind::Device, "device", "Device", "", Make<DeviceFrameModel>},
    FrameModelRow{FrameModelKind::Standard, "standard", "Standard", "Standard Modbus Frames",
                  Make<StandardFrameModel>},
};

} // namespace

std::span<const FrameModelRow> FrameModels()
{
    return kRows;
}

const FrameModelRow& FrameModelRowOf(FrameModelKind kind)
{
    for (const FrameModelRow& row : kRows) {
        if (row.kind == kind)
            return row;
    }
    return kRows.front();
}

std::optional<FrameModelKind> FrameModelById(std::string_view id)
{
    for (const FrameModelRow& row : kRows) {
        if (row.id == id)
            return row.kind;
    }
    return std::nullopt;
}

std::optional<FrameModelKind> FrameModelBySetting(std::string_view setting)
{
    for (const FrameModelRow& row : kRows) {
        if (row.setting == setting)
            return row.kind;
    }
    return std::nullopt;
}

std::unique_ptr<FrameModel> MakeFrameModel(FrameModelKind kind)
{
    return FrameModelRowOf(kind).make();
}

} // namespace quillon
