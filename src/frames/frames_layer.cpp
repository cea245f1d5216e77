#include "frames/frames_layer.h"

#include <algorithm>

namespace tarnwick {
namespace {

std::chrono::microseconds SilenceOf(const FramesSetup& setup) {
  switch (setup.choice.protocol) {
    case FrameProtocol::kModbusRtu:
      return ModbusRtuSilence(setup.line);
    case FrameProtocol::kCustom:
      return setup.customRules.silence;
    default:
      return std::chrono::microseconds::zero();
  }
}

// Whether two setups cut and read frames alike: the line's timing matters to
// Modbus RTU only, the custom rules to custom frames only.
bool SameFraming(const FramesSetup& a, const FramesSetup& b) {
  if (a.choice != b.choice || a.bSwapRoles != b.bSwapRoles) return false;
  if (a.choice.protocol == FrameProtocol::kModbusRtu) return a.line == b.line;
  if (a.choice.protocol == FrameProtocol::kCustom) return a.customRules == b.customRules;
  return true;
}

}  // namespace

FramesLayer::FramesLayer(std::size_t maxFrames, std::size_t maxBytes)
    : m_store(maxFrames, maxBytes) {}

FramesLayer::~FramesLayer() = default;

bool FramesLayer::Configure(const FramesConfig& config) {
  const FramesSetup& setup = config.setup;
  if (setup.choice.protocol == FrameProtocol::kCustom && !RulesProblem(setup.customRules).empty())
    return false;
  std::lock_guard<std::mutex> lock(m_csConfig);
  m_config = config;
  ++m_nConfigVersion;
  m_nGatherMicros.store(SilenceOf(setup).count() / 10, std::memory_order_relaxed);
  m_bActive.store(setup.choice.protocol != FrameProtocol::kOff, std::memory_order_relaxed);
  return true;
}

void FramesLayer::Push(LineDirection direction, const std::uint8_t* data, std::size_t length,
                       const ReadTime& time) {
  if (length == 0 || !Active()) return;
  std::lock_guard<std::mutex> lock(m_csQueue);
  const std::size_t at = m_queueBytes.size();
  m_queueBytes.insert(m_queueBytes.end(), data, data + length);
  m_queueReads.push_back({direction, at, length, time});
}

void FramesLayer::Close() { m_bClosing.store(true, std::memory_order_relaxed); }

void FramesLayer::TakeConfig() {
  FramesConfig config;
  {
    std::lock_guard<std::mutex> lock(m_csConfig);
    if (m_nConfigVersion == m_nTakenVersion) return;
    m_nTakenVersion = m_nConfigVersion;
    config = m_config;
  }
  m_csv.SetPath(config.csvPath);
  if (!m_bTakenOnce || !SameFraming(config.setup, m_taken.setup)) {
    m_bTakenOnce = true;
    m_framing = MakeFraming(config.setup);
    m_pending.bWaiting = false;
    {
      std::lock_guard<std::mutex> lock(m_csConfig);
      m_codec = m_framing ? m_framing->codec : nullptr;
    }
    m_store.Clear();
  }
  m_taken = std::move(config);
}

void FramesLayer::Work(Clock::time_point now) {
  TakeConfig();
  {
    std::lock_guard<std::mutex> lock(m_csQueue);
    // Swapped, not moved: both sides keep the capacity they grew to.
    m_workBytes.swap(m_queueBytes);
    m_workReads.swap(m_queueReads);
  }
  if (m_framing) {
    for (const QueuedRead& read : m_workReads) {
      // A silence that passed before this read ends its frame first, in
      // either direction: frames reach the store and the CSV in the order
      // they completed.
      for (const auto& cutter : m_framing->cutters) cutter->Tick(read.time.steady, *this);
      m_framing->cutters[static_cast<int>(read.direction)]->Feed(
          std::span<const std::uint8_t>(m_workBytes.data() + read.nAt, read.nLength), read.time,
          *this);
    }
    const bool closing = m_bClosing.exchange(false, std::memory_order_relaxed);
    for (const auto& cutter : m_framing->cutters) {
      if (closing) {
        cutter->Flush(*this);
      } else {
        cutter->Tick(now, *this);
      }
    }
  }
  m_workBytes.clear();
  m_workReads.clear();
  if (!m_csvRows.empty()) {
    m_csv.Write(m_csvRows);
    m_csvRows.clear();
  }
}

std::optional<FramesLayer::Clock::time_point> FramesLayer::TickDue() const {
  if (!m_framing) return std::nullopt;
  std::optional<Clock::time_point> due;
  for (const auto& cutter : m_framing->cutters) {
    const auto next = cutter->TickDue();
    if (next && (!due || *next < *due)) due = next;
  }
  return due;
}

std::chrono::microseconds FramesLayer::GatherLimit() const {
  return std::chrono::microseconds(m_nGatherMicros.load(std::memory_order_relaxed));
}

void FramesLayer::SetListener(FrameListener* listener) {
  std::lock_guard<std::mutex> lock(m_csListener);
  m_pListener = listener;
}

std::shared_ptr<const FrameCodec> FramesLayer::Codec() const {
  std::lock_guard<std::mutex> lock(m_csConfig);
  return m_codec;
}

void FramesLayer::OnCut(const CutFrame& frame) {
  const FrameCodec& codec = *m_framing->codec;
  const bool sentAsks = !m_taken.setup.bSwapRoles;
  const bool asks = (frame.direction == LineDirection::kSent) == sentAsks;
  FrameView view;
  view.direction = frame.direction;
  view.time = frame.first.WallMs();
  view.bytes = frame.bytes;
  view.nOffset = frame.nOffset;
  view.status = codec.Check(frame.bytes, frame.cut);
  view.role = codec.RoleOf(frame.bytes, asks ? FrameRole::kRequest : FrameRole::kResponse);
  const bool sound = view.status == FrameStatus::kOk;

  // A sound response answers the last unanswered request of its key.
  FramePair pair;
  std::optional<std::uint64_t> requestNumber;
  if (sound && view.role == FrameRole::kResponse && m_pending.bWaiting &&
      codec.PairKey(frame.bytes) == m_pending.nKey) {
    const auto after =
        std::chrono::duration_cast<std::chrono::microseconds>(frame.first.steady - m_pending.end);
    pair.micros = std::max<std::int64_t>(after.count(), 0);
    pair.request = m_pending.bytes;
    requestNumber = m_pending.nNumber;
    m_pending.bWaiting = false;
  }
  const std::uint64_t number = m_store.Add(view, pair.micros, requestNumber);

  bool listening = false;
  {
    std::lock_guard<std::mutex> lock(m_csListener);
    listening = m_pListener != nullptr;
    if (listening || !m_csv.Path().empty()) codec.Describe(view, pair, m_description);
    if (listening) m_pListener->OnFrame(view, codec.Name(), m_description, pair.micros);
  }
  if (!m_csv.Path().empty())
    m_csvFormatter.AppendRow(m_csvRows, view, codec.Name(), m_description, pair.micros);

  if (sound && view.role == FrameRole::kRequest) {
    m_pending.bWaiting = true;
    m_pending.nKey = codec.PairKey(frame.bytes);
    m_pending.nNumber = number;
    m_pending.end = frame.last.steady;
    m_pending.bytes.assign(frame.bytes.begin(), frame.bytes.end());
  }
}

}  // namespace tarnwick
