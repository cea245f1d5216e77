// The sources the port worker serves beside the device: the tap (a program
// that talks to the device through this one) and a second port that only
// listens. Bytes from the device go on to the tap's program; the program's
// bytes go to the device in chunks; the program's and the second port's
// bytes are the sent direction: logged in the second raw log and handed to
// the sent-data sink.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "display/output_file.h"
#include "display/read_time.h"
#include "port/port_status_text.h"
#include "port/program_tap.h"
#include "port/sent_data_sink.h"
#include "port/serial_device.h"
#include "settings/conversation_options.h"
#include "settings/settings.h"

namespace tarnwick {

// The second raw log's name: the raw log's with ".sent" before its extension
// ("capture.bin" -> "capture.sent.bin"), or appended when it has none.
std::string SentLogPath(std::string_view rawPath);

class Conversation {
 public:
  // Device bytes held for a program that reads slower than they come; above
  // this the device is not read until the program has taken some.
  static constexpr std::size_t kProgramQueueLimit = 64 * 1024;

  explicit Conversation(SerialBackend& backend) : m_backend(backend) {}
  ~Conversation();
  Conversation(const Conversation&) = delete;
  Conversation& operator=(const Conversation&) = delete;

  // Any thread: what to serve from the next Sync on.
  void Configure(const ConversationOptions& options);
  // Any thread: why the tap or the second port is not served, empty when
  // both are as configured.
  std::string Status() const;
  // Any thread: why the tap is not served, or once the news that a tap
  // refused before is offered now; empty otherwise. And where the second
  // port stands.
  std::string TapStatus() const;
  SecondPortState SecondState() const;
  void SetSentSink(SentDataSink* sink) { m_pSink.store(sink, std::memory_order_release); }
  // Before the worker starts: where sent-direction bytes go on the screen,
  // after the second raw log and before the sink.
  using ScreenFeed = std::function<void(const std::uint8_t*, std::size_t, const ReadTime&)>;
  void SetScreenFeed(ScreenFeed feed) { m_toScreen = std::move(feed); }
  // Before the worker starts: where the second raw log reports whether it writes.
  void SetLogFailures(LogFailures* failures) { m_sentLog.SetReporter(failures, LogKind::kSent); }
  // Before the worker starts: called on the worker's thread when Status()
  // changed to a new reason; it must only hand the news on.
  void SetStatusListener(std::function<void()> listener) { m_statusChanged = std::move(listener); }
  // Before the worker starts: called on the worker's thread when TapStatus()
  // or SecondState() changed in any way, a port back included.
  void SetStateListener(std::function<void()> listener) { m_stateChanged = std::move(listener); }

  // Worker thread from here on.

  // Takes the configuration published last: creates or removes the tap (a
  // tap whose path did not change stays, with its program), opens the second
  // port with the device's line settings. Returns true when anything changed;
  // when nothing did, a refused tap is tried again (see RetryTap).
  bool Sync(const DCB& dcb);
  // A tap whose path was refused (it exists, another run holds it) is tried
  // again once the retry period has passed since the last try, and offered
  // as soon as the path is free. Each turn, and while the device is away.
  void RetryTap();
  // The device just opened: whether its output is measured out by line time
  // (a terminal) or goes as fast as it is taken (a network port).
  void SetLineTimed(bool timed);
  // Configure was called since the last Sync: one atomic load.
  bool ConfigChanged() const { return m_nConfigured.load(std::memory_order_acquire) != m_nTaken; }
  // The worker ends: the tap's link goes, the second port closes.
  void Close();
  // Disconnect: as Close, and the second port's state says why it is
  // closed; the next Sync takes the configuration again (Connect).
  void LetGo();
  // Serves nothing and holds nothing: the worker runs as without it.
  bool Active() const {
    return m_pTap != nullptr || m_pSecond != nullptr || m_bSecondWanted || TapRefused();
  }
  bool ShowSentData() const { return m_options.bShowSentData; }

