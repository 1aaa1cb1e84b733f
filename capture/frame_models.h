#pragma once

#include <memory>
#include <optional>
#include <span>
#include <string_view>

#include "capture/frame_model.h"

namespace quillon {

// A row of the frame-model table: everything outside the model itself that names or makes it.
struct FrameModelRow
{
    FrameModelKind kind;
    std::string_view id;        // the command line's --frames value
    std::string_view setting;   // the value kept in the settings
    std::string_view menuLabel; // the window's checkable menu entry; none for the default model
    std::unique_ptr<FrameModel> (*make)();
};

// Every frame model, the default first.
[[nodiscard]] std::span<const FrameModelRow> FrameModels();

// The row of a kind; the default's row for a kind the table does not hold.
[[nodiscard]] const FrameModelRow& FrameModelRowOf(FrameModelKind kind);

// The kind with this --frames value, or with this settings value.
[[nodiscard]] std::optional<FrameModelKind> FrameModelById(std::string_view id);
[[nodiscard]] std::optional<FrameModelKind> FrameModelBySetting(std::string_view setting);

} // namespace quillon
