#include "port/port_worker.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <string_view>

#ifdef __linux__
#include <pthread.h>
#endif

namespace tarnwick {

namespace {

// Retry period of the wait phase and of a lost port's recovery.
constexpr int kRetryMs = 500;
// Tries without a request once a missing device has appeared but cannot be
// opened yet: about two seconds.
constexpr int kSettleTries = 4;
// Back-off when the device says "ready" but nothing could be moved, so a
// misreporting driver cannot turn the loop into a busy wait.
constexpr int kNothingMovedBackoffMs = 10;
// Everything that arrived is taken in one read.
constexpr std::size_t kReadChunk = 16 * 1024;
// The most of a transmit block a device the line does not time is given in
// one turn: the turn stays short, and an abort is seen within this much.
constexpr std::int32_t kUntimedTxBatch = 4096;
// How often input is looked for while a transmit block flows.
constexpr auto kFlowingReadInterval = std::chrono::milliseconds(1);
// While input comes faster than this, it is read once per this period
// instead of at every arrival: a driver hands a burst on in pieces, each a
// wake-up. A byte then waits at most this long for its read.
constexpr int kGatherMs = 1;
constexpr auto kGatherPeriod = std::chrono::milliseconds(kGatherMs);
// A read this large suggests more is waiting: read again at once. Input of
// this much per gathering period is not gathered either: the driver's buffer
// would fill while the worker waits, and the line would be held up.
constexpr std::size_t kBacklogRead = 2048;

using Clock = std::chrono::steady_clock;

// Draining at stop: the line counts as empty once quiet this long (bytes a
// sender wrote just before the stop are still on their way through the
// driver), and the drain ends after kDrainLimit whatever comes.
constexpr int kDrainQuietMs = 100;
constexpr auto kDrainLimit = std::chrono::seconds(2);

// The error shown for a hang-up that came without an error code.
#ifdef _WIN32
constexpr int kHangUpError = 1167;  // ERROR_DEVICE_NOT_CONNECTED
#else
constexpr int kHangUpError = EIO;
#endif

// The settings path up to its NUL, or the whole buffer when the NUL is missing.
template <std::size_t N>
std::string_view PathOf(const char (&buffer)[N]) {
  const void* nul = std::memchr(buffer, 0, N);
  return {buffer, nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - buffer) : N};
}

}  // namespace

PortWorker::PortWorker(const LiveSettings& settings, SerialBackend& backend, ScreenModel* view,
                       RepaintSink* sink)
    : m_settings(settings), m_line(m_settings.Get(), backend), m_sink(sink) {
  m_pView.store(view);
  m_conversation.SetScreenFeed(
      [this](const std::uint8_t* data, std::size_t length, const ReadTime& time) {
        if (ScreenModel* model = m_pView.load())
          model->AddSentBytes(data, length, time, m_pObserver.load(std::memory_order_acquire));
      });
  m_rawLog.SetRotation(RotationPolicyOf(m_settings.Options()));
  m_line.Backend().SetOpenCancel([this] { return OpenCancelled(); });
  m_queue.SetWake([this] { m_line.Backend().Wake(); });
}

PortWorker::~PortWorker() {
  Stop();
  m_line.Backend().SetOpenCancel(nullptr);
}

bool PortWorker::OpenCancelled() const {
  return !m_bRunning.load() || !m_bConnectWanted.load() ||
         m_nReopenRequests.load() != m_nOpenGeneration;
}

void PortWorker::Start() { m_thread = std::thread(&PortWorker::PortThreadProc, this); }

int PortWorker::PortThreadProc(PortWorker* app) {
#ifdef __linux__
  // A name for top -H, perf and the benchmarks (at most 15 characters).
  pthread_setname_np(pthread_self(), "tarnwick-port");
#endif
  return app->RunPortWorker();
}

void PortWorker::Stop() {
  m_bRunning.store(false);
  m_line.Backend().Wake();
  // The worker holds m_csWorker for its whole run: taking it waits for the end.
  m_csWorker.lock();
  m_csWorker.unlock();
  if (m_thread.joinable()) m_thread.join();
  m_pView.store(nullptr);
}

void PortWorker::RequestReopen() {
  m_nReopenRequests.fetch_add(1);
  m_bReopenPort.store(true);
  m_line.Backend().Wake();
}

