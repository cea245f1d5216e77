// Frames cut by rules: custom rules saved under a name, and SLIP and COBS.
// The payload is what lies between the start pattern or length field and
// the check (for SLIP and COBS: the decoded bytes less the check); values
// list its bytes in hex. A frame of the request direction pairs with the
// next frame of the other.
#pragma once

#include <string>

#include "frames/frame_codec.h"
#include "frames/frame_rules.h"

namespace tarnwick {

class PayloadCodec : public FrameCodec {
 public:
  PayloadCodec(std::string name, const FrameRules& rules);

  std::string_view Name() const override { return m_strName; }
  FrameStatus Check(std::span<const std::uint8_t> bytes, FrameCut cut) const override;
  FrameRole RoleOf(std::span<const std::uint8_t>, FrameRole byDirection) const override {
    return byDirection;
  }
  std::uint32_t PairKey(std::span<const std::uint8_t>) const override { return 0; }
  void Describe(const FrameView& frame, const FramePair& pair,
                FrameDescription& out) const override;

 private:
  // The bytes the check covers: the decoded frame, or the frame itself.
  // False when the encoding does not decode.
  bool Content(std::span<const std::uint8_t> bytes, std::vector<std::uint8_t>& decoded,
               std::span<const std::uint8_t>& content) const;
  std::span<const std::uint8_t> Payload(std::span<const std::uint8_t> content) const;

  std::string m_strName;
  FrameRules m_rules;
};

}  // namespace tarnwick
