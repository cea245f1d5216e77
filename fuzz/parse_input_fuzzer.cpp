// libFuzzer target for TransmitParser::ParseInput: the first bytes choose the
// format, unit length, byte order and a capacity limit, the rest is the text.
// Every write must stay inside the block and every read inside the text.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/message_box.h"
#include "transmit/transmit_parser.h"

namespace {

class SilentMessageBoxes : public tarnwick::MessageBoxes {
 public:
  tarnwick::MessageResult Show(std::string_view, std::string_view, tarnwick::MessageIcon,
                               tarnwick::MessageButtons) override {
    return tarnwick::MessageResult::kOk;
  }
};

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  SilentMessageBoxes boxes;
  tarnwick::TransmitParser parser(boxes);
  // Formats 0..4 plus two outside the list; unit indices 0..3 plus -1 and 4.
  parser.m_nFormat = static_cast<std::int32_t>(data[0] % 7) - (data[0] % 7 == 6 ? 7 : 0);
  parser.m_nUnitIndex = static_cast<std::int32_t>(data[1] % 6) - 1;
  parser.m_bReverse = data[2] & 1;
  if (data[2] & 2) parser.SetMaxCapacity(1024 + data[2]);
  parser.m_strText.assign(reinterpret_cast<const char*>(data + 3), size - 3);

  // Two parses on one parser: the second reuses (and may grow) the first's block.
  for (int round = 0; round < 2; ++round) {
    const bool ok = parser.ParseInput();
    Check(parser.m_nDataLength >= 0);
    Check(static_cast<std::uint32_t>(parser.m_nDataLength) <= parser.m_nCapacity);
    if (ok && parser.m_nFormat == tarnwick::kTxFormatAscii)
      Check(static_cast<std::size_t>(parser.m_nDataLength) <= parser.m_strText.size());
    if (ok && parser.m_nFormat == tarnwick::kTxFormatFloat && parser.m_nDataLength > 0)
      Check(parser.m_nDataLength % 4 == 0 && parser.m_nUnitIndex == 3);
    // Touch every byte that counts so the sanitizer sees any bad length.
    volatile std::uint8_t sink = 0;
    for (std::int32_t i = 0; i < parser.m_nDataLength; ++i) sink = sink ^ parser.m_pBuffer[i];
    parser.SwapBlocks();
  }
  return 0;
}
