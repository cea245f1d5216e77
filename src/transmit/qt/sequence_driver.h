// Runs one sequence at a time on the window's thread: its runner hears the
// worker's feed in order and the time from a timer set to its next deadline,
// and tells its step as it goes and how it ended.
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "transmit/display_text.h"
#include "transmit/sequence_feed.h"
#include "transmit/sequence_runner.h"

namespace tarnwick {

class CSequenceDriver : public QObject {
  Q_OBJECT
 public:
  struct Services {
    // Pushes a step's block; the owner numbers the run.
    std::function<PushResult(SendOrigin, std::vector<std::uint8_t>)> push;
    // Withdraws the run's blocks.
    std::function<void(SendOrigin)> withdraw;
    // Whether the feed keeps the received bytes.
    std::function<void(bool)> listen;
    // Hands the feed's events on (to OnFeed) before the time is looked at,
    // so a reply read before a deadline counts.
    std::function<void()> drainFeed;
    TextEncoder encode;
    // The display's encoding, which the replies are read in.
    std::function<TextEncoding()> encoding;
  };

  explicit CSequenceDriver(Services services, QObject* parent = nullptr);

  // Starts the macro's steps; false while another sequence runs.
  bool Start(const std::string& name, std::vector<SequenceStep> steps);
  void Stop();
  bool Running() const { return m_pRunner && m_pRunner->Running(); }
  const std::string& Name() const { return m_strName; }
  // The run's step, or how it ended; empty before the first run.
  QString Describe() const;

  void OnFeed(const FeedEvent& event);

 signals:
  // The step changed, or the run ended (running false).
  void Progress(const QString& text, bool running);

 private:
  void OnTime();
  void Update();

  Services m_services;
  std::unique_ptr<SequenceRunner> m_pRunner;
  std::string m_strName;
  std::uint64_t m_nRun = 0;
  ReceivedTextDecoder m_decoder;
  QTimer m_timer;
  QString m_strShown;
  bool m_bShownRunning = false;
};

}  // namespace tarnwick