void PortWorker::RequestDisconnect() {
  m_bConnectWanted.store(false);
  m_line.Backend().Wake();
}

void PortWorker::RequestConnect() {
  m_bConnectWanted.store(true);
  m_line.Backend().Wake();
}

void PortWorker::HandOver(const std::uint8_t* block, std::int32_t length) {
  // An empty block has no byte at position 0 to send.
  if (block == nullptr || length <= 0) return;
  m_nTxBlockSize.store(length, std::memory_order_relaxed);
  m_nTxLength.store(length, std::memory_order_relaxed);
  m_nTxPos.store(0, std::memory_order_relaxed);
  m_pTxBuffer.store(block, std::memory_order_release);
  m_line.Backend().Wake();
}

void PortWorker::SetTxLength(std::int32_t length) {
  m_nTxLength.store(length, std::memory_order_relaxed);
  m_line.Backend().Wake();
}

void PortWorker::ResetCounters(std::uint32_t bytesShown) {
  // Modulo 2^32, as the counter wraps.
  m_nBytesRead.fetch_sub(static_cast<std::int32_t>(bytesShown), std::memory_order_relaxed);
  m_nBytesWritten.store(0, std::memory_order_relaxed);
  m_lineState.ResetErrors();
}

int PortWorker::RunPortWorker() {
  std::lock_guard<std::mutex> lifetime(m_csWorker);
  bool openNeeded = true;
  while (m_bRunning.load()) {
    if (!m_bConnectWanted.load()) {
      StayDisconnected();
      openNeeded = true;
      continue;
    }
    if (openNeeded) {
      m_bReopenPort.store(false);
      m_bPortOpen.store(OpenPort());
      if (!m_bPortOpen.load()) WaitForReopenRequest();
      if (!m_bRunning.load()) break;
      if (!m_bPortOpen.load()) continue;  // a Disconnect ended the wait
    }
    RepaintAll();  // the header now shows the counters
    int lostError = 0;
    switch (TransferLoop(&lostError)) {
      case TransferEnd::kStopped:
        openNeeded = true;
        break;
      case TransferEnd::kReopen:
        openNeeded = true;
        break;
      case TransferEnd::kLost:
        ReportLoss(lostError);
        openNeeded = !RecoverLostPort();
        break;
    }
  }
  // The port stays open; the owner closes it when the program ends.
  m_lineState.Detach();
  m_conversation.Close();  // the tap's link goes with the worker
  return 0;
}

// Takes the record the user-interface thread published last. A raw log that
// was switched off is closed; one whose path changed reopens at its next write.
void PortWorker::SyncSettings() {
  if (!m_settings.Refresh()) return;
  m_rawLog.SetRotation(RotationPolicyOf(m_settings.Options()));
  if (m_settings.Get().bSaveRaw == 0) m_rawLog.Close();
}

// Every open uses the line settings as they were last published.
bool PortWorker::OpenPort(bool keepStatus) {
  SyncSettings();
  m_lineState.Detach();
  m_nOpenGeneration = m_nReopenRequests.load();
  const bool open = keepStatus ? m_line.OpenPortKeepingStatus() : m_line.OpenPort();
  if (open) {
    m_conversation.SetLineTimed(m_line.Device()->LineTimed());
    m_pacing.SetLine(m_line.Dcb());
    // A slow reader of a FIFO log may hold a batch no longer than the line
    // took to bring it.
    m_rawLog.SetWaitPerByte(std::chrono::nanoseconds(m_pacing.CharNanoseconds()));
    m_lineState.Attach(*m_line.Device(), m_line.Dcb());
  }
  // The tap is offered whether or not the device is there.
  m_conversation.Sync(m_line.Dcb());
  if (open) ApplyProgramLine();
  return open;
}

