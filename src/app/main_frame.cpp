#include "app/main_frame.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

#include "app/app_icons.h"
#include "app/command_table.h"
#include "app/lock_key_state.h"
#include "app/qt/fitting_status_bar.h"
#include "display/follow_rule.h"
#include "display/view/find_bar.h"
#include "display/view/text_options_menu.h"
#include "display/view/zerik_view.h"
#include "port/qt/line_state_panes.h"
#include "port/qt/port_status_pane.h"
#include "settings/qt/user_profile.h"

namespace tarnwick {
namespace {

QString Text(std::string_view text) {
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

constexpr const char* kWindowGeometry = "Options/WindowGeometry";
// How long the message area says that following stopped or resumed.
constexpr int kFollowMessageMs = 5000;
// Room left on the screen for a window manager's borders and caption.
constexpr int kFrameAllowance = 16;
constexpr int kCaptionAllowance = 48;

bool IsLockKey(int key) {
  return key == Qt::Key_CapsLock || key == Qt::Key_NumLock || key == Qt::Key_ScrollLock;
}

}  // namespace

CMainFrame::CMainFrame(QWidget* parent) : QMainWindow(parent) {
  setObjectName(QStringLiteral("mainFrame"));
  setWindowIcon(ProgramIcon());
  CreateAction(ID_PORT_SETTINGS);
  CreateAction(ID_SCREEN_SETTINGS);
  CreateAction(ID_SEND);
  CreateAction(ID_APP_EXIT);
  CreateAction(ID_COPY_ALL);
  CreateAction(ID_CLEAR_SCREEN);
  CreateAction(ID_APP_ABOUT);
  CreateAction(ID_HELP_TARNWICK);
  CreateAction(ID_LINE_DTR);
  CreateAction(ID_LINE_RTS);
  CreateAction(ID_LINE_PULSE_DTR);
  CreateAction(ID_VIEW_OPTIONS);
  CreateAction(ID_VIEW_PLOT);
  CreateAction(ID_EDIT_COPY_SELECTION);
  CreateAction(ID_EDIT_FIND);
  CreateAction(ID_EDIT_FIND_NEXT);
  CreateAction(ID_EDIT_FIND_PREVIOUS);
  CreateAction(ID_CONNECT);
  CreateAction(ID_DISCONNECT);
  CreateAction(ID_VIEW_SEND_LINE);
  CreateAction(ID_VIEW_MACROS);
  CreateAction(ID_VIEW_TYPE_INTO_VIEW);
  CreateAction(ID_VIEW_LOCAL_ECHO);
  CreateAction(ID_EDIT_PASTE_TO_DEVICE);
  for (const int id :
       {ID_VIEW_SEND_LINE, ID_VIEW_MACROS, ID_VIEW_TYPE_INTO_VIEW, ID_VIEW_LOCAL_ECHO})
    m_actions.at(id)->setCheckable(true);
  m_actions.at(ID_CONNECT)->setIcon(ConnectIcon());
  m_actions.at(ID_DISCONNECT)->setIcon(DisconnectIcon());
  // A start always connects.
  m_actions.at(ID_CONNECT)->setEnabled(false);
  m_actions.at(ID_PORT_SETTINGS)->setIcon(PortSettingsIcon());
  m_actions.at(ID_SCREEN_SETTINGS)->setIcon(ScreenSettingsIcon());
  m_actions.at(ID_SEND)->setIcon(SendIcon());
  m_actions.at(ID_CLEAR_SCREEN)->setIcon(ClearIcon());
  m_actions.at(ID_APP_ABOUT)->setIcon(AboutIcon());
  m_actions.at(ID_VIEW_PLOT)->setIcon(PlotIcon());
  // Checked while the plot window is open.
  m_actions.at(ID_VIEW_PLOT)->setCheckable(true);
  connect(m_actions.at(ID_APP_EXIT), &QAction::triggered, this, &QWidget::close);

  CreateToolBar();
  CreateStatusBar();
  CreateMenus();
  resize(760, 520);
  FitToScreen();

  // Lock keys change outside our windows too; key events and activation are
  // when the state is worth reading again.
  qApp->installEventFilter(this);
  UpdateIndicators();
}

QAction* CMainFrame::CreateAction(int id) {
  const CommandInfo* command = FindCommand(id);
  auto* action = new QAction(Text(command->text), this);
  action->setObjectName(QStringLiteral("command%1").arg(id));
  action->setData(id);
  action->setStatusTip(Text(command->prompt));
  // Without a tooltip in the string table Qt would show the menu text.
  action->setToolTip(command->tooltip.empty() ? QString() : Text(command->tooltip));
  if (!command->key.empty()) {
    QList<QKeySequence> keys{QKeySequence(Text(command->key), QKeySequence::PortableText)};
    // Kept while the keys typed into the view go to the device.
    if (const std::string second = CtrlShiftKey(*command); !second.empty())
      keys.append(QKeySequence(QString::fromLatin1(second.c_str()), QKeySequence::PortableText));
    action->setShortcuts(keys);
    // The keys work wherever focus is inside the frame, as accelerators do.
    action->setShortcutContext(Qt::WindowShortcut);
    addAction(action);
  }
  m_actions[id] = action;
  return action;
}

void CMainFrame::CreateMenus() {
  QMenu* main = menuBar()->addMenu(QStringLiteral("&Main"));
  main->addAction(m_actions.at(ID_PORT_SETTINGS));
  main->addAction(m_actions.at(ID_SCREEN_SETTINGS));
  main->addAction(m_actions.at(ID_SEND));
  main->addSeparator();
  main->addAction(m_actions.at(ID_CONNECT));
  main->addAction(m_actions.at(ID_DISCONNECT));
  main->addSeparator();
  main->addAction(m_actions.at(ID_APP_EXIT));

  QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
  edit->addAction(m_actions.at(ID_COPY_ALL));
  edit->addAction(m_actions.at(ID_EDIT_COPY_SELECTION));
  edit->addAction(m_actions.at(ID_EDIT_PASTE_TO_DEVICE));
  edit->addSeparator();
  edit->addAction(m_actions.at(ID_EDIT_FIND));
  edit->addAction(m_actions.at(ID_EDIT_FIND_NEXT));
  edit->addAction(m_actions.at(ID_EDIT_FIND_PREVIOUS));

  QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
  view->addAction(m_actions.at(ID_VIEW_TOOLBAR));
  view->addAction(m_actions.at(ID_VIEW_STATUS_BAR));
  view->addAction(m_actions.at(ID_CLEAR_SCREEN));
  view->addSeparator();
  view->addAction(m_actions.at(ID_VIEW_OPTIONS));
  view->addAction(m_actions.at(ID_VIEW_PLOT));
  m_pTextMenu = new TextOptionsMenu(
      *view,
      {{ID_VIEW_TEXT_CP1252, ID_VIEW_TEXT_UTF8, ID_VIEW_TEXT_ISO8859_1, ID_VIEW_TEXT_CP437},
       ID_VIEW_TEXT_ANSI_COLOURS,
       {ID_VIEW_TEXT_CONTROLS_AS_IS, ID_VIEW_TEXT_CONTROLS_PICTURES, ID_VIEW_TEXT_CONTROLS_ESCAPES},
       ID_VIEW_TEXT_LOG_KEEPS_ESCAPES},
      [this](int id) { return CreateAction(id); });
  view->addSeparator();
  view->addAction(m_actions.at(ID_VIEW_SEND_LINE));
  view->addAction(m_actions.at(ID_VIEW_MACROS));
  view->addAction(m_actions.at(ID_VIEW_TYPE_INTO_VIEW));
  view->addAction(m_actions.at(ID_VIEW_LOCAL_ECHO));

  QMenu* line = menuBar()->addMenu(QStringLiteral("&Line"));
  line->addAction(m_actions.at(ID_LINE_DTR));
  line->addAction(m_actions.at(ID_LINE_RTS));
  line->addSeparator();
  line->addAction(m_actions.at(ID_LINE_PULSE_DTR));

  QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
  help->addAction(m_actions.at(ID_APP_ABOUT));
  help->addAction(m_actions.at(ID_HELP_TARNWICK));

  m_pContextMenu = new QMenu(this);
  m_pContextMenu->setObjectName(QStringLiteral("viewContextMenu"));
  m_pContextMenu->addAction(m_actions.at(ID_EDIT_COPY_SELECTION));
  m_pContextMenu->addAction(m_actions.at(ID_COPY_ALL));
  m_pContextMenu->addSeparator();
  m_pContextMenu->addAction(m_actions.at(ID_CLEAR_SCREEN));
  m_pContextMenu->addAction(m_actions.at(ID_EDIT_FIND));
}

bool CMainFrame::CreateToolBar() {
  m_wndToolBar = new QToolBar(QStringLiteral("Toolbar"), this);
  m_wndToolBar->setObjectName(QStringLiteral("toolBar"));
  m_wndToolBar->setIconSize(QSize(32, 32));
  m_wndToolBar->setMovable(true);
  m_wndToolBar->setFloatable(true);
  m_wndToolBar->setAllowedAreas(Qt::AllToolBarAreas);
  for (int id : {ID_PORT_SETTINGS, ID_SCREEN_SETTINGS, ID_SEND, ID_CLEAR_SCREEN, ID_APP_ABOUT})
    m_wndToolBar->addAction(m_actions.at(id));
  m_wndToolBar->addSeparator();
  m_wndToolBar->addAction(m_actions.at(ID_VIEW_PLOT));
  m_wndToolBar->addSeparator();
  m_wndToolBar->addAction(m_actions.at(ID_CONNECT));
  m_wndToolBar->addAction(m_actions.at(ID_DISCONNECT));
  addToolBar(Qt::TopToolBarArea, m_wndToolBar);

  // The bar's own show/hide action keeps its check mark in step with the bar.
  QAction* toggle = m_wndToolBar->toggleViewAction();
  const CommandInfo* command = FindCommand(ID_VIEW_TOOLBAR);
  toggle->setText(Text(command->text));
  toggle->setObjectName(QStringLiteral("command%1").arg(ID_VIEW_TOOLBAR));
  toggle->setData(ID_VIEW_TOOLBAR);
  m_actions[ID_VIEW_TOOLBAR] = toggle;
  return true;
}

bool CMainFrame::CreateStatusBar() {
  m_wndStatusBar = new FittingStatusBar(this);
  m_wndStatusBar->setObjectName(QStringLiteral("statusBar"));
  setStatusBar(m_wndStatusBar);

  // A normal widget: Qt hides it while a prompt is shown and shows it again
  // when the prompt goes, which is the "Ready" behaviour.
  m_pMessagePane = new QLabel(Text(kReadyPrompt), m_wndStatusBar);
  m_pMessagePane->setObjectName(QStringLiteral("messagePane"));
  m_wndStatusBar->addWidget(m_pMessagePane, 1);

  m_pFollowPane = new QLabel(QStringLiteral("Paused: End follows"), m_wndStatusBar);
  m_pFollowPane->setObjectName(QStringLiteral("followPane"));
  m_pFollowPane->setFrameShape(QFrame::Panel);
  m_pFollowPane->setFrameShadow(QFrame::Sunken);
  m_pFollowPane->setToolTip(Text(kFollowPausedPrompt));
  m_wndStatusBar->addPermanentWidget(m_pFollowPane);
  m_pFollowPane->hide();

  m_pPortPane = new PortStatusPane(m_wndStatusBar);
  m_wndStatusBar->addPermanentWidget(m_pPortPane);

  m_pLinePanes = new LineStatePanes(m_actions.at(ID_LINE_DTR), m_actions.at(ID_LINE_RTS),
                                    m_actions.at(ID_LINE_PULSE_DTR), m_wndStatusBar);
  m_wndStatusBar->addPermanentWidget(m_pLinePanes);

  auto indicator = [this](const char* text) {
    auto* label = new QLabel(QString::fromLatin1(text), m_wndStatusBar);
    label->setObjectName(QStringLiteral("indicator") + QString::fromLatin1(text));
    label->setFrameShape(QFrame::Panel);
    label->setFrameShadow(QFrame::Sunken);
    label->setAlignment(Qt::AlignCenter);
    label->setMinimumWidth(label->fontMetrics().horizontalAdvance(QStringLiteral("SCRL")) + 10);
    label->setEnabled(false);
    m_wndStatusBar->addPermanentWidget(label);
    return label;
  };
  m_pCapIndicator = indicator("CAP");
  m_pNumIndicator = indicator("NUM");
  m_pScrlIndicator = indicator("SCRL");
  // Where the window is narrow these go, the first first: the port's state,
  // its counters and the messages stay.
  for (QWidget* pane : std::initializer_list<QWidget*>{m_pScrlIndicator, m_pNumIndicator,
                                                       m_pCapIndicator, m_pLinePanes}) {
    m_wndStatusBar->AddDroppable(pane);
  }

  auto* toggle = new QAction(Text(FindCommand(ID_VIEW_STATUS_BAR)->text), this);
  toggle->setObjectName(QStringLiteral("command%1").arg(ID_VIEW_STATUS_BAR));
  toggle->setData(ID_VIEW_STATUS_BAR);
  toggle->setCheckable(true);
  toggle->setChecked(true);
  connect(toggle, &QAction::toggled, m_wndStatusBar, &QWidget::setVisible);
  m_actions[ID_VIEW_STATUS_BAR] = toggle;
  return true;
}

void CMainFrame::SetTitle(const std::string& title) {
  setWindowTitle(Text(title) + QStringLiteral(" - ") + Text(kAppTitle));
}

void CMainFrame::SetView(CZerikView* view) {
  m_pView = view;
  // The find bar sits under the view, above the status bar.
  auto* central = new QWidget(this);
  central->setObjectName(QStringLiteral("viewArea"));
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  view->setParent(central);
  layout->addWidget(view, 1);
  m_pFindBar = new CFindBar(central);
  layout->addWidget(m_pFindBar);
  setCentralWidget(central);
  view->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(view, &QWidget::customContextMenuRequested, this, [this, view](const QPoint& at) {
    m_pContextMenu->popup(view->viewport()->mapToGlobal(at));
  });
  connect(m_actions.at(ID_COPY_ALL), &QAction::triggered, view, &CZerikView::OnCopyAll);
  // Copy All's key copies the selection while there is one (see eventFilter).
  m_actions.at(ID_COPY_ALL)->installEventFilter(this);
  connect(m_actions.at(ID_CLEAR_SCREEN), &QAction::triggered, view, &CZerikView::OnClearScreen);
  // Esc leaves the keys with the view again.
  connect(m_pFindBar, &CFindBar::Closed, view, [view] { view->setFocus(); });
}

void CMainFrame::RestoreWindowGeometry() {
  const QSettings profile = OpenUserProfile();
  const QByteArray geometry = profile.value(QLatin1String(kWindowGeometry)).toByteArray();
  // Anything unreadable leaves the default size.
  if (!geometry.isEmpty()) restoreGeometry(geometry);
  FitToScreen();
}

void CMainFrame::FitToScreen() {
  const QScreen* shown = screen();
  if (shown == nullptr) return;
  // The caption and the borders are not known before the window is shown.
  const QSize room = shown->availableGeometry().size() - QSize(kFrameAllowance, kCaptionAllowance);
  const QSize fitted = size().boundedTo(room).expandedTo(minimumSizeHint());
  if (fitted != size()) resize(fitted);
}

void CMainFrame::SaveWindowGeometry() const {
  QSettings profile = OpenUserProfile();
  profile.setValue(QLatin1String(kWindowGeometry), saveGeometry());
}

QAction* CMainFrame::Action(int id) const {
  const auto found = m_actions.find(id);
  return found == m_actions.end() ? nullptr : found->second;
}

QLabel* CMainFrame::Indicator(const char* text) const {
  const QString name = QString::fromLatin1(text);
  if (name == QLatin1String("CAP")) return m_pCapIndicator;
  if (name == QLatin1String("NUM")) return m_pNumIndicator;
  if (name == QLatin1String("SCRL")) return m_pScrlIndicator;
  return nullptr;
}

void CMainFrame::ShowFollowing(bool following, const QString& text) {
  m_pFollowPane->setVisible(!following);
  m_wndStatusBar->showMessage(text, kFollowMessageMs);
}

void CMainFrame::UpdateIndicators() {
  const std::optional<LockKeyState> state = QueryLockKeyState();
  m_pCapIndicator->setEnabled(state && state->bCapsLock);
  m_pNumIndicator->setEnabled(state && state->bNumLock);
  m_pScrlIndicator->setEnabled(state && state->bScrollLock);
}

void CMainFrame::closeEvent(QCloseEvent* event) {
  // The view's destruction step runs while the frame closes, before the
  // event loop ends and the application saves and closes the port.
  if (m_pView != nullptr) m_pView->OnDestroy();
  SaveWindowGeometry();
  event->accept();
}

void CMainFrame::changeEvent(QEvent* event) {
  if (event->type() == QEvent::ActivationChange && isActiveWindow()) UpdateIndicators();
  QMainWindow::changeEvent(event);
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event) {
  // Ctrl+C belongs to Copy All alone, and picks: with a selection on the
  // screen it copies that, as Copy Selection does; without one, all. The
  // menu entries do what they say.
  if (event->type() == QEvent::Shortcut && watched == m_actions.at(ID_COPY_ALL) &&
      m_pView != nullptr && !m_pView->Selection().Empty()) {
    m_pView->OnCopySelection();
    return true;
  }
  if (event->type() == QEvent::KeyRelease || event->type() == QEvent::KeyPress) {
    // The windowing system updates its indicators after delivering the key.
    if (IsLockKey(static_cast<QKeyEvent*>(event)->key())) {
      QTimer::singleShot(30, this, &CMainFrame::UpdateIndicators);
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

}  // namespace tarnwick
