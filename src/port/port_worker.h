// The port worker: owns the serial line on its own thread, feeds received bytes
// to the counters, the raw log and the screen model, and sends the transmit
// block handed over by the Send data dialog, the tap program's chunks and the
// send queue's blocks, each whole before the next.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "display/output_file.h"
#include "display/repaint_sink.h"
#include "display/screen_model.h"
#include "port/conversation.h"
#include "port/line_state.h"
#include "port/output_pacing.h"
#include "port/port_status_text.h"
#include "port/received_listener.h"
#include "port/serial_line.h"
#include "settings/live_settings.h"
#include "transmit/send_queue.h"

namespace tarnwick {

class PortWorker {
 public:
  // settings: the published record, taken once per batch and before each open;
  // view: the screen model (may be null); sink: where state changes and
  // transmitted bytes ask for repaints (may be null).
  PortWorker(const LiveSettings& settings, SerialBackend& backend, ScreenModel* view,
             RepaintSink* sink);
  ~PortWorker();  // stops the thread if still running

  void Start();  // PortThreadProc on a new thread
  // The view's stop protocol: clear m_bRunning, wake the worker, wait for it
  // through m_csWorker, join, clear m_pView. Returns at once in every state.
  void Stop();
  // Before Stop: the worker first reads what the line still holds, so every
  // byte sent before the stop reaches the logs (a capture that is ended).
  void SetDrainAtStop(bool drain) { m_bDrainAtStop.store(drain); }
  // While input flows, it is read once per this many milliseconds (1 by
  // default, for a screen that follows the line); the driver keeps what
  // arrives meanwhile.
  void SetGatherMs(int ms) { m_nGatherMs.store(ms < 1 ? 1 : ms); }
  // m_bReopenPort = 1 and wake the worker (Port Settings OK).
  void RequestReopen();
  // The Send data dialog's hand-over: length, position 0, then the pointer
  // (release), then wake the worker. The block must stay untouched until
  // TxBuffer() reads null.
  void HandOver(const std::uint8_t* block, std::int32_t length);
  // Ends the pending block after one more byte (the dialog's abort).
  void SetTxLength(std::int32_t length);

  // The one ordered queue of the send line, typed keys, macros and
  // sequences. Its blocks go whole, between the dialog's blocks and the
  // tap's chunks; its block-done word is set before Start.
  SendQueue& Queue() { return m_queue; }
  // Any thread: the typed keys' blocks are shown as sent (local echo) even
  // while "Show sent data" is off.
  void SetEchoTyped(bool echo) { m_bEchoTyped.store(echo, std::memory_order_relaxed); }

  // Any thread: Disconnect lets go of the device, the second port and the
  // tap's link, and opens nothing (a reopen request included) until Connect.
  void RequestDisconnect();
  void RequestConnect();
  bool ConnectWanted() const { return m_bConnectWanted.load(); }
  // The device has been let go of for a Disconnect.
  bool Disconnected() const { return m_bDisconnected.load(); }
  const std::uint8_t* TxBuffer() const { return m_pTxBuffer.load(std::memory_order_acquire); }
  std::int32_t TxPos() const { return m_nTxPos.load(std::memory_order_relaxed); }

  // Clear's counter reset, under the screen model's lock: bytesShown, the
  // bytes the model took since the previous Clear, leave the read counter;
  // bytes counted but not yet taken stay, as they reach the cleared screen.
  // The line error counts start again from zero.
  void ResetCounters(std::uint32_t bytesShown);

  // Any thread: who else follows the received stream as the screen model
  // places it (null: nobody, at the cost of one atomic load per read); handed
  // to the model with each read. A detached observer may still be in its
  // last call; it must outlive the worker.
  void SetReceiveObserver(ScreenObserver* observer) {
    m_pObserver.store(observer, std::memory_order_release);
  }
  // Any thread: who hears each read's bytes once the screen model placed
  // them (null: nobody). It must outlive the worker.
  void SetReceivedListener(ReceivedListener* listener) {
    m_pReceived.store(listener, std::memory_order_release);
  }

  // Any thread: the tap, the second port and "Show sent data" as configured
  // now; taken at the worker's next turn (or next open).
  void SetConversation(const ConversationOptions& options) {
    m_conversation.Configure(options);
    m_line.Backend().Wake();
  }
  // Any thread: why the tap or the second port is not served; empty when they are.
  std::string ConversationStatus() const { return m_conversation.Status(); }
  // Before Start: told on the worker's thread when ConversationStatus() has
  // a new reason; it must only hand the news on.
  void SetConversationStatusListener(std::function<void()> listener) {
    m_conversation.SetStatusListener(std::move(listener));
  }
  // Any thread: the tap's and the second port's state one by one, for a
  // window that shows each where it belongs.
  std::string TapStatus() const { return m_conversation.TapStatus(); }
  SecondPortState SecondPortStatus() const { return m_conversation.SecondState(); }
  // Before Start: told on the worker's thread when either changed.
  void SetConversationStateListener(std::function<void()> listener) {
    m_conversation.SetStateListener(std::move(listener));
  }
  // Any thread: where the sent direction goes besides the second raw log
  // (null: nowhere). It must outlive the worker.
  void SetSentDataSink(SentDataSink* sink) { m_conversation.SetSentSink(sink); }