// The port could not be opened: show why. A device that does not exist (yet)
// is looked for every 500 ms without being asked, and for a few periods more
// once it has appeared, while it may still be getting ready (its permissions
// set, its driver bound). Any other failure (busy, refused, settings
// rejected) is tried again only once a reopen request was made, then every
// 500 ms (the request stays set, so the port is opened once more right after
// it succeeds).
void PortWorker::WaitForReopenRequest() {
  int unaskedTries = 0;
  while (m_bRunning.load() && m_bConnectWanted.load() && !m_bPortOpen.load()) {
    RepaintAll();
    unaskedTries = m_line.DeviceMissing() ? kSettleTries : std::max(unaskedTries - 1, 0);
    while (m_bRunning.load() && m_bConnectWanted.load()) {
      m_line.Backend().Sleep(kRetryMs);
      if (m_bRunning.load() && (m_bReopenPort.load() || unaskedTries > 0)) {
        m_bPortOpen.store(OpenPort());
        break;
      }
      TendConversation();
    }
  }
}

// A port that vanished is tried again every 500 ms without being asked, so
// reception resumes when the adapter comes back. A reopen request hands over
// to the ordinary reopen cycle. True when the port is open again.
bool PortWorker::RecoverLostPort() {
  while (m_bRunning.load()) {
    m_line.Backend().Sleep(kRetryMs);
    if (!m_bRunning.load() || m_bReopenPort.load() || !m_bConnectWanted.load()) return false;
    TendConversation();
    // Still absent: the loss stays the reason shown, without a glimpse of
    // the retry's own failure text.
    if (OpenPort(true)) {
      m_bPortOpen.store(true);
      return true;
    }
  }
  return false;
}

// Nothing is held while disconnected, so another program can have the
// device; a reopen request (Port Settings) only takes effect at Connect,
// which opens with the settings as they are then.
void PortWorker::StayDisconnected() {
  m_lineState.Detach();
  m_line.ClosePort();
  m_conversation.LetGo();
  // The reason first: whoever sees the port closed shows the status text.
  m_line.SetStatus(kDisconnectedText);
  m_bPortOpen.store(false);
  m_bDisconnected.store(true);
  RepaintAll();
  while (m_bRunning.load() && !m_bConnectWanted.load()) m_line.Backend().Sleep(-1);
  m_bDisconnected.store(false);
}

void PortWorker::TendConversation() { m_conversation.Sync(m_line.Dcb()); }

void PortWorker::ReportLoss(int error) {
  m_lineState.Detach();
  m_line.ClosePort();
  // The reason first: whoever sees the port closed shows the status text.
  m_line.ReportError("Port LOST !", error);
  m_bPortOpen.store(false);
  RepaintAll();
}

