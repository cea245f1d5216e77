// The client's side of a telnet connection to a serial server: option
// negotiation, IAC escaping both ways and the COM-PORT-OPTION commands of
// RFC 2217 that carry the line settings and bring the modem lines back. Plain
// bytes in, plain bytes out; the socket is someone else's.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "port/dcb.h"

namespace tarnwick {

namespace telnet {
inline constexpr std::uint8_t kIac = 255, kDont = 254, kDo = 253, kWont = 252, kWill = 251,
                              kSb = 250, kSe = 240;
inline constexpr std::uint8_t kBinary = 0, kEcho = 1, kSuppressGoAhead = 3, kComPort = 44;
// Client to server; the server answers a command with the command plus 100.
inline constexpr std::uint8_t kSetBaudRate = 1, kSetDataSize = 2, kSetParity = 3, kSetStopSize = 4,
                              kSetControl = 5, kNotifyLineState = 6, kNotifyModemState = 7;
inline constexpr std::uint8_t kServerOffset = 100;
// SET-CONTROL values.
inline constexpr std::uint8_t kOutboundNone = 1, kOutboundHardware = 3, kDtrOn = 8, kDtrOff = 9,
                              kRtsOn = 11, kRtsOff = 12, kInboundHardware = 16,
                              kInboundDtrFlow = 18, kOutboundDsrFlow = 19;
// NOTIFY-MODEMSTATE bits.
inline constexpr std::uint8_t kStateCts = 0x10, kStateDsr = 0x20, kStateRi = 0x40, kStateDcd = 0x80;
}  // namespace telnet

// One COM-PORT-OPTION command and its value bytes.
struct ComPortCommand {
  std::uint8_t command = 0;
  std::vector<std::uint8_t> value;
  friend bool operator==(const ComPortCommand&, const ComPortCommand&) = default;
};

// RFC 2217 numbers parity 1 none, 2 odd, 3 even, 4 mark, 5 space: the DCB's
// code plus one. Stop bits: 1 one, 2 two, 3 one and a half.
std::uint8_t ComPortParity(std::uint8_t dcbParity);
std::uint8_t ComPortStopSize(std::uint8_t dcbStopBits);

// The commands that put the line of dcb on the server's port, in the order
// they are sent. RFC 2217 has one outbound flow control at a time: CTS flow
// wins over DSR flow. DTR and RTS HANDSHAKE become inbound DTR and hardware
// flow; RTS TOGGLE leaves RTS low (the client cannot know when the server's
// UART has sent the last bit, so direction control belongs to the server).
std::vector<ComPortCommand> ComPortSettings(const DCB& dcb);

// IAC SB COM-PORT-OPTION command value... IAC SE, IAC in the value doubled.
void AppendComPortCommand(const ComPortCommand& command, std::vector<std::uint8_t>& out);

// ModemLine bits of a NOTIFY-MODEMSTATE value.
unsigned ModemLinesOfState(std::uint8_t state);

class TelnetSession {
 public:
  // What this side asks for at once: to send and receive binary, to be the
  // COM-PORT-OPTION client when comPort, and the server's suppressed go-ahead.
  void Start(bool comPort, std::vector<std::uint8_t>& out);

  // Decodes what came from the server: data bytes to data, the answers the
  // negotiation needs to replies. Commands split across calls are kept.
  void Receive(const std::uint8_t* in, std::size_t length, std::vector<std::uint8_t>& data,
               std::vector<std::uint8_t>& replies);

  // Data for the server: IAC doubled; CR followed by NUL while this side may
  // not send binary.
  void Escape(const std::uint8_t* in, std::size_t length, std::vector<std::uint8_t>& out) const;

  // A COM-PORT command went out; its answer is waited for.
  void Expect() { ++m_pending; }
  // True while an option this side asked for, or a command it sent, has no
  // answer yet.
  bool Answering() const;

  bool LocalBinary() const { return m_local[telnet::kBinary] == State::kOn; }
  bool RemoteBinary() const { return m_remote[telnet::kBinary] == State::kOn; }
  bool ComPort() const { return m_local[telnet::kComPort] == State::kOn; }
  // The answers the server gave to each command (SET-BAUDRATE ...), by
  // command number.
  unsigned Answered(std::uint8_t command) const {
    return command < m_answers.size() ? m_answers[command] : 0;
  }
  // The last NOTIFY-MODEMSTATE, and how many came.
  std::uint8_t ModemState() const { return m_modemState; }
  unsigned ModemStateCount() const { return m_modemStateCount; }

 private:
  enum class State : std::uint8_t { kOff, kAsked, kOn };
  enum class Parse : std::uint8_t { kData, kCr, kIac, kVerb, kSub, kSubIac };

  void OnVerb(std::uint8_t verb, std::uint8_t option, std::vector<std::uint8_t>& replies);
  void OnSubnegotiation();
  bool Wanted(std::uint8_t option, bool local) const;

  std::array<State, 256> m_local{};   // what this side does (WILL)
  std::array<State, 256> m_remote{};  // what the server does (DO)
  Parse m_parse = Parse::kData;
  std::uint8_t m_verb = 0;
  std::vector<std::uint8_t> m_sub;
  bool m_wantComPort = false;
  unsigned m_pending = 0;  // commands without an answer
  std::array<unsigned, 16> m_answers{};
  std::uint8_t m_modemState = 0;
  unsigned m_modemStateCount = 0;
};

}  // namespace tarnwick
