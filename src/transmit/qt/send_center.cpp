#include "transmit/qt/send_center.h"

#include <QAction>
#include <QDir>
#include <QDockWidget>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLayout>
#include <QMainWindow>
#include <QPushButton>
#include <QShortcut>
#include <QStatusBar>

#include "port/port_worker.h"
#include "port/qt/elided_label.h"
#include "settings/qt/user_profile.h"
#include "transmit/history_file.h"
#include "transmit/macro_file.h"
#include "transmit/qt/macro_panel.h"
#include "transmit/qt/send_line_bar.h"
#include "transmit/qt/sequence_driver.h"
#include "transmit/qt/view_typing.h"
#include "transmit/send_line.h"

namespace tarnwick {
namespace {

constexpr const char* kSendLineShown = "Options/SendLineShown";
constexpr const char* kMacrosShown = "Options/MacrosShown";
constexpr const char* kLocalEcho = "Options/LocalEcho";
// The macros as the macro file writes them; a copy that could not be read is
// kept beside them before anything replaces it.
constexpr const char* kMacros = "Options/Macros";
constexpr const char* kMacrosDamaged = "Options/MacrosDamaged";
// The widest the sequence's pane in the status bar may be, in pixels.
constexpr int kSequencePaneWidth = 420;

QString FromUtf8(const std::string& text) { return QString::fromStdString(text); }

bool ProfileFlag(const char* key, bool fallback) {
  const std::optional<qlonglong> value = ProfileInteger(OpenUserProfile(), QLatin1String(key));
  return value ? *value != 0 : fallback;
}

void SaveFlag(const char* key, bool on) {
  OpenUserProfile().setValue(QLatin1String(key), on ? 1 : 0);
}

// The history lives beside the profile, in a file of its own.
std::filesystem::path HistoryPath() {
  const QString dir = QFileInfo(OpenUserProfile().fileName()).absolutePath();
  return std::filesystem::path(QFile::encodeName(dir).toStdString()) / kHistoryFileName;
}

QDockWidget* Dock(const QString& title, const char* name, QWidget* content, QMainWindow& frame) {
  auto* dock = new QDockWidget(title, &frame);
  dock->setObjectName(QLatin1String(name));
  dock->setAccessibleName(title);
  // Shown and hidden from the View menu, which keeps its check mark.
  dock->setFeatures(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
  dock->setWidget(content);
  return dock;
}

QLabel* Pane(const QString& text, const char* name, QWidget* parent) {
  auto* pane = new QLabel(text, parent);
  pane->setObjectName(QLatin1String(name));
  pane->setFrameShape(QFrame::Panel);
  pane->setFrameShadow(QFrame::Sunken);
  pane->hide();
  return pane;
}

}  // namespace

CSendCenter::CSendCenter(Services services, const Actions& actions)
    : QObject(&services.frame), m_services(std::move(services)) {
  BuildDocks(actions);
  BuildPanes();

  m_pTyping = new CViewTyping(
      m_services.view,
      CViewTyping::Services{[this](std::string bytes) {
                              return Push(SendOrigin{SendSource::kTypedKeys, 0},
                                          std::vector<std::uint8_t>(bytes.begin(), bytes.end()))
                                  .Refusal();
                            },
                            m_services.encode, [this] { return m_pSendLine->ChosenLineEnd(); },
                            &m_services.boxes, [this](const QString& text) { Say(text); }});
  actions.paste->setEnabled(false);
  connect(actions.typing, &QAction::toggled, this, [this, paste = actions.paste](bool on) {
    m_pTyping->SetOn(on);
    m_pTypingPane->setVisible(on);
    paste->setEnabled(on);
    if (on) m_services.view.setFocus();
  });
  connect(actions.paste, &QAction::triggered, m_pTyping, &CViewTyping::Paste);

  m_pEcho = actions.echo;
  m_pEcho->setChecked(ProfileFlag(kLocalEcho, false));
  m_services.worker.SetEchoTyped(m_pEcho->isChecked());
  connect(m_pEcho, &QAction::toggled, this, [this](bool on) {
    m_services.worker.SetEchoTyped(on);
    SaveFlag(kLocalEcho, on);
    if (m_services.echoChanged) m_services.echoChanged();
  });

  m_pDriver = new CSequenceDriver(
      CSequenceDriver::Services{[this](SendOrigin origin, std::vector<std::uint8_t> bytes) {
                                  return Push(origin, std::move(bytes));
                                },
                                [this](SendOrigin origin) {
                                  m_services.worker.Queue().Withdraw(origin.source, origin.owner);
                                },
                                [this](bool on) { m_services.feed.Listen(on); },
                                [this] { DrainFeed(); }, m_services.encode, m_services.encoding},
      this);
  connect(m_pDriver, &CSequenceDriver::Progress, this, [this](const QString& text, bool running) {
    m_pMacros->ShowSequence(running ? text : QString(), running);
    // The status bar never grows past the window: a long step is cut short
    // there, and shown whole in the pane's tooltip and in the panel.
    m_pSequencePane->SetFullText(text);
    // A screen reader gets the whole of it, however much is shown.
    m_pSequencePane->setAccessibleName(text);
    m_pSequencePane->setVisible(!text.isEmpty());
    if (!running) Say(text);
  });
  connect(m_pMacros, &CMacroPanel::StopSequence, m_pDriver, &CSequenceDriver::Stop);
  connect(m_pMacros, &CMacroPanel::Run, this, &CSendCenter::RunMacro);
  connect(m_pMacros, &CMacroPanel::Changed, this, &CSendCenter::MacrosChanged);
  LoadMacros();
}

CSendCenter::~CSendCenter() = default;

void CSendCenter::BuildDocks(const Actions& actions) {
  m_pSendLine = new CSendLineBar(
      CSendLineBar::Services{[this](std::vector<std::uint8_t> bytes) {
                               return Push(SendOrigin{SendSource::kSendLine, 0}, std::move(bytes));
                             },
                             m_services.encode, m_services.lacking,
                             [this](const QString& text) { Say(text); }},
      HistoryPath());
  // Under the view and its find bar, in the view's own area: it belongs to
  // the view as the find bar does, and is no window of its own.
  if (auto* area = m_services.frame.centralWidget(); area != nullptr && area->layout() != nullptr)
    area->layout()->addWidget(m_pSendLine);

  const auto keys = std::span<const std::string_view>(m_services.programKeys);
  m_pMacros = new CMacroPanel(CMacroPanel::Services{
      m_services.boxes, m_services.files, m_services.runModal, keys, [this] {
        const SendEntry entry = m_pSendLine->Entry();
        if (entry.text.empty()) return std::string();
        SequenceStep step;
        step.send = entry;
        step.lineEnd =
            entry.format == kTxFormatAscii ? m_pSendLine->ChosenLineEnd() : LineEnd::kNone;
        return StepLine(step);
      }});
  m_pMacroDock = Dock(QStringLiteral("Macros"), "macroDock", m_pMacros, m_services.frame);
  // Under the view and the send line; it can be moved to any side or floated.
  m_services.frame.addDockWidget(Qt::BottomDockWidgetArea, m_pMacroDock, Qt::Vertical);

  const auto bind = [this](QAction* action, QWidget* widget, const char* key, bool fallback) {
    const bool shown = ProfileFlag(key, fallback);
    action->setChecked(shown);
    widget->setVisible(shown);
    connect(action, &QAction::toggled, widget, [widget, key](bool on) {
      widget->setVisible(on);
      SaveFlag(key, on);
    });
  };
  // The send line is there from the first start; the macros once asked for.
  bind(actions.sendLine, m_pSendLine, kSendLineShown, true);
  bind(actions.macros, m_pMacroDock, kMacrosShown, false);
}

void CSendCenter::BuildPanes() {
  QStatusBar* bar = m_services.frame.statusBar();
  m_pTypingPane = Pane(QStringLiteral("Typing into the view"), "typingPane", bar);
  m_pTypingPane->setToolTip(
      QStringLiteral("Keys pressed in the view go to the device (View > Type into the view)"));
  m_pSequencePane = new ElidedLabel(bar, kSequencePaneWidth);
  m_pSequencePane->setObjectName(QStringLiteral("sequencePane"));
  m_pSequencePane->setFrameShape(QFrame::Panel);
  m_pSequencePane->setFrameShadow(QFrame::Sunken);
  m_pSequencePane->hide();
  bar->addPermanentWidget(m_pTypingPane);
  bar->addPermanentWidget(m_pSequencePane);
}

bool CSendCenter::EchoTyped() const { return m_pEcho->isChecked(); }

void CSendCenter::Say(const QString& text) const {
  if (m_services.status) m_services.status(text);
}

PushResult CSendCenter::Push(SendOrigin origin, std::vector<std::uint8_t> bytes) {
  // Nothing waits for a Connect that may never come.
  if (!m_services.worker.ConnectWanted()) return PushResult{PushStatus::kDisconnected, 0};
  return m_services.worker.Queue().Push(origin, std::move(bytes));
}

std::size_t CSendCenter::StopAll() {
  m_pDriver->Stop();
  while (!m_repeats.empty()) StopRepeat(m_repeats.begin()->first);
  return m_services.worker.Queue().Clear();
}

void CSendCenter::DrainFeed() {
  for (const FeedEvent& event : m_services.feed.Take()) {
    if (event.kind == FeedEvent::Kind::kBlockDone &&
        event.done.origin.source == SendSource::kMacro) {
      for (auto& [name, repeat] : m_repeats) {
        if (repeat.inFlight == event.done.id) repeat.inFlight = 0;
      }
    }
    m_pDriver->OnFeed(event);
  }
}

void CSendCenter::RunMacro(const Macro& macro, bool checked) {
  if (macro.IsSequence()) {
    if (m_pDriver->Running()) {
      // The running sequence's own button stops it.
      if (m_pDriver->Name() == macro.name) return m_pDriver->Stop();
      return Say(QStringLiteral("Sequence \"%1\" is running: stop it first")
                     .arg(FromUtf8(m_pDriver->Name())));
    }
    if (!m_services.worker.ConnectWanted())
      return Say(FromUtf8(PushResult{PushStatus::kDisconnected, 0}.Refusal()));
    m_pDriver->Start(macro.name, macro.steps);
    return;
  }
  if (macro.repeatMs != 0) return checked ? StartRepeat(macro) : StopRepeat(macro.name);
  SendPlain(macro, SendOrigin{SendSource::kMacro, 0}, nullptr);
}

void CSendCenter::SendPlain(const Macro& macro, SendOrigin origin, std::uint64_t* id) {
  const SequenceStep& step = macro.steps.front();
  SendParse parse = ParseSendText(step.send, step.lineEnd, m_services.encode);
  const PushResult pushed =
      parse.ok ? Push(origin, std::move(parse.bytes)) : PushResult{PushStatus::kEmpty, 0};
  if (id != nullptr) *id = pushed.id;
  if (!parse.ok) return Say(FromUtf8(macro.name + ": " + parse.Describe()));
  if (!pushed) Say(FromUtf8(macro.name + ": " + pushed.Refusal()));
}

void CSendCenter::StartRepeat(const Macro& macro) {
  StopRepeat(macro.name);
  Repeat& repeat = m_repeats[macro.name];
  repeat.owner = ++m_nOwners;
  repeat.macro = macro;
  repeat.timer = new QTimer(this);
  repeat.timer->setTimerType(Qt::PreciseTimer);
  repeat.timer->start(static_cast<int>(macro.repeatMs));
  const std::string name = macro.name;
  connect(repeat.timer, &QTimer::timeout, this, [this, name] { RepeatTick(name); });
  RepeatTick(name);
}

void CSendCenter::StopRepeat(const std::string& name) {
  const auto found = m_repeats.find(name);
  if (found == m_repeats.end()) return;
  found->second.timer->deleteLater();
  m_services.worker.Queue().Withdraw(SendSource::kMacro, found->second.owner);
  m_repeats.erase(found);
  m_pMacros->ShowRepeating(name, false);
}

// A period that comes while the last block has not left is skipped, so a
// slow line is not flooded.
void CSendCenter::RepeatTick(const std::string& name) {
  const auto found = m_repeats.find(name);
  if (found == m_repeats.end()) return;
  Repeat& repeat = found->second;
  if (repeat.inFlight != 0) return;
  SendPlain(repeat.macro, SendOrigin{SendSource::kMacro, repeat.owner}, &repeat.inFlight);
  // Refused: the repeating ends, the reason is in the status bar.
  if (repeat.inFlight == 0) StopRepeat(name);
}

void CSendCenter::MacrosChanged() {
  // A repeating macro that was edited or removed stops; the others go on.
  std::vector<std::string> stale;
  for (const auto& [name, repeat] : m_repeats) {
    bool same = false;
    for (const MacroPage& page : m_pMacros->Set().pages) {
      for (const Macro& macro : page.macros) same = same || macro == repeat.macro;
    }
    if (!same) stale.push_back(name);
  }
  for (const std::string& name : stale) StopRepeat(name);
  for (const auto& [name, repeat] : m_repeats) m_pMacros->ShowRepeating(name, true);
  SaveMacros();
  BindMacroKeys();
}

void CSendCenter::LoadMacros() {
  const QString text = OpenUserProfile().value(QLatin1String(kMacros)).toString();
  if (!text.isEmpty()) {
    const MacroFileRead read = ReadMacroText(text.toStdString(), m_services.programKeys);
    if (read.Ok()) {
      m_pMacros->SetMacros(read.set);
    } else {
      OpenUserProfile().setValue(QLatin1String(kMacrosDamaged), text);
      Say(QStringLiteral("The macros in the profile could not be read (%1); they were kept as %2")
              .arg(FromUtf8(read.error->Describe()), QLatin1String(kMacrosDamaged)));
    }
  }
  BindMacroKeys();
}

void CSendCenter::SaveMacros() const {
  OpenUserProfile().setValue(QLatin1String(kMacros), FromUtf8(MacroText(m_pMacros->Set())));
}

void CSendCenter::BindMacroKeys() {
  for (QShortcut* key : m_macroKeys) delete key;
  m_macroKeys.clear();
  for (const MacroPage& page : m_pMacros->Set().pages) {
    for (const Macro& macro : page.macros) {
      if (macro.key.Empty()) continue;
      auto* key =
          new QShortcut(QKeySequence(FromUtf8(KeyText(macro.key)), QKeySequence::PortableText),
                        &m_services.frame);
      key->setContext(Qt::WindowShortcut);
      const std::string name = macro.name;
      // As a click on its button: a repeating macro's key switches it.
      connect(key, &QShortcut::activated, this, [this, name] {
        if (QPushButton* button = m_pMacros->Button(name)) button->click();
      });
      m_macroKeys.push_back(key);
    }
  }
}

}  // namespace tarnwick
