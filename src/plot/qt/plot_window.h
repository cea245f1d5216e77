// The live plot: a window of its own beside the main one. While it is open it
// listens to the receive path through a PlotFeed, collects the samples once
// per frame into the ChannelStore and draws them with QCustomPlot. Esc
// closes it.
#pragma once

#include <QString>
#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>

#include "plot/channel_store.h"
#include "plot/plot_feed.h"

class QAction;
class QCPGraph;
class QCustomPlot;
class QLabel;
class QMouseEvent;
class QSpinBox;
class QTimer;

namespace tarnwick {

class MessageBoxes;

class CPlotWindow : public QWidget {
  Q_OBJECT

 public:
  struct Services {
    MessageBoxes& boxes;
    // Attaches the feed to the receive path (true) or takes it off (false).
    std::function<void(bool)> listen;
    // Whether lines carry timestamps: the x axis is in seconds then.
    std::function<bool()> secondsAxis;
    // Where "Export CSV..." writes; nothing when cancelled. Null: a file dialog.
    std::function<std::optional<QString>(QWidget*)> chooseCsvPath;
  };

  CPlotWindow(PlotFeed& feed, Services services, QWidget* parent = nullptr);
  ~CPlotWindow() override;

  // Shows and raises the window; it starts listening.
  void ShowWindow();
  // Beside window, on the same screen, unless the profile placed it.
  void PlaceBeside(const QWidget& window);
  // Empties the plot: kept samples, counts, and samples not yet collected.
  void Clear();
  // Takes what the feed holds now and draws it unless paused (the frame
  // timer does this while the window is open).
  void Collect();
  void ExportCsv();
  void SetPaused(bool paused);
  bool Paused() const { return m_bPaused; }
  // Back to following the newest samples with both axes fitted.
  void ShowLive();
  bool Live() const { return m_bFollow; }

  const ChannelStore& Store() const { return m_store; }
  QCustomPlot* Plot() const { return m_pPlot; }
  QString StatusText() const;

 signals:
  // The window was shown (true) or hidden, closed included.
  void VisibilityChanged(bool visible);

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void Listen(bool on);
  void Redraw();
  void UpdateGraphs();
  void RebuildGraphs();
  QCPGraph* GraphFor(int channel);
  double Key(const StoredSample& sample) const;
  void UpdateStatus();
  void OnMousePress(QMouseEvent* event);
  void ToggleChannel(QCPGraph* graph);

  PlotFeed& m_feed;
  Services m_services;
  ChannelStore m_store;
  SampleBatch m_batch;
  QCustomPlot* m_pPlot = nullptr;
  QAction* m_pPauseAction = nullptr;
  QSpinBox* m_pDepthBox = nullptr;
  QLabel* m_pStatus = nullptr;
  QTimer* m_pFrameTimer = nullptr;
  std::array<QCPGraph*, kMaxPlotChannels> m_graphs{};
  // The number of the newest sample of each channel the graph holds.
  std::array<std::uint64_t, kMaxPlotChannels> m_shown{};
  bool m_bGeometryRestored = false;
  bool m_bListening = false;
  bool m_bPaused = false;
  bool m_bFollow = true;
  bool m_bSeconds = false;
  bool m_bStale = false;  // samples collected but not drawn yet
  // Drawing waits until this many ms of the monotonic clock: the plot takes
  // a bounded share of the processor however costly a frame is.
  std::int64_t m_nNextDrawMs = 0;
};

}  // namespace tarnwick
