// The telnet side of a serial server's port, on plain bytes.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "port/network_port_name.h"
#include "port/serial_device.h"
#include "port/telnet_session.h"

namespace tarnwick {
namespace {

using namespace telnet;
using Bytes = std::vector<std::uint8_t>;

// A session that has asked for binary both ways and the COM-PORT-OPTION.
TelnetSession Started() {
  TelnetSession session;
  Bytes ignored;
  session.Start(true, ignored);
  return session;
}

// What the server says, what this side answers, and the options then in force.
struct NegotiationCase {
  const char* name;
  Bytes fromServer;
  Bytes replies;
  bool localBinary;
  bool remoteBinary;
  bool comPort;
  bool answering;
};

TEST(TelnetSession, NegotiationAnswersOnlyWhatChangesAState) {
  const NegotiationCase cases[] = {
      {"acknowledgements need no reply",
       {kIac, kDo, kBinary, kIac, kWill, kBinary, kIac, kDo, kComPort, kIac, kWill,
        kSuppressGoAhead},
       {},
       true,
       true,
       true,
       false},
      {"unwanted offers and requests are refused",
       {kIac, kWill, kEcho, kIac, kDo, 24, kIac, kDo, kEcho},
       {kIac, kDont, kEcho, kIac, kWont, 24, kIac, kWont, kEcho},
       false,
       false,
       false,
       true},
      {"a refusal of what was asked for is not answered",
       {kIac, kDont, kBinary, kIac, kWont, kBinary, kIac, kDont, kComPort, kIac, kWont,
        kSuppressGoAhead},
       {},
       false,
       false,
       false,
       false},
      {"an option switched off after agreement is confirmed once",
       {kIac, kDo, kBinary, kIac, kDont, kBinary, kIac, kDont, kBinary},
       {kIac, kWont, kBinary},
       false,
       false,
       false,
       true},
      {"a repeated request is answered once",
       {kIac, kWill, kBinary, kIac, kWill, kBinary},
       {},
       false,
       true,
       false,
       true},
  };
  for (const NegotiationCase& c : cases) {
    TelnetSession session = Started();
    Bytes data;
    Bytes replies;
    session.Receive(c.fromServer.data(), c.fromServer.size(), data, replies);
    EXPECT_TRUE(data.empty()) << c.name;
    EXPECT_EQ(replies, c.replies) << c.name;
    EXPECT_EQ(session.LocalBinary(), c.localBinary) << c.name;
    EXPECT_EQ(session.RemoteBinary(), c.remoteBinary) << c.name;
    EXPECT_EQ(session.ComPort(), c.comPort) << c.name;
    EXPECT_EQ(session.Answering(), c.answering) << c.name;
  }
}

TEST(TelnetSession, AnswersToCommandsEndTheWaitAndModemStateIsRead) {
  TelnetSession session = Started();
  const Bytes agreed = {kIac, kDo, kBinary, kIac, kWill, kBinary, kIac, kDo, kComPort};
  Bytes data;
  Bytes replies;
  session.Receive(agreed.data(), agreed.size(), data, replies);
  session.Expect();
  session.Expect();
  EXPECT_TRUE(session.Answering());
  // The baud answer carries an IAC in its value; line and modem news are no answers.
  const Bytes news = {kIac, kSb,  kComPort, 101,      0,        0,    kIac, kIac,
                      kIac, kSe,  kIac,     kSb,      kComPort, 106,  0,    kIac,
                      kSe,  kIac, kSb,      kComPort, 107,      0xB0, kIac, kSe};
  session.Receive(news.data(), news.size(), data, replies);
  EXPECT_TRUE(session.Answering());
  EXPECT_EQ(session.Answered(kSetBaudRate), 1u);
  EXPECT_EQ(ModemLinesOfState(session.ModemState()), unsigned{kModemCts | kModemDsr | kModemDcd});
  const Bytes stop = {kIac, kSb, kComPort, 104, 1, kIac, kSe};
  session.Receive(stop.data(), stop.size(), data, replies);
  EXPECT_FALSE(session.Answering());
  EXPECT_TRUE(data.empty());
}

// Received bytes, given whole and split at every position, decode the same.
struct DecodeCase {
  const char* name;
  bool binary;
  Bytes fromServer;
  Bytes data;
};

TEST(TelnetSession, ReceivedDataIsUnescapedWhereverTheReadsSplitIt) {
  const DecodeCase cases[] = {
      {"doubled IAC is one 0xFF",
       true,
       {1, kIac, kIac, 2, kIac, kIac, kIac, kIac},
       {1, 255, 2, 255, 255}},
      {"commands inside data vanish",
       true,
       {'a', kIac, kSb, kComPort, 107, kIac, kIac, kIac, kSe, 'b', kIac, 241, 'c'},
       {'a', 'b', 'c'}},
      {"CR NUL is a CR outside binary",
       false,
       {'\r', 0, 'x', '\r', '\n', 0},
       {'\r', 'x', '\r', '\n', 0}},
      {"CR NUL is two bytes in binary", true, {'\r', 0}, {'\r', 0}},
  };
  for (const DecodeCase& c : cases) {
    for (std::size_t split = 0; split <= c.fromServer.size(); ++split) {
      TelnetSession session = Started();
      Bytes data;
      Bytes replies;
      if (c.binary) {
        const Bytes agreed = {kIac, kWill, kBinary};
        session.Receive(agreed.data(), agreed.size(), data, replies);
      }
      session.Receive(c.fromServer.data(), split, data, replies);
      session.Receive(c.fromServer.data() + split, c.fromServer.size() - split, data, replies);
      EXPECT_EQ(data, c.data) << c.name << ", split at " << split;
    }
  }
}

struct EscapeCase {
  const char* name;
  bool binary;
  Bytes data;
  Bytes sent;
};

TEST(TelnetSession, SentDataIsEscaped) {
  const EscapeCase cases[] = {
      {"IAC doubled", true, {0, kIac, '\r', kIac}, {0, kIac, kIac, '\r', kIac, kIac}},
      {"CR followed by NUL outside binary", false, {'\r', '\n', kIac}, {'\r', 0, '\n', kIac, kIac}},
  };
  for (const EscapeCase& c : cases) {
    TelnetSession session = Started();
    Bytes ignored;
    if (c.binary) {
      const Bytes agreed = {kIac, kDo, kBinary};
      session.Receive(agreed.data(), agreed.size(), ignored, ignored);
    }
    Bytes sent;
    session.Escape(c.data.data(), c.data.size(), sent);
    EXPECT_EQ(sent, c.sent) << c.name;
  }
}

DCB LineOf(std::uint32_t rate, std::uint8_t parity, std::uint8_t stop, bool cts, bool dsr,
           std::uint32_t dtr, std::uint32_t rts) {
  DCB dcb{};
  dcb.BaudRate = rate;
  dcb.ByteSize = 7;
  dcb.Parity = parity;
  dcb.StopBits = stop;
  dcb.fOutxCtsFlow = cts;
  dcb.fOutxDsrFlow = dsr;
  dcb.fDtrControl = dtr;
  dcb.fRtsControl = rts;
  return dcb;
}

struct SettingsCase {
  const char* name;
  DCB dcb;
  std::vector<ComPortCommand> commands;
};

TEST(ComPortSettings, LineBecomesCommandsInRfc2217Numbering) {
  const SettingsCase cases[] = {
      {"odd, 1.5 stop, no flow, lines low",
       LineOf(9600, kOddParity, kOne5StopBits, false, false, kDtrControlDisable,
              kRtsControlDisable),
       {{kSetBaudRate, {0, 0, 0x25, 0x80}},
        {kSetDataSize, {7}},
        {kSetParity, {2}},
        {kSetStopSize, {3}},
        {kSetControl, {kDtrOff}},
        {kSetControl, {kRtsOff}},
        {kSetControl, {kOutboundNone}}}},
      {"space, 2 stop, CTS flow wins over DSR flow, RTS handshake",
       LineOf(3000000, kSpaceParity, kTwoStopBits, true, true, kDtrControlEnable,
              kRtsControlHandshake),
       {{kSetBaudRate, {0, 0x2D, 0xC6, 0xC0}},
        {kSetDataSize, {7}},
        {kSetParity, {5}},
        {kSetStopSize, {2}},
        {kSetControl, {kDtrOn}},
        {kSetControl, {kRtsOn}},
        {kSetControl, {kOutboundHardware}},
        {kSetControl, {kInboundHardware}}}},
      {"mark, DSR flow, DTR handshake, RTS toggle left low",
       LineOf(255, kMarkParity, kOneStopBit, false, true, kDtrControlHandshake, kRtsControlToggle),
       {{kSetBaudRate, {0, 0, 0, 255}},
        {kSetDataSize, {7}},
        {kSetParity, {4}},
        {kSetStopSize, {1}},
        {kSetControl, {kDtrOn}},
        {kSetControl, {kRtsOff}},
        {kSetControl, {kOutboundDsrFlow}},
        {kSetControl, {kInboundDtrFlow}}}},
  };
  for (const SettingsCase& c : cases) {
    EXPECT_EQ(ComPortSettings(c.dcb), c.commands) << c.name;
  }
  // The record's parity order is not the protocol's.
  const std::pair<std::uint8_t, std::uint8_t> parities[] = {
      {kNoParity, 1}, {kOddParity, 2}, {kEvenParity, 3}, {kMarkParity, 4}, {kSpaceParity, 5}};
  for (const auto& [dcbParity, wire] : parities) EXPECT_EQ(ComPortParity(dcbParity), wire);
  Bytes encoded;
  AppendComPortCommand({kSetBaudRate, {0, 0, 0, 255}}, encoded);
  EXPECT_EQ(encoded, (Bytes{kIac, kSb, kComPort, 1, 0, 0, 0, kIac, kIac, kIac, kSe}));
}

struct NameCase {
  const char* text;
  bool network;
  std::optional<NetworkPortName> parsed;
};

TEST(NetworkPortName, SchemesHostsAndPorts) {
  const NameCase cases[] = {
      {"rfc2217://127.0.0.1:7000", true, NetworkPortName{true, "127.0.0.1", "7000"}},
      {"TCP://server.local:65535/", true, NetworkPortName{false, "server.local", "65535"}},
      {"rfc2217://[::1]:2217", true, NetworkPortName{true, "::1", "2217"}},
      {"rfc2217://::1:2217", true, std::nullopt},
      {"tcp://host", true, std::nullopt},
      {"tcp://host:0", true, std::nullopt},
      {"tcp://host:65536", true, std::nullopt},
      {"tcp://:80", true, std::nullopt},
      {"tcp://a b:80", true, std::nullopt},
      {"/dev/ttyUSB0", false, std::nullopt},
  };
  for (const NameCase& c : cases) {
    EXPECT_EQ(IsNetworkPortName(c.text), c.network) << c.text;
    EXPECT_EQ(ParseNetworkPortName(c.text), c.parsed) << c.text;
  }
}

}  // namespace
}  // namespace tarnwick
