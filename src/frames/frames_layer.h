// Frames beside the units: the layer that cuts each direction's bytes into
// frames, checks and reads them, pairs requests with responses, keeps them
// in the store, writes the CSV and tells a listener.
//
// What the port worker does with it:
// - Under the screen model's lock, for every read that brought bytes and
//   before the model assembles units, Push(direction, bytes, time) with the
//   read's own time. Push only queues: it copies into buffers that keep
//   their capacity, so a steady stream allocates nothing, and it does
//   nothing while no protocol is chosen (Active()).
// - Outside that lock, after each read and whenever the wait below ends,
//   Work(now): cutting, checking, pairing, the store, the CSV and the
//   listener all happen there, on the worker's thread.
// - Waits at most until TickDue(): a frame that only a silence ends (the
//   last of a burst) goes out when its silence has passed, not when the next
//   byte comes. Without a due time the layer needs no wake-up.
// - While a silence rule is on (GatherLimit() > 0), reads gather for at most
//   GatherLimit(), a tenth of the silence, so read times still show it.
// - When the port closes, Close() then Work(): what is held goes out as
//   incomplete.
#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "frames/frame_protocol.h"
#include "frames/frame_store.h"
#include "frames/frames_csv.h"
#include "frames/frames_csv_writer.h"

namespace tarnwick {

// Hears of every frame as it completes, on the worker's thread, outside the
// model's lock. It must not block: hand the frame to a bounded queue.
class FrameListener {
 public:
  virtual ~FrameListener() = default;
  // frame.bytes and description are valid during the call.
  virtual void OnFrame(const FrameView& frame, std::string_view protocol,
                       const FrameDescription& description,
                       std::optional<std::int64_t> pairMicros) = 0;
};

struct FramesConfig {
  FramesSetup setup;
  // The CSV's path; "-" for standard output, empty for none.
  std::string csvPath;
  friend bool operator==(const FramesConfig&, const FramesConfig&) = default;
};

class FramesLayer : private CutSink {
 public:
  using Clock = std::chrono::steady_clock;

  explicit FramesLayer(std::size_t maxFrames = FrameStore::kDefaultMaxFrames,
                       std::size_t maxBytes = FrameStore::kDefaultMaxBytes);
  ~FramesLayer() override;
  FramesLayer(const FramesLayer&) = delete;
  FramesLayer& operator=(const FramesLayer&) = delete;

  // Any thread. Takes effect at the next Work. A change of what cuts or
  // reads frames starts afresh (the store is cleared, bytes held are
  // dropped); a change of the CSV's path, or of the line's speed for a
  // protocol that does not time the line, keeps everything. Returns
  // false, and changes nothing, when the custom rules cannot cut frames.
  bool Configure(const FramesConfig& config);
  bool Active() const { return m_bActive.load(std::memory_order_relaxed); }

  // Under the model's lock: queues one read's bytes.
  void Push(LineDirection direction, const std::uint8_t* data, std::size_t length,
            const ReadTime& time);
  // Any thread: the stream ends (the port closed); the next Work ends what is held.
  void Close();
  // Worker thread, outside the model's lock.
  void Work(Clock::time_point now);

  // Worker thread, after Work: when Work must run again without a read.
  std::optional<Clock::time_point> TickDue() const;
  // Any thread: how long reads may gather (0: as long as the worker likes).
  std::chrono::microseconds GatherLimit() const;

  // Before the worker starts, or null to stop.
  void SetListener(FrameListener* listener);

  FrameStore& Store() { return m_store; }
  const FrameStore& Store() const { return m_store; }
  // Any thread: the codec of the frames in the store, to describe them. It
  // changes only together with a Clear of the store, and is set before it:
  // a pane that sees the store's nClears change takes the codec again.
  std::shared_ptr<const FrameCodec> Codec() const;
  // Worker thread: errno of the CSV's last failed write, 0 when it is written.
  int CsvError() const { return m_csv.LastError(); }

 private:
  struct QueuedRead {
    LineDirection direction;
    std::size_t nAt;
    std::size_t nLength;
    ReadTime time;
  };
  struct Pending {
    bool bWaiting = false;
    std::uint32_t nKey = 0;
    std::uint64_t nNumber = 0;
    Clock::time_point end;
    std::vector<std::uint8_t> bytes;
  };

  void OnCut(const CutFrame& frame) override;
  void TakeConfig();

  FrameStore m_store;

  // Configure -> Work.
  mutable std::mutex m_csConfig;
  FramesConfig m_config;
  std::uint64_t m_nConfigVersion = 0;
  std::shared_ptr<const FrameCodec> m_codec;  // the one Work uses, under m_csConfig
  std::atomic<bool> m_bActive{false};
  std::atomic<std::int64_t> m_nGatherMicros{0};
  std::atomic<bool> m_bClosing{false};

  // Push -> Work.
  std::mutex m_csQueue;
  std::vector<std::uint8_t> m_queueBytes;
  std::vector<QueuedRead> m_queueReads;

  // The worker's own.
  std::uint64_t m_nTakenVersion = 0;
  bool m_bTakenOnce = false;
  FramesConfig m_taken;
  std::optional<Framing> m_framing;
  std::vector<std::uint8_t> m_workBytes;
  std::vector<QueuedRead> m_workReads;
  Pending m_pending;
  FrameDescription m_description;
  FramesCsvFormatter m_csvFormatter;
  std::string m_csvRows;
  FramesCsvWriter m_csv;
  std::mutex m_csListener;
  FrameListener* m_pListener = nullptr;
};

}  // namespace tarnwick