  // False while the program has not taken what the device sent before.
  bool WantsDeviceInput() const { return Queued() < kProgramQueueLimit; }
  // Bytes read from the device: on to the program, if one has the tap open.
  void FromDevice(const std::uint8_t* data, std::size_t length);
  // One turn: hands queued device bytes to the program, reads the second
  // port (its bytes delivered at once) and the program's next chunk. True
  // when anything moved.
  bool Serve(const SETTINGS& settings);

  // The program's bytes waiting for the device, at most one chunk.
  const std::uint8_t* ChunkData() const { return m_fromProgram.data() + m_nChunkPos; }
  std::size_t ChunkLength() const { return m_fromProgram.size() - m_nChunkPos; }
  // count bytes of the chunk went to the device: they are delivered as sent.
  void ChunkWritten(std::size_t count, const SETTINGS& settings);

  // Sent-direction bytes: to the second raw log (while the raw log is on),
  // the screen and the sink.
  void DeliverSent(const std::uint8_t* data, std::size_t length, const ReadTime& time,
                   const SETTINGS& settings);
  // This program's own bytes (Send data, the send queue): shown as
  // DeliverSent does when shown; the sink hears them either way.
  void DeliverOwnSent(const std::uint8_t* data, std::size_t length, const ReadTime& time,
                      const SETTINGS& settings, bool shown);

  // The program changed its rate or stop bits.
  bool TakeProgramLine(ProgramLine* line) { return m_pTap && m_pTap->TakeLineChange(line); }

  // Whether the device takes output now without holding the worker.
  static bool DeviceWritable(SerialDevice& device);

  // Waits as device->Wait does, and also for the tap and the second port.
  // wantRead: the device's input is wanted now.
  WaitResult Wait(SerialDevice& device, bool wantRead, bool wantWrite, int timeoutMs);

 private:
  std::size_t Queued() const { return m_toProgram.size() - m_nToProgramPos; }
  bool TapRefused() const {
    return kProgramTapAvailable && !m_pTap && !m_options.strTapPath.empty();
  }
  void FlushToProgram();
  // retry: the path was refused before, so an offer now is news.
  void OpenTap(bool retry);
  void OpenSecond(const DCB& dcb);
  // The tap's and the second port's news as one status; a notice is told once.
  void PublishStatus();
  // text: the whole status; tap: the tap's part of it.
  void SetStatus(std::string text, std::string tap);

  SerialBackend& m_backend;
  std::atomic<SentDataSink*> m_pSink{nullptr};

  mutable std::mutex m_csConfig;
  ConversationOptions m_configured;
  std::atomic<std::uint64_t> m_nConfigured{0};  // version of m_configured
  std::string m_strStatus;
  std::string m_strTapStatus;
  SecondPortState m_secondState;
  std::function<void()> m_statusChanged;
  std::function<void()> m_stateChanged;
  ScreenFeed m_toScreen;

  // The worker's copy.
  ConversationOptions m_options;
  std::uint64_t m_nTaken = 0;
  std::unique_ptr<ProgramTap> m_pTap;
  std::string m_strTapError;
  std::string m_strTapNotice;  // told once: a stale link replaced, an offer after a refusal
  std::chrono::steady_clock::time_point m_lastTapTry{};
  std::unique_ptr<SerialDevice> m_pSecond;
  bool m_bSecondWanted = false;  // configured, but not open (missing, lost)
  bool m_bSecondLost = false;    // lost and not open again since
  bool m_bSecondMissing = false;
  std::string m_strSecondReason;
  std::string m_strSecondError;
  std::chrono::steady_clock::time_point m_lastSecondTry{};
  DCB m_dcb{};
  bool m_bLineTimed = true;
  std::size_t m_nChunk = 64;

  std::vector<std::uint8_t> m_toProgram;
  std::size_t m_nToProgramPos = 0;
  std::vector<std::uint8_t> m_fromProgram;
  std::size_t m_nChunkPos = 0;

  OutputFile m_sentLog;
  std::string m_strRawPath;  // the raw log path m_strSentPath was made from
  std::string m_strSentPath;
};

}  // namespace tarnwick