PortWorker::TransferEnd PortWorker::TransferLoop(int* lostError) {
  SerialDevice* device = m_line.Device();
  SerialBackend& backend = m_line.Backend();
  if (device == nullptr) {
    *lostError = kHangUpError;
    return TransferEnd::kLost;
  }
  std::uint8_t buffer[kReadChunk];
  bool lastWaitReady = false;
  // While a block flows, input is looked for once a millisecond instead of
  // before every byte: a read that finds nothing costs as much as writing
  // the byte, and the driver keeps what arrives meanwhile. After a wait, or
  // a read that filled the buffer, it is looked for at once.
  Clock::time_point nextRead{};
  // The last read that found input, and whether input comes fast enough to
  // be gathered (see kGatherMs).
  Clock::time_point lastInput{};
  bool gathering = false;
  // Bytes read since periodStart, and whether the last whole period brought
  // kBacklogRead or more.
  Clock::time_point periodStart{};
  std::size_t periodBytes = 0;
  bool fastInput = false;
  while (m_bRunning.load()) {
    bool moved = false;
    if (m_conversation.ConfigChanged()) m_conversation.Sync(m_line.Dcb());
    // With neither tap nor second port the loop is as it always was.
    const bool talking = m_conversation.Active();
    if (talking) {
      moved = m_conversation.Serve(m_settings.Get());
      FollowProgramLine();
    }
    IoResult in;
    const bool flowing =
        m_pTxBuffer.load(std::memory_order_acquire) != nullptr || m_queue.HasWork();
    const Clock::time_point now = flowing ? Clock::now() : Clock::time_point{};
    // The device is left unread while the tap's program has not taken what
    // it sent before: the driver keeps it meanwhile.
    if ((!flowing || now >= nextRead) && m_conversation.WantsDeviceInput()) {
      in = device->Read(buffer, sizeof buffer);
      nextRead = in.count == sizeof buffer ? Clock::time_point{} : now + kFlowingReadInterval;
    }
    if (in.count > 0) {
      const Clock::time_point arrived = Clock::now();
      gathering = gathering || arrived - lastInput < kGatherPeriod;
      lastInput = arrived;
      periodBytes += in.count;
      if (arrived - periodStart >= kGatherPeriod) {
        fastInput = periodBytes >= kBacklogRead && arrived - periodStart < 2 * kGatherPeriod;
        periodStart = arrived;
        periodBytes = 0;
      }
      DeliverReceived(buffer, in.count);
      if (talking) m_conversation.FromDevice(buffer, in.count);
      moved = true;
    } else if (in.error != 0 && backend.IsDeviceGone(in.error)) {
      *lostError = in.error;
      return TransferEnd::kLost;
    }

    // One writer a turn: the dialog's block, the tap program's chunk or the
    // queue's block. A writer that has begun keeps the line until its block
    // ends, so no block is mixed into another.
    bool held = false;
    int txRecheckMs = -1;  // the driver's queue is full: no event says when it has room
    const bool dialogPending = m_pTxBuffer.load(std::memory_order_acquire) != nullptr;
    const bool chunkWaiting = talking && m_conversation.ChunkLength() > 0;
    TxOutcome outcome = TxOutcome::kWritten;
    bool wrote = true;
    switch (m_turns.Next(dialogPending, chunkWaiting, m_queue.HasWork())) {
      case Writer::kDialog:
        outcome = TransmitNext(lostError);
        if (m_pTxBuffer.load(std::memory_order_acquire) == nullptr) m_turns.Ended(Writer::kDialog);
        break;
      case Writer::kTap:
        outcome = WriteProgramChunk(lostError);
        if (m_conversation.ChunkLength() == 0) m_turns.Ended(Writer::kTap);
        break;
      case Writer::kQueue:
        outcome = WriteQueueBlock(lostError);
        break;
      case Writer::kNone:
        wrote = false;
        break;
    }
    if (wrote) {
      switch (outcome) {
        case TxOutcome::kWritten:
          moved = true;
          break;
        case TxOutcome::kHeld:
          held = true;
          break;
        case TxOutcome::kQueueFull:
          held = true;
          txRecheckMs = m_pacing.RecheckMs();
          break;
        case TxOutcome::kLost:
          return TransferEnd::kLost;
      }
    }

    // A Disconnect leaves as a reopen does; the loop above closes the port.
    if (m_bReopenPort.load() || !m_bConnectWanted.load()) return TransferEnd::kReopen;

    const bool writePending = m_pTxBuffer.load(std::memory_order_acquire) != nullptr ||
                              (talking && m_conversation.ChunkLength() > 0) || m_queue.HasWork();
    // A full read may have left more behind; a block goes on at the next
    // turn unless the line holds it.
    if (in.count == sizeof buffer || (writePending && !held)) {
      lastWaitReady = false;
      continue;
    }
    if (lastWaitReady && !moved) {
      lastWaitReady = false;
      backend.Sleep(kNothingMovedBackoffMs);
      continue;
    }
    // Input flowing: let the next period's arrive, then read it (Stop,
    // RequestReopen and HandOver cut the pause short). A read that found
    // nothing, or a backlog, ends the gathering.
    gathering = gathering && in.count > 0 && in.count < kBacklogRead && !fastInput && !writePending;
    if (gathering) {
      lastWaitReady = false;
      backend.Sleep(m_nGatherMs.load(std::memory_order_relaxed));
      continue;
    }
    if (in.count >= kBacklogRead) {
      lastWaitReady = false;
      continue;
    }
    // Idle, or the line holds the next byte: sleep until input arrives, the
    // byte can go (or the queue has had time to shrink), or Stop /
    // RequestReopen / HandOver / a push to the send queue / an abort wake us.
    const bool queueFull = writePending && txRecheckMs >= 0;
    nextRead = Clock::time_point{};
    const bool wantWrite = writePending && !queueFull;
    const int timeoutMs = queueFull ? txRecheckMs : -1;
    const WaitResult waited =
        talking
            ? m_conversation.Wait(*device, m_conversation.WantsDeviceInput(), wantWrite, timeoutMs)
            : device->Wait(wantWrite, timeoutMs);
    switch (waited) {
      case WaitResult::kReady:
        lastWaitReady = true;
        break;
      case WaitResult::kHangUp:
        *lostError = kHangUpError;
        return TransferEnd::kLost;
      case WaitResult::kWoken:
      case WaitResult::kTimeout:
        lastWaitReady = false;
        break;
    }
  }
  if (m_bDrainAtStop.load()) DrainPending(*device, buffer, sizeof buffer);
  return TransferEnd::kStopped;
}

