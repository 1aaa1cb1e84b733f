#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "capture/frame_info.h"
#include "capture/frame_model.h"

namespace quillon {

// The longest Modbus RTU frame: address, a PDU of at most 253 bytes, CRC. No frame is longer,
// so no decision waits for more than this many bytes.
constexpr std::size_t kRtuFrameMax = 256;

// Standard Modbus RTU traffic: every public function code has its query and response forms, a
// frame is only taken when its CRC holds, and bytes no frame can be made of are cut off as a
// damaged record so that the next frame is found again.
class StandardFrameModel : public FrameModel
{
public:
    void Reset() override { m_queryLength = 0; }
    [[nodiscard]] FrameDecision Decide(std::span<const std::uint8_t> bytes, bool idle) override;
    // A quiet line settles every wait: what was held back for more bytes is cut then.
    [[nodiscard]] bool UsesIdle() const override { return true; }
    [[nodiscard]] bool QueryWhenWhole(std::span<const std::uint8_t> bytes) const override;
    void FrameCut(std::span<const std::uint8_t> frame, const FrameInfo& info) override;
    [[nodiscard]] bool Recognises(std::uint8_t code) const override;
    [[nodiscard]] std::string_view Name(std::uint8_t code) const override;
    [[nodiscard]] bool ShowsRegisters(std::uint8_t code) const override;
    [[nodiscard]] std::uint16_t RegistersShown(std::uint16_t quantityField) const override
    {
        return quantityField;
    }

private:
    // Whether a frame whose query and response forms look alike answers the unanswered query.
    [[nodiscard]] bool Answers(std::span<const std::uint8_t> frame) const;

    // The last query seen that no response has followed yet; empty when there is none.
    std::array<std::uint8_t, kRtuFrameMax> m_query{};
    std::size_t m_queryLength = 0;
};

} // namespace quillon
