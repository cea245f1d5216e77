// The two byte-stuffing encodings that delimit frames: COBS, whose frames
// hold no 0x00 and end with one, and SLIP (RFC 1055), whose frames end with
// END (0xC0) and escape END and ESC (0xDB) inside.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace tarnwick {

// encoded: a frame without its delimiter. False, with out holding what was
// decoded so far, when the bytes are not a valid encoding.
bool DecodeCobs(std::span<const std::uint8_t> encoded, std::vector<std::uint8_t>& out);
bool DecodeSlip(std::span<const std::uint8_t> encoded, std::vector<std::uint8_t>& out);

}  // namespace tarnwick
