// The tap: a pseudo-terminal whose far side another program opens, through a
// link at a path the user names, to talk to the device through this one. The
// port worker serves its near side beside the device.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "port/dcb.h"
#include "port/serial_device.h"

namespace tarnwick {

// What a program can set on a pseudo-terminal that a device can follow. Data
// bits, parity, DTR, RTS and break do not reach this side of one.
struct ProgramLine {
  std::uint32_t baudRate = 0;           // 0: a rate that has no standard constant
  std::uint8_t stopBits = kOneStopBit;  // kOneStopBit or kTwoStopBits
  friend bool operator==(const ProgramLine&, const ProgramLine&) = default;
};

class ProgramTap {
 public:
  virtual ~ProgramTap() = default;

  // For the worker's poll: the near side (readable when the program wrote or
  // changed its settings, writable when there is room for it), and the
  // descriptor that tells of opens and closes of the far side (-1: none).
  virtual int Descriptor() const = 0;
  virtual int EventDescriptor() const = 0;

  // Takes the opens and closes that happened so far. When the last program
  // closed, what it left unread is dropped, so the next one starts clean.
  virtual void TakeEvents() = 0;
  // Whether a program has the far side open, as of the last TakeEvents.
  virtual bool ProgramPresent() const = 0;

  // The program's bytes, at most capacity, at once; none when it wrote none.
  virtual IoResult Read(std::uint8_t* buffer, std::size_t capacity) = 0;
  // Bytes for the program, as many as the far side has room for, at once.
  virtual IoResult Write(const std::uint8_t* data, std::size_t length) = 0;

  // True, with the settings, when the program changed its rate or stop bits
  // since the last call.
  virtual bool TakeLineChange(ProgramLine* line) = 0;
};

// Windows has no pseudo-terminal a program could open: a tap is refused
// there for good, and never tried again.
#ifdef _WIN32
inline constexpr bool kProgramTapAvailable = false;
#else
inline constexpr bool kProgramTapAvailable = true;
#endif

// Creates the pseudo-terminal, makes its far side raw at the rate and stop
// bits of dcb, and links path to it, holding path's lock for as long as the
// tap lives. A path that exists already is refused (null, with the reason in
// *error), except a link that a run which ended without removing it left
// behind: that one is replaced, and *notice (when given) says so.
std::unique_ptr<ProgramTap> OpenProgramTap(const std::string& path, const DCB& dcb,
                                           std::string* error, std::string* notice = nullptr);

}  // namespace tarnwick