  // Before Start: where the raw log reports whether it writes.
  void SetLogFailures(LogFailures* failures) {
    m_rawLog.SetReporter(failures, LogKind::kRaw);
    m_conversation.SetLogFailures(failures);
  }

  // The thread entry: runs the worker on app and returns its result.
  static int PortThreadProc(PortWorker* app);
  int RunPortWorker();

  SerialLine& Line() { return m_line; }
  // The open port's modem lines and line errors; DTR and RTS set by hand.
  LineState& Lines() { return m_lineState; }

  // Shared words, read by the view and the dialog without a lock.
  std::atomic<bool> m_bRunning{true};
  std::atomic<bool> m_bReopenPort{false};
  std::atomic<bool> m_bPortOpen{false};
  std::atomic<std::int32_t> m_nBytesRead{0};
  std::atomic<std::int32_t> m_nBytesWritten{0};
  std::atomic<const std::uint8_t*> m_pTxBuffer{nullptr};
  std::atomic<std::int32_t> m_nTxLength{0};
  std::atomic<std::int32_t> m_nTxPos{0};
  std::atomic<ScreenModel*> m_pView{nullptr};
  std::atomic<ScreenObserver*> m_pObserver{nullptr};
  std::atomic<ReceivedListener*> m_pReceived{nullptr};
  // Cleared by Disconnect, set by Connect; a start always connects.
  std::atomic<bool> m_bConnectWanted{true};
  std::atomic<bool> m_bDisconnected{false};
  std::atomic<bool> m_bEchoTyped{false};
  std::atomic<bool> m_bDrainAtStop{false};
  std::atomic<int> m_nGatherMs{1};
  // Counts RequestReopen calls; an open gives up on a wake-up only when
  // this moved since it began (or the worker stops).
  std::atomic<std::uint32_t> m_nReopenRequests{0};

 private:
  enum class TransferEnd { kStopped, kReopen, kLost };
  // kQueueFull: the driver holds a window of line time already; look again
  // after m_pacing.RecheckMs().
  enum class TxOutcome { kWritten, kHeld, kQueueFull, kLost };

  // Whether a wake-up that comes while an open waits gives the open up: the
  // worker stops, or was asked to reopen since the open began.
  bool OpenCancelled() const;

  void SyncSettings();
  bool OpenPort(bool keepStatus = false);
  void WaitForReopenRequest();
  // Closes everything and waits for Connect (or the stop).
  void StayDisconnected();
  bool RecoverLostPort();
  // While the device is away: the tap's and second port's options are taken
  // and a refused tap is tried again, as in the transfer loop's turns.
  void TendConversation();
  TransferEnd TransferLoop(int* lostError);
  void DeliverReceived(const std::uint8_t* data, std::size_t length);
  void DrainPending(SerialDevice& device, std::uint8_t* buffer, std::size_t capacity);
  // The block's next byte; to a device the line does not time, as much of
  // the block as the device takes at once.
  TxOutcome TransmitNext(int* lostError);
  // The tap program's pending chunk, as far as the device takes it now.
  TxOutcome WriteProgramChunk(int* lostError);
  // The send queue's block under way, as much as the line's pacing allows
  // (a device the line does not time: as much as it takes at once).
  TxOutcome WriteQueueBlock(int* lostError);
  // The rate and stop bits the tap's program set, on the device for this run.
  void FollowProgramLine();
  void ApplyProgramLine();
  void ReportLoss(int error);
  void RepaintAll();
  void RepaintCounters();

  // The worker's own copy of the record; the line opens with it.
  SettingsSnapshot m_settings;
  SerialLine m_line;
  RepaintSink* m_sink;
  // Size of the handed-over block: the worker never reads past it, whatever
  // m_nTxLength says.
  std::atomic<std::int32_t> m_nTxBlockSize{0};
  // Keeps the driver's output queue short, so counts follow the wire.
  OutputPacing m_pacing;
  SendQueue m_queue;
  // Who writes: the dialog, the tap or the queue; a block keeps the line.
  WriterTurns m_turns;
  OutputFile m_rawLog;
  // The tap and the second port, served beside the device.
  Conversation m_conversation{m_line.Backend()};
  std::uint32_t m_nOpenGeneration = 0;  // m_nReopenRequests when the open began
  bool m_bProgramLineSet = false;
  ProgramLine m_programLine;
  // Follows the device from each open to its close.
  LineState m_lineState;
  std::mutex m_csWorker;  // held by the worker for its whole run
  std::thread m_thread;
};

}  // namespace tarnwick