// What the line still holds when Stop comes: read until it has been quiet for
// kDrainQuietMs, or kDrainLimit has passed (a sender that never pauses).
void PortWorker::DrainPending(SerialDevice& device, std::uint8_t* buffer, std::size_t capacity) {
  const Clock::time_point deadline = Clock::now() + kDrainLimit;
  while (Clock::now() < deadline) {
    const IoResult in = device.Read(buffer, capacity);
    if (in.count > 0) {
      DeliverReceived(buffer, in.count);
      continue;
    }
    if (in.error != 0 && m_line.Backend().IsDeviceGone(in.error)) return;
    // A Stop's wake-up may still be pending: it ends one wait, not the drain.
    const WaitResult waited = device.Wait(false, kDrainQuietMs);
    if (waited != WaitResult::kReady && waited != WaitResult::kWoken) return;
  }
}

// Per byte: counted, then in the raw log, then in the screen model. A whole
// read is taken at once: all of it is counted and logged before the model
// sees any of it. Called as soon as the read returned, so now is when the
// bytes arrived, as far as this side of the driver can tell.
void PortWorker::DeliverReceived(const std::uint8_t* data, std::size_t length) {
  const ReadTime readTime = ReadTime::Now();
  SyncSettings();
  const SETTINGS& settings = m_settings.Get();
  m_nBytesRead.fetch_add(static_cast<std::int32_t>(length), std::memory_order_relaxed);
  if (settings.bSaveRaw != 0) m_rawLog.Append(PathOf(settings.szRawFile), data, length);
  if (ScreenModel* view = m_pView.load()) {
    view->AddReceivedBytes(data, length, readTime, m_pObserver.load(std::memory_order_acquire));
  }
  if (ReceivedListener* listener = m_pReceived.load(std::memory_order_acquire))
    listener->OnReceived(data, length);
  m_lineState.AfterReceive();
}

// The pending block's next byte, or bytes. The end test follows the write
// whether or not anything went, so a length set to 0 sends exactly one more
// byte. A device the line does not time (a network port) is given as much of
// the block as its length allows, up to kUntimedTxBatch, in one write: it
// takes all of it or nothing, so the counts and the end test are as if each
// byte had had its own turn, and the socket, not the turns, sets the pace.
PortWorker::TxOutcome PortWorker::TransmitNext(int* lostError) {
  const std::uint8_t* block = m_pTxBuffer.load(std::memory_order_acquire);
  std::int32_t pos = m_nTxPos.load(std::memory_order_relaxed);
  TxOutcome outcome = TxOutcome::kHeld;
  SerialDevice& device = *m_line.Device();
  const std::int32_t size = m_nTxBlockSize.load(std::memory_order_relaxed);
  if (pos >= 0 && pos < size) {
    std::int32_t count = 1;
    if (!device.LineTimed()) {
      const std::int32_t length = m_nTxLength.load(std::memory_order_relaxed);
      count = std::clamp(std::min(length, size) - pos, 1, kUntimedTxBatch);
    }
    if (!m_pacing.Room(device)) {
      // The driver holds a window of line time already: the byte counts as
      // not written, so an abort now ends the block without adding to it.
      outcome = TxOutcome::kQueueFull;
    } else if (const IoResult out = device.Write(block + pos, static_cast<std::size_t>(count));
               out.count > 0) {
      const auto written = static_cast<std::int32_t>(out.count);
      m_pacing.Written();
      pos += written;
      m_nTxPos.store(pos, std::memory_order_relaxed);
      m_nBytesWritten.fetch_add(written, std::memory_order_relaxed);
      m_conversation.DeliverOwnSent(block + pos - written, out.count, ReadTime::Now(),
                                    m_settings.Get(), m_conversation.ShowSentData());
      RepaintCounters();
      outcome = TxOutcome::kWritten;
    } else if (out.error != 0 && m_line.Backend().IsDeviceGone(out.error)) {
      // The block stays pending for the port that comes back.
      *lostError = out.error;
      return TxOutcome::kLost;
    }
  } else {
    pos = INT_MAX;  // outside the block: end it rather than read past it
  }
  if (pos >= m_nTxLength.load(std::memory_order_relaxed)) {
    m_pTxBuffer.store(nullptr, std::memory_order_release);
    m_nTxPos.store(0, std::memory_order_relaxed);
  }
  return outcome;
}

