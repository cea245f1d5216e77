#include "transmit/qt/sequence_driver.h"

#include <algorithm>

namespace tarnwick {

CSequenceDriver::CSequenceDriver(Services services, QObject* parent)
    : QObject(parent), m_services(std::move(services)) {
  m_timer.setSingleShot(true);
  m_timer.setTimerType(Qt::PreciseTimer);
  connect(&m_timer, &QTimer::timeout, this, &CSequenceDriver::OnTime);
}

bool CSequenceDriver::Start(const std::string& name, std::vector<SequenceStep> steps) {
  if (Running()) return false;
  m_strName = name;
  const SendOrigin origin{SendSource::kSequence, ++m_nRun};
  m_decoder.SetEncoding(m_services.encoding ? m_services.encoding() : TextEncoding::kCp1252);
  // Only what is read from now on can answer a wait.
  m_services.listen(true);
  m_pRunner = std::make_unique<SequenceRunner>(
      std::move(steps),
      [this, origin](std::vector<std::uint8_t> bytes) {
        return m_services.push(origin, std::move(bytes));
      },
      m_services.encode);
  m_pRunner->Start(SequenceRunner::Clock::now());
  Update();
  return true;
}

void CSequenceDriver::Stop() {
  if (!Running()) return;
  m_pRunner->Stop();
  Update();
}

QString CSequenceDriver::Describe() const {
  return m_pRunner ? QString::fromStdString(m_pRunner->Describe(m_strName)) : QString();
}

void CSequenceDriver::OnFeed(const FeedEvent& event) {
  if (!Running()) return;
  if (event.kind == FeedEvent::Kind::kBlockDone) {
    m_pRunner->OnBlockDone(event.done, event.at);
  } else {
    std::string text;
    m_decoder.Decode(reinterpret_cast<const std::uint8_t*>(event.bytes.data()), event.bytes.size(),
                     text);
    m_pRunner->OnText(text, event.at);
  }
  Update();
}

void CSequenceDriver::OnTime() {
  if (m_services.drainFeed) m_services.drainFeed();
  if (!Running()) return;
  m_pRunner->OnTime(SequenceRunner::Clock::now());
  Update();
}

void CSequenceDriver::Update() {
  const bool running = Running();
  if (!running) {
    m_timer.stop();
    m_services.listen(false);
    // A run that ended early leaves nothing behind in the queue.
    m_services.withdraw(SendOrigin{SendSource::kSequence, m_nRun});
  } else if (const auto deadline = m_pRunner->Deadline()) {
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(*deadline - SequenceRunner::Clock::now());
    m_timer.start(static_cast<int>(std::clamp<std::int64_t>(left.count(), 0, 24LL * 3600 * 1000)));
  } else {
    m_timer.stop();
  }
  const QString text = Describe();
  if (text == m_strShown && running == m_bShownRunning) return;
  m_strShown = text;
  m_bShownRunning = running;
  emit Progress(text, running);
}

}  // namespace tarnwick
