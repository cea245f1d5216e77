// The far end of a COM port under Wine: tests/windows/far_side.py links a
// COM number to a pseudo-terminal on the Linux side and plays the device,
// driven over a loopback connection named in TARNWICK_FAR_SIDE.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstdint>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace tarnwick::testing {

class FarSide {
 public:
  FarSide() {
    const char* address = std::getenv("TARNWICK_FAR_SIDE");
    if (address == nullptr) return;
    const std::string text(address);
    const std::size_t colon = text.rfind(':');
    if (colon == std::string::npos) return;
    WSADATA data;
    if (::WSAStartup(MAKEWORD(2, 2), &data) != 0) return;
    m_bStarted = true;
    sockaddr_in server{};
    server.sin_family = AF_INET;
    server.sin_port = ::htons(static_cast<u_short>(std::atoi(text.c_str() + colon + 1)));
    if (::inet_pton(AF_INET, text.substr(0, colon).c_str(), &server.sin_addr) != 1) return;
    m_socket = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (m_socket == INVALID_SOCKET) return;
    if (::connect(m_socket, reinterpret_cast<const sockaddr*>(&server), sizeof server) != 0) {
      ::closesocket(m_socket);
      m_socket = INVALID_SOCKET;
    }
  }
  ~FarSide() {
    if (m_socket != INVALID_SOCKET) ::closesocket(m_socket);
    if (m_bStarted) ::WSACleanup();
  }
  FarSide(const FarSide&) = delete;
  FarSide& operator=(const FarSide&) = delete;

  bool ok() const { return m_socket != INVALID_SOCKET; }
  // The last reply that was not "ok", for failure messages.
  const std::string& LastError() const { return m_strLastError; }

  // A COM number linked to a new pseudo-terminal, to a regular file, or to
  // nothing that exists; 0 on failure.
  int NewPty() { return Number(Ask("pty")); }
  int NewFile() { return Number(Ask("file")); }
  int NewMissing() { return Number(Ask("missing")); }

  bool Write(int port, const std::vector<std::uint8_t>& bytes) {
    return Ask("write " + std::to_string(port) + " " + Hex(bytes)).has_value;
  }
  bool Write(int port, const std::string& text) {
    return Write(port, std::vector<std::uint8_t>(text.begin(), text.end()));
  }
  // Reads until count bytes arrived or timeoutMs passed.
  std::vector<std::uint8_t> Read(int port, std::size_t count, int timeoutMs) {
    const Reply reply = Ask("read " + std::to_string(port) + " " + std::to_string(count) + " " +
                            std::to_string(timeoutMs));
    return Bytes(reply.text);
  }
  std::string ReadText(int port, std::size_t count, int timeoutMs) {
    const std::vector<std::uint8_t> bytes = Read(port, count, timeoutMs);
    return std::string(bytes.begin(), bytes.end());
  }
  // The line as the far side sees it configured: the termios flags cstopb,
  // parodd, cmspar, crtscts, clocal, cread as "0" or "1", raw ("1": no
  // line editing, echo or output processing) and the rates ispeed, ospeed.
  std::map<std::string, std::string> Line(int port) {
    std::map<std::string, std::string> fields;
    std::istringstream words(Ask("line " + std::to_string(port)).text);
    for (std::string word; words >> word;) {
      const std::size_t equals = word.find('=');
      if (equals != std::string::npos) fields[word.substr(0, equals)] = word.substr(equals + 1);
    }
    return fields;
  }
  // Closes the far side, as a pulled adapter.
  bool HangUp(int port) { return Ask("hangup " + std::to_string(port)).has_value; }
  // Links the port to a fresh pseudo-terminal, as an adapter plugged back in.
  bool Renew(int port) { return Ask("renew " + std::to_string(port)).has_value; }

 private:
  struct Reply {
    bool has_value = false;
    std::string text;
  };

  Reply Ask(const std::string& command) {
    Reply reply;
    if (!ok()) return reply;
    const std::string line = command + "\n";
    if (::send(m_socket, line.data(), static_cast<int>(line.size()), 0) !=
        static_cast<int>(line.size())) {
      return reply;
    }
    std::string answer;
    for (;;) {
      const std::size_t end = m_received.find('\n');
      if (end != std::string::npos) {
        answer = m_received.substr(0, end);
        m_received.erase(0, end + 1);
        break;
      }
      char buffer[4096];
      const int n = ::recv(m_socket, buffer, sizeof buffer, 0);
      if (n <= 0) return reply;
      m_received.append(buffer, static_cast<std::size_t>(n));
    }
    if (answer.rfind("ok", 0) != 0) {
      m_strLastError = answer;
      return reply;
    }
    reply.has_value = true;
    reply.text = answer.size() > 3 ? answer.substr(3) : std::string();
    return reply;
  }

  static int Number(const Reply& reply) {
    return reply.has_value ? std::atoi(reply.text.c_str()) : 0;
  }

  static std::string Hex(const std::vector<std::uint8_t>& bytes) {
    static const char kDigits[] = "0123456789abcdef";
    std::string text;
    for (const std::uint8_t b : bytes) {
      text += kDigits[b >> 4];
      text += kDigits[b & 15];
    }
    return text;
  }

  static std::vector<std::uint8_t> Bytes(const std::string& hex) {
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
      bytes.push_back(static_cast<std::uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
    }
    return bytes;
  }

  bool m_bStarted = false;
  SOCKET m_socket = INVALID_SOCKET;
  std::string m_received;
  std::string m_strLastError;
};

}  // namespace tarnwick::testing
