#include "port/conversation.h"

#include <algorithm>
#include <cstring>

#ifndef _WIN32
#include <poll.h>

#include <cerrno>
#endif

namespace tarnwick {
namespace {

// How often a second port that is missing or lost, or a tap whose path was
// refused, is looked at again: the pace at which a missing device is.
constexpr int kRetryMs = 500;
// The longest wait where a source has no descriptor to poll: each is then
// looked at this often.
constexpr int kUnpolledMs = 10;
constexpr std::size_t kSecondReadChunk = 16 * 1024;

// About 20 ms of line time per chunk of the program's bytes: a Send data
// block waits at most that long for its next byte, and a chunk never blocks
// the worker long; the largest chunk keeps the turns few at high rates. A
// device that the line does not time takes the largest chunk: its server
// paces the line, and the socket takes what it has room for at once.
constexpr std::size_t kLargestChunk = 4096;
std::size_t ChunkFor(std::uint32_t baud, bool lineTimed) {
  return lineTimed ? std::clamp<std::size_t>(baud / 500, 64, kLargestChunk) : kLargestChunk;
}

}  // namespace

std::string SentLogPath(std::string_view rawPath) {
  const std::size_t slash = rawPath.find_last_of("/\\");
  const std::size_t nameStart = slash == std::string_view::npos ? 0 : slash + 1;
  const std::size_t dot = rawPath.rfind('.');
  // A dot that starts the name ("./.hidden") is no extension.
  if (dot == std::string_view::npos || dot <= nameStart) return std::string(rawPath) + ".sent";
  return std::string(rawPath.substr(0, dot)) + ".sent" + std::string(rawPath.substr(dot));
}

Conversation::~Conversation() = default;

void Conversation::Configure(const ConversationOptions& options) {
  std::lock_guard<std::mutex> lock(m_csConfig);
  m_configured = options;
  m_nConfigured.fetch_add(1, std::memory_order_release);
}

void Conversation::Close() {
  m_pTap.reset();
  m_pSecond.reset();
  m_bSecondWanted = false;
  m_toProgram.clear();
  m_nToProgramPos = 0;
  m_fromProgram.clear();
  m_nChunkPos = 0;
  m_options = {};
  m_nTaken = 0;  // taken again at the next Sync
}

void Conversation::LetGo() {
  const bool secondWanted = !m_options.strAlsoListenOn.empty();
  Close();
  m_strTapError.clear();
  m_strTapNotice.clear();
  m_strSecondError.clear();
  m_bSecondLost = false;
  m_bSecondMissing = false;
  m_strSecondReason = secondWanted ? kDisconnectedText : "";
  // Wanted but not open, so the status bar keeps its pane; nothing retries
  // it until Connect, as the worker serves nothing meanwhile.
  m_bSecondWanted = secondWanted;
  SetStatus({}, {});
}

bool Conversation::DeviceWritable(SerialDevice& device) {
#ifndef _WIN32
  if (const int fd = device.PollDescriptor(); fd >= 0) {
    struct pollfd p {
      fd, POLLOUT, 0
    };
    return ::poll(&p, 1, 0) > 0 && (p.revents & POLLOUT);
  }
#endif
  (void)device;
  return true;
}

std::string Conversation::Status() const {
  std::lock_guard<std::mutex> lock(m_csConfig);
  return m_strStatus;
}

std::string Conversation::TapStatus() const {
  std::lock_guard<std::mutex> lock(m_csConfig);
  return m_strTapStatus;
}

SecondPortState Conversation::SecondState() const {
  std::lock_guard<std::mutex> lock(m_csConfig);
  return m_secondState;
}

void Conversation::SetStatus(std::string text, std::string tap) {
  SecondPortState second{m_bSecondWanted, m_pSecond != nullptr, m_bSecondLost, m_bSecondMissing,
                         m_strSecondReason};
  bool news = false;
  bool stateChanged = false;
  {
    std::lock_guard<std::mutex> lock(m_csConfig);
    stateChanged = m_strTapStatus != tap || !(m_secondState == second);
    m_strTapStatus = std::move(tap);
    m_secondState = std::move(second);
    news = text != m_strStatus && !text.empty();
    m_strStatus = std::move(text);
  }
  if (stateChanged && m_stateChanged) m_stateChanged();
  if (news && m_statusChanged) m_statusChanged();
}

bool Conversation::Sync(const DCB& dcb) {
  ConversationOptions options;
  bool unchanged;
  {
    std::lock_guard<std::mutex> lock(m_csConfig);
    unchanged = m_nConfigured.load() == m_nTaken && std::memcmp(&dcb, &m_dcb, sizeof dcb) == 0;
    if (!unchanged) {
      options = m_configured;
      m_nTaken = m_nConfigured.load();
    }
  }
  if (unchanged) {
    RetryTap();
    return false;
  }
  const bool tapMoved = options.strTapPath != m_options.strTapPath;
  const bool secondMoved = options.strAlsoListenOn != m_options.strAlsoListenOn ||
                           std::memcmp(&dcb, &m_dcb, sizeof dcb) != 0;
  m_options = options;
  m_dcb = dcb;
  m_nChunk = ChunkFor(dcb.BaudRate, m_bLineTimed);
  if (tapMoved) {
    m_pTap.reset();  // removes the old link
    m_toProgram.clear();
    m_nToProgramPos = 0;
    m_strTapError.clear();
    m_strTapNotice.clear();
    if (!m_options.strTapPath.empty()) OpenTap(false);
  } else if (TapRefused()) {
    OpenTap(true);
  }
  if (secondMoved) {
    m_pSecond.reset();
    m_strSecondError.clear();
    m_strSecondReason.clear();
    m_bSecondLost = false;
    m_bSecondMissing = false;
    m_bSecondWanted = !m_options.strAlsoListenOn.empty();
    if (m_bSecondWanted) OpenSecond(dcb);
  }
  PublishStatus();
  return true;
}

void Conversation::OpenTap(bool retry) {
  m_lastTapTry = std::chrono::steady_clock::now();
  m_strTapError.clear();
  m_pTap = OpenProgramTap(m_options.strTapPath, m_dcb, &m_strTapError, &m_strTapNotice);
  if (m_pTap && retry && m_strTapNotice.empty())
    m_strTapNotice = "Offering the port at " + m_options.strTapPath + " now: it is free.";
}

void Conversation::RetryTap() {
  if (!TapRefused() ||
      std::chrono::steady_clock::now() - m_lastTapTry < std::chrono::milliseconds(kRetryMs))
    return;
  OpenTap(true);
  PublishStatus();
}

void Conversation::SetLineTimed(bool timed) {
  m_bLineTimed = timed;
  m_nChunk = ChunkFor(m_dcb.BaudRate, timed);
}

void Conversation::PublishStatus() {
  std::string tap = m_strTapNotice.empty() ? m_strTapError : m_strTapNotice;
  m_strTapNotice.clear();
  std::string text = tap;
  if (!m_strSecondError.empty()) text += (text.empty() ? "" : "\n") + m_strSecondError;
  SetStatus(std::move(text), std::move(tap));
}

void Conversation::OpenSecond(const DCB& dcb) {
  m_lastSecondTry = std::chrono::steady_clock::now();
  int error = 0;
  std::unique_ptr<SerialDevice> device = m_backend.Open(m_options.strAlsoListenOn, &error);
  if (device && !device->SetCommState(dcb)) error = device->LastError(), device.reset();
  COMMTIMEOUTS timeouts{};
  timeouts.ReadIntervalTimeout = 0xFFFFFFFF;
  if (device && !device->SetCommTimeouts(timeouts)) error = device->LastError(), device.reset();
  m_pSecond = std::move(device);
  m_bSecondMissing = !m_pSecond && m_backend.IsDeviceMissing(error);
  if (m_pSecond) {
    m_bSecondLost = false;
    m_strSecondReason.clear();
  } else if (!m_bSecondLost) {
    // A lost port keeps its loss as the reason while it is looked for.
    m_strSecondReason = "Open Port FAILED !" + m_backend.ErrorText(error);
  }
  m_strSecondError = m_pSecond
                         ? std::string()
                         : "Also listen on " + m_options.strAlsoListenOn + ": " + m_strSecondReason;
  // Published whether or not the text changed: whether the port is missing may have.
  PublishStatus();
}

void Conversation::FromDevice(const std::uint8_t* data, std::size_t length) {
  if (!m_pTap) return;
  // A program that opened the tap before these bytes were read gets them.
  m_pTap->TakeEvents();
  if (!m_pTap->ProgramPresent()) {
    m_toProgram.clear();
    m_nToProgramPos = 0;
    return;
  }
  if (Queued() == 0) {
    m_toProgram.clear();
    m_nToProgramPos = 0;
    const IoResult out = m_pTap->Write(data, length);
    data += out.count;
    length -= out.count;
  }
  m_toProgram.insert(m_toProgram.end(), data, data + length);
}

void Conversation::FlushToProgram() {
  if (Queued() == 0) return;
  const IoResult out = m_pTap->Write(m_toProgram.data() + m_nToProgramPos, Queued());
  m_nToProgramPos += out.count;
  if (Queued() == 0) {
    m_toProgram.clear();
    m_nToProgramPos = 0;
  }
}

bool Conversation::Serve(const SETTINGS& settings) {
  bool moved = false;
  if (m_pSecond) {
    std::uint8_t buffer[kSecondReadChunk];
    const IoResult in = m_pSecond->Read(buffer, sizeof buffer);
    if (in.count > 0) {
      DeliverSent(buffer, in.count, ReadTime::Now(), settings);
      moved = true;
    } else if (in.error != 0 && m_backend.IsDeviceGone(in.error)) {
      m_pSecond.reset();  // looked for again every kRetryMs
      m_bSecondLost = true;
      m_strSecondReason = "Port LOST !" + m_backend.ErrorText(in.error);
      m_strSecondError = "Also listen on " + m_options.strAlsoListenOn + ": " + m_strSecondReason;
      PublishStatus();
    }
  } else if (m_bSecondWanted) {
    if (std::chrono::steady_clock::now() - m_lastSecondTry >= std::chrono::milliseconds(kRetryMs))
      OpenSecond(m_dcb);
  }
  RetryTap();
  if (m_pTap) {
    m_pTap->TakeEvents();
    if (!m_pTap->ProgramPresent()) {
      m_toProgram.clear();
      m_nToProgramPos = 0;
    }
    const std::size_t before = Queued();
    FlushToProgram();
    moved = moved || Queued() != before;
    if (ChunkLength() == 0) {
      m_fromProgram.resize(m_nChunk);
      m_nChunkPos = 0;
      const IoResult in = m_pTap->Read(m_fromProgram.data(), m_fromProgram.size());
      m_fromProgram.resize(in.count);
      moved = moved || in.count > 0;
    }
  }
  return moved;
}

void Conversation::ChunkWritten(std::size_t count, const SETTINGS& settings) {
  if (count == 0) return;
  DeliverSent(ChunkData(), count, ReadTime::Now(), settings);
  m_nChunkPos += count;
}

void Conversation::DeliverSent(const std::uint8_t* data, std::size_t length, const ReadTime& time,
                               const SETTINGS& settings) {
  if (settings.bSaveRaw != 0) {
    const std::size_t rawLength = strnlen(settings.szRawFile, sizeof settings.szRawFile);
    const std::string_view raw(settings.szRawFile, rawLength);
    if (raw != m_strRawPath) {
      m_strRawPath = raw;
      m_strSentPath = SentLogPath(raw);
    }
    m_sentLog.Append(std::string_view(m_strSentPath), data, length);
  } else if (m_sentLog.IsOpen()) {
    m_sentLog.Close();
  }
  if (m_toScreen) m_toScreen(data, length, time);
  if (SentDataSink* sink = m_pSink.load(std::memory_order_acquire))
    sink->OnSent(data, length, time);
}

void Conversation::DeliverOwnSent(const std::uint8_t* data, std::size_t length,
                                  const ReadTime& time, const SETTINGS& settings, bool shown) {
  if (shown) return DeliverSent(data, length, time, settings);
  if (SentDataSink* sink = m_pSink.load(std::memory_order_acquire))
    sink->OnSent(data, length, time);
}

WaitResult Conversation::Wait(SerialDevice& device, bool wantRead, bool wantWrite, int timeoutMs) {
  if ((m_bSecondWanted && !m_pSecond) || TapRefused())
    timeoutMs = timeoutMs < 0 ? kRetryMs : std::min(timeoutMs, kRetryMs);
#ifndef _WIN32
  const int deviceFd = device.PollDescriptor();
  const int wakeFd = m_backend.WakeDescriptor();
  const int secondFd = m_pSecond ? m_pSecond->PollDescriptor() : -1;
  if (deviceFd >= 0 && wakeFd >= 0 && (!m_pSecond || secondFd >= 0)) {
    struct pollfd fds[5];
    nfds_t count = 0;
    auto add = [&](int fd, short events) { fds[count++] = {fd, events, 0}; };
    add(wakeFd, POLLIN);
    add(deviceFd, 0);
    if (m_pTap) {
      // The program's next chunk is read once the last one went.
      add(m_pTap->Descriptor(),
          static_cast<short>((ChunkLength() == 0 ? POLLIN : 0) | (Queued() > 0 ? POLLOUT : 0)));
      if (m_pTap->EventDescriptor() >= 0) add(m_pTap->EventDescriptor(), POLLIN);
    }
    if (m_pSecond) add(secondFd, POLLIN);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
      // Output the device holds (a socket's unsent tail) goes as soon as the
      // descriptor takes it, whether or not more is to be written.
      const bool held = device.HoldsOutput();
      fds[1].events =
          static_cast<short>((wantRead ? POLLIN : 0) | (wantWrite || held ? POLLOUT : 0));
      int waitMs = timeoutMs;
      if (timeoutMs >= 0) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        waitMs = static_cast<int>(std::max<std::chrono::milliseconds::rep>(left.count(), 0));
      }
      const int ready = ::poll(fds, count, waitMs);
      if (ready < 0 && errno == EINTR) continue;
      if (ready <= 0) return WaitResult::kTimeout;
      if ((fds[0].revents & POLLIN) && m_backend.ConsumeWake()) return WaitResult::kWoken;
      if (fds[1].revents & (POLLHUP | POLLERR | POLLNVAL)) return WaitResult::kHangUp;
      if (held && (fds[1].revents & POLLOUT)) {
        if (device.SendHeldOutput() != 0) return WaitResult::kHangUp;
        // Only the held output was ready: nothing for the turn yet.
        const bool other =
            std::any_of(fds + 2, fds + count, [](const pollfd& p) { return p.revents != 0; });
        if (!wantWrite && !(fds[1].revents & POLLIN) && !other) continue;
      }
      // Whatever else is ready is looked at in the next turn.
      return WaitResult::kReady;
    }
  }
#endif
  // A source without a descriptor: each is looked at every kUnpolledMs.
  if (!wantRead) return m_backend.Sleep(kUnpolledMs);
  return device.Wait(wantWrite, timeoutMs < 0 ? kUnpolledMs : std::min(timeoutMs, kUnpolledMs));
}

}  // namespace tarnwick