PortWorker::TxOutcome PortWorker::WriteProgramChunk(int* lostError) {
  SerialDevice& device = *m_line.Device();
  // A device that would hold the worker is written once it has room.
  if (!Conversation::DeviceWritable(device)) return TxOutcome::kHeld;
  const IoResult out = device.Write(m_conversation.ChunkData(), m_conversation.ChunkLength());
  if (out.count > 0) {
    m_nBytesWritten.fetch_add(static_cast<std::int32_t>(out.count), std::memory_order_relaxed);
    m_conversation.ChunkWritten(out.count, m_settings.Get());
    RepaintCounters();
    return TxOutcome::kWritten;
  }
  if (out.error != 0 && m_line.Backend().IsDeviceGone(out.error)) {
    // The chunk stays for the device that comes back.
    *lostError = out.error;
    return TxOutcome::kLost;
  }
  return TxOutcome::kHeld;
}

PortWorker::TxOutcome PortWorker::WriteQueueBlock(int* lostError) {
  const SendQueue::Piece piece = m_queue.Current();
  if (piece.length == 0) {
    // The block under way was withdrawn and nothing waits behind it.
    m_turns.Ended(Writer::kQueue);
    return TxOutcome::kWritten;
  }
  SerialDevice& device = *m_line.Device();
  std::size_t count = std::min<std::size_t>(piece.length, kUntimedTxBatch);
  if (device.LineTimed()) {
    if (!m_pacing.Room(device)) return TxOutcome::kQueueFull;
    count = std::min(piece.length, m_pacing.Allowance());
  }
  const IoResult out = device.Write(piece.data, count);
  if (out.count > 0) {
    if (device.LineTimed()) m_pacing.Written(out.count);
    m_nBytesWritten.fetch_add(static_cast<std::int32_t>(out.count), std::memory_order_relaxed);
    const bool shown =
        m_conversation.ShowSentData() || (piece.origin.source == SendSource::kTypedKeys &&
                                          m_bEchoTyped.load(std::memory_order_relaxed));
    // Shown before the queue tells the block's pusher it left, so a reply
    // never reaches the screen ahead of what it answers.
    m_conversation.DeliverOwnSent(piece.data, out.count, ReadTime::Now(), m_settings.Get(), shown);
    RepaintCounters();
    if (m_queue.Advance(out.count)) m_turns.Ended(Writer::kQueue);
    return TxOutcome::kWritten;
  }
  if (out.error != 0 && m_line.Backend().IsDeviceGone(out.error)) {
    // The block stays under way for the device that comes back.
    *lostError = out.error;
    return TxOutcome::kLost;
  }
  return TxOutcome::kHeld;
}

void PortWorker::FollowProgramLine() {
  ProgramLine line;
  if (!m_conversation.TakeProgramLine(&line)) return;
  m_programLine = line;
  m_bProgramLineSet = true;
  ApplyProgramLine();
}

// Only for this run: the record keeps what Port Settings say.
void PortWorker::ApplyProgramLine() {
  SerialDevice* device = m_line.Device();
  if (!m_bProgramLineSet || device == nullptr) return;
  DCB dcb = m_line.Dcb();
  if (m_programLine.baudRate != 0) dcb.BaudRate = m_programLine.baudRate;
  dcb.StopBits = m_programLine.stopBits;
  // A frame the device refuses keeps the line as it was.
  if (device->SetCommState(dcb)) m_pacing.SetLine(dcb);
}

void PortWorker::RepaintAll() {
  if (m_sink != nullptr) m_sink->InvalidateAll();
}

void PortWorker::RepaintCounters() {
  // The view maps "the counters line" to its real line height, which a font
  // with lfHeight 0 leaves to the font.
  if (m_sink != nullptr) m_sink->InvalidateCounters();
}

}  // namespace tarnwick
