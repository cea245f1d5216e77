#include "port/telnet_session.h"

#include "port/serial_device.h"

namespace tarnwick {

using namespace telnet;

namespace {

// Longer subnegotiations are nothing this side reads: kept short, the rest
// is dropped.
constexpr std::size_t kMaxSubnegotiation = 64;

}  // namespace

std::uint8_t ComPortParity(std::uint8_t dcbParity) {
  return dcbParity <= kSpaceParity ? static_cast<std::uint8_t>(dcbParity + 1) : 1;
}

std::uint8_t ComPortStopSize(std::uint8_t dcbStopBits) {
  switch (dcbStopBits) {
    case kOne5StopBits:
      return 3;
    case kTwoStopBits:
      return 2;
    default:
      return 1;
  }
}

std::vector<ComPortCommand> ComPortSettings(const DCB& dcb) {
  const std::uint32_t rate = dcb.BaudRate;
  std::vector<ComPortCommand> commands = {
      {kSetBaudRate,
       {static_cast<std::uint8_t>(rate >> 24), static_cast<std::uint8_t>(rate >> 16),
        static_cast<std::uint8_t>(rate >> 8), static_cast<std::uint8_t>(rate)}},
      {kSetDataSize, {dcb.ByteSize}},
      {kSetParity, {ComPortParity(dcb.Parity)}},
      {kSetStopSize, {ComPortStopSize(dcb.StopBits)}},
  };
  auto control = [&commands](std::uint8_t value) { commands.push_back({kSetControl, {value}}); };
  // The output lines first, then the flow control that may take them over.
  control(dcb.fDtrControl == kDtrControlDisable ? kDtrOff : kDtrOn);
  control(dcb.fRtsControl == kRtsControlEnable || dcb.fRtsControl == kRtsControlHandshake
              ? kRtsOn
              : kRtsOff);
  control(dcb.fOutxCtsFlow ? kOutboundHardware
                           : (dcb.fOutxDsrFlow ? kOutboundDsrFlow : kOutboundNone));
  // Inbound flow is asked for only when wanted: a server may take "inbound
  // none" as "no hardware flow at all" and undo the outbound choice.
  if (dcb.fRtsControl == kRtsControlHandshake) {
    control(kInboundHardware);
  } else if (dcb.fDtrControl == kDtrControlHandshake) {
    control(kInboundDtrFlow);
  }
  return commands;
}

void AppendComPortCommand(const ComPortCommand& command, std::vector<std::uint8_t>& out) {
  out.insert(out.end(), {kIac, kSb, kComPort, command.command});
  for (const std::uint8_t byte : command.value) {
    out.push_back(byte);
    if (byte == kIac) out.push_back(kIac);
  }
  out.insert(out.end(), {kIac, kSe});
}

unsigned ModemLinesOfState(std::uint8_t state) {
  return ((state & kStateCts) ? kModemCts : 0u) | ((state & kStateDsr) ? kModemDsr : 0u) |
         ((state & kStateDcd) ? kModemDcd : 0u) | ((state & kStateRi) ? kModemRi : 0u);
}

void TelnetSession::Start(bool comPort, std::vector<std::uint8_t>& out) {
  m_wantComPort = comPort;
  auto ask = [&out](std::uint8_t verb, std::uint8_t option, State& state) {
    out.insert(out.end(), {kIac, verb, option});
    state = State::kAsked;
  };
  ask(kWill, kBinary, m_local[kBinary]);
  ask(kDo, kBinary, m_remote[kBinary]);
  ask(kDo, kSuppressGoAhead, m_remote[kSuppressGoAhead]);
  if (comPort) ask(kWill, kComPort, m_local[kComPort]);
}

bool TelnetSession::Wanted(std::uint8_t option, bool local) const {
  if (option == kBinary) return true;
  if (local) return option == kComPort && m_wantComPort;
  return option == kSuppressGoAhead;
}

void TelnetSession::Receive(const std::uint8_t* in, std::size_t length,
                            std::vector<std::uint8_t>& data, std::vector<std::uint8_t>& replies) {
  for (std::size_t i = 0; i < length; ++i) {
    const std::uint8_t byte = in[i];
    switch (m_parse) {
      case Parse::kCr:
        m_parse = Parse::kData;
        // CR NUL is a lone CR outside binary mode.
        if (byte == 0) break;
        [[fallthrough]];
      case Parse::kData:
        if (byte == kIac) {
          m_parse = Parse::kIac;
        } else {
          data.push_back(byte);
          if (byte == '\r' && !RemoteBinary()) m_parse = Parse::kCr;
        }
        break;
      case Parse::kIac:
        if (byte == kIac) {
          data.push_back(kIac);
          m_parse = Parse::kData;
        } else if (byte >= kWill && byte <= kDont) {
          m_verb = byte;
          m_parse = Parse::kVerb;
        } else if (byte == kSb) {
          m_sub.clear();
          m_parse = Parse::kSub;
        } else {
          m_parse = Parse::kData;  // NOP, GA, AYT...: nothing for a serial line
        }
        break;
      case Parse::kVerb:
        OnVerb(m_verb, byte, replies);
        m_parse = Parse::kData;
        break;
      case Parse::kSub:
        if (byte == kIac) {
          m_parse = Parse::kSubIac;
        } else if (m_sub.size() < kMaxSubnegotiation) {
          m_sub.push_back(byte);
        }
        break;
      case Parse::kSubIac:
        if (byte == kSe) {
          OnSubnegotiation();
          m_parse = Parse::kData;
        } else {
          // IAC IAC is a 255 in the value; anything else ends a broken one.
          if (byte == kIac && m_sub.size() < kMaxSubnegotiation) m_sub.push_back(kIac);
          m_parse = byte == kIac ? Parse::kSub : Parse::kData;
        }
        break;
    }
  }
}

// Answers only change the state, so neither side can loop: an option already
// in the state asked for gets no reply.
void TelnetSession::OnVerb(std::uint8_t verb, std::uint8_t option,
                           std::vector<std::uint8_t>& replies) {
  const bool local = verb == kDo || verb == kDont;
  const bool enable = verb == kDo || verb == kWill;
  State& state = local ? m_local[option] : m_remote[option];
  const std::uint8_t yes = local ? kWill : kDo;
  const std::uint8_t no = local ? kWont : kDont;
  if (enable) {
    if (state == State::kOn) return;
    if (!Wanted(option, local)) {
      replies.insert(replies.end(), {kIac, no, option});
      return;
    }
    if (state == State::kOff) replies.insert(replies.end(), {kIac, yes, option});
    state = State::kOn;
    return;
  }
  if (state == State::kOn) replies.insert(replies.end(), {kIac, no, option});
  state = State::kOff;
  if (local && option == kComPort) m_pending = 0;  // refused: nothing will answer
}

void TelnetSession::OnSubnegotiation() {
  if (m_sub.size() < 2 || m_sub[0] != kComPort || m_sub[1] < kServerOffset) return;
  const unsigned command = m_sub[1] - kServerOffset;
  if (command == kNotifyModemState) {
    if (m_sub.size() >= 3) {
      m_modemState = m_sub[2];
      ++m_modemStateCount;
    }
    return;
  }
  if (command == kNotifyLineState) return;  // unasked news, no answer
  if (command < m_answers.size()) ++m_answers[command];
  if (m_pending > 0) --m_pending;
}

void TelnetSession::Escape(const std::uint8_t* in, std::size_t length,
                           std::vector<std::uint8_t>& out) const {
  const bool binary = LocalBinary();
  for (std::size_t i = 0; i < length; ++i) {
    out.push_back(in[i]);
    if (in[i] == kIac) out.push_back(kIac);
    if (in[i] == '\r' && !binary) out.push_back(0);
  }
}

bool TelnetSession::Answering() const {
  const bool comPortOpen = m_local[kComPort] != State::kOff;
  return m_local[kBinary] == State::kAsked || m_remote[kBinary] == State::kAsked ||
         m_local[kComPort] == State::kAsked || (comPortOpen && m_pending > 0);
}

}  // namespace tarnwick
