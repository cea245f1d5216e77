// Custom frame rules as one line of text, for the profile and the command
// line: blank-separated KEY=VALUE pairs, in any order, each at most once.
//
//   start=HEX[|HEX...]   start patterns (hex bytes, "A55A"; '|' between alternatives)
//   end=HEX              end pattern
//   fixed=N              fixed length
//   length-at=N  length-size=1|2|4  length-order=be|le
//   length-counts=rest|payload|frame  length-adjust=[-]N
//   silence-ms=N         a pause that ends a frame
//   encoding=none|cobs|slip
//   max=N                maximum length (default 4096)
//   check=none|sum8|xor8|twos-sum8|crc8|crc16-modbus|crc16-ccitt-false|crc16-xmodem|crc32
//   check-from=N  check-trailer=N  check-order=be|le (default: the check's own order)
//   crc8-poly=HH  crc8-init=HH  crc8-refin=0|1  crc8-refout=0|1  crc8-xorout=HH
//
// For example "start=A55A length-at=2 length-size=1 length-counts=payload check=crc16-xmodem".
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "frames/frame_rules.h"

namespace tarnwick {

// The text of rules; only what differs from the defaults is written.
std::string FrameRulesText(const FrameRules& rules);

struct ParsedFrameRules {
  std::optional<FrameRules> rules;
  std::string error;  // what is wrong when rules is empty
};
ParsedFrameRules ParseFrameRules(std::string_view text);

}  // namespace tarnwick
