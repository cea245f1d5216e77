#include "transmit/qt/macro_panel.h"

#include <QFile>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include "dialogs/qt/file_chooser.h"
#include "transmit/macro_file.h"
#include "transmit/qt/macro_editor.h"
#include "transmit/setting_line.h"

namespace tarnwick {
namespace {

constexpr int kColumns = 4;  // 12 buttons a page: 4 x 3
constexpr const char* kFirstPage = "Macros";

QString FromUtf8(const std::string& text) { return QString::fromStdString(text); }

// A name as a button's caption: '&' is a character, not a mnemonic.
QString Caption(const std::string& name) {
  return FromUtf8(name).replace(QLatin1Char('&'), QStringLiteral("&&"));
}

std::filesystem::path PathOf(const QString& path) {
  return std::filesystem::path(QFile::encodeName(path).toStdString());
}

QPushButton* PanelButton(const QString& text, const char* name, QWidget* parent) {
  auto* button = new QPushButton(text, parent);
  button->setObjectName(QLatin1String(name));
  button->setAccessibleName(QString(text).remove(QLatin1Char('&')));
  button->setAutoDefault(false);
  return button;
}

}  // namespace

CMacroPanel::CMacroPanel(Services services, QWidget* parent)
    : QWidget(parent), m_services(std::move(services)) {
  setObjectName(QStringLiteral("macroPanel"));
  m_pTabs = new QTabWidget(this);
  m_pTabs->setObjectName(QStringLiteral("macroPages"));
  m_pTabs->tabBar()->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(m_pTabs->tabBar(), &QWidget::customContextMenuRequested, this,
          &CMacroPanel::ShowPageMenu);
  m_pSequence = new QLabel(this);
  m_pSequence->setObjectName(QStringLiteral("sequenceStep"));
  m_pSequence->setWordWrap(true);
  m_pSequence->hide();
  m_pStop = PanelButton(QStringLiteral("Stop"), "sequenceStop", this);
  m_pStop->hide();
  connect(m_pStop, &QPushButton::clicked, this, &CMacroPanel::StopSequence);
  auto* add = PanelButton(QStringLiteral("Add..."), "macroAdd", this);
  auto* import = PanelButton(QStringLiteral("Import..."), "macroImport", this);
  auto* exportButton = PanelButton(QStringLiteral("Export..."), "macroExport", this);
  add->setToolTip(QStringLiteral("A new macro on this page; right-click a button to edit it"));
  connect(add, &QPushButton::clicked, this, &CMacroPanel::AddMacro);
  connect(import, &QPushButton::clicked, this, &CMacroPanel::ImportFile);
  connect(exportButton, &QPushButton::clicked, this, &CMacroPanel::ExportFile);

  auto* sequenceRow = new QHBoxLayout;
  sequenceRow->addWidget(m_pSequence, 1);
  sequenceRow->addWidget(m_pStop);
  auto* commands = new QHBoxLayout;
  commands->addWidget(add);
  commands->addWidget(import);
  commands->addWidget(exportButton);
  commands->addStretch(1);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->addWidget(m_pTabs, 1);
  layout->addLayout(sequenceRow);
  layout->addLayout(commands);
  SetMacros({});
}

void CMacroPanel::SetMacros(MacroSet set) {
  m_set = std::move(set);
  if (m_set.pages.empty()) m_set.pages.push_back(MacroPage{kFirstPage, {}});
  Rebuild();
}

void CMacroPanel::Rebuild() {
  const int current = m_pTabs->currentIndex();
  while (m_pTabs->count() > 0) {
    QWidget* page = m_pTabs->widget(0);
    m_pTabs->removeTab(0);
    page->deleteLater();
  }
  for (std::size_t p = 0; p < m_set.pages.size(); ++p) {
    auto* page = new QWidget;
    auto* grid = new QGridLayout(page);
    grid->setAlignment(Qt::AlignTop);
    const MacroPage& macros = m_set.pages[p];
    for (std::size_t i = 0; i < macros.macros.size(); ++i) {
      const Macro& macro = macros.macros[i];
      auto* button = new QPushButton(Caption(macro.name), page);
      button->setObjectName(QStringLiteral("macro:") + FromUtf8(macro.name));
      button->setAccessibleName(FromUtf8(macro.name));
      button->setAutoDefault(false);
      button->setCheckable(macro.repeatMs != 0);
      QString tip = FromUtf8(macro.steps.empty() ? std::string() : StepText(macro.steps[0]));
      if (macro.steps.size() > 1) tip += QStringLiteral(" ... (%1 steps)").arg(macro.steps.size());
      if (macro.repeatMs != 0)
        tip += QStringLiteral(", every ") + FromUtf8(DurationText(macro.repeatMs));
      if (!macro.key.Empty()) tip += QStringLiteral("  [") + FromUtf8(KeyText(macro.key)) + ']';
      button->setToolTip(tip);
      button->setContextMenuPolicy(Qt::CustomContextMenu);
      const MacroPlace place{p, i};
      connect(button, &QPushButton::clicked, this, [this, place](bool checked) {
        emit Run(m_set.pages[place.page].macros[place.index], checked);
      });
      connect(button, &QWidget::customContextMenuRequested, this,
              [this, place, button](const QPoint& at) {
                ShowMacroMenu(place, button->mapToGlobal(at));
              });
      grid->addWidget(button, static_cast<int>(i) / kColumns, static_cast<int>(i) % kColumns);
    }
    if (macros.macros.empty()) {
      auto* empty = new QLabel(
          QStringLiteral("No macros on this page yet: Add... makes one, Import... reads a file."),
          page);
      empty->setWordWrap(true);
      grid->addWidget(empty, 0, 0, 1, kColumns);
    }
    m_pTabs->addTab(page, Caption(macros.name));
  }
  m_pTabs->setCurrentIndex(std::clamp(current, 0, m_pTabs->count() - 1));
}

QPushButton* CMacroPanel::Button(const std::string& name) const {
  return m_pTabs->findChild<QPushButton*>(QStringLiteral("macro:") + FromUtf8(name));
}

void CMacroPanel::ShowRepeating(const std::string& name, bool on) {
  if (QPushButton* button = Button(name); button != nullptr && button->isCheckable())
    button->setChecked(on);
}

void CMacroPanel::ShowSequence(const QString& text, bool running) {
  m_pSequence->setText(text);
  m_pSequence->setVisible(!text.isEmpty());
  m_pStop->setVisible(running);
}

void CMacroPanel::Edited() {
  Rebuild();
  emit Changed();
}

void CMacroPanel::AddMacro() {
  MacroForm form;
  form.page = static_cast<std::size_t>(std::max(m_pTabs->currentIndex(), 0));
  if (m_services.newSteps) form.steps = m_services.newSteps();
  CMacroEditor editor(m_set, form, std::nullopt, m_services.programKeys, this);
  if (m_services.runModal(editor) != QDialog::Accepted) return;
  const MacroPlace place = PlaceMacro(m_set, editor.Result(), editor.ResultPage(), std::nullopt);
  Edited();
  m_pTabs->setCurrentIndex(static_cast<int>(place.page));
}

void CMacroPanel::EditMacro(MacroPlace place) {
  const Macro& macro = m_set.pages[place.page].macros[place.index];
  CMacroEditor editor(m_set, FormOf(macro, place.page), place, m_services.programKeys, this);
  if (m_services.runModal(editor) != QDialog::Accepted) return;
  PlaceMacro(m_set, editor.Result(), editor.ResultPage(), place);
  Edited();
}

void CMacroPanel::RemoveMacro(MacroPlace place) {
  auto& macros = m_set.pages[place.page].macros;
  if (!Confirm("Remove the macro \"" + macros[place.index].name + "\"?", "Remove Macro")) return;
  macros.erase(macros.begin() + static_cast<std::ptrdiff_t>(place.index));
  Edited();
}

void CMacroPanel::MoveMacro(MacroPlace place, int by) {
  auto& macros = m_set.pages[place.page].macros;
  const std::ptrdiff_t to = static_cast<std::ptrdiff_t>(place.index) + by;
  if (to < 0 || to >= static_cast<std::ptrdiff_t>(macros.size())) return;
  std::swap(macros[place.index], macros[static_cast<std::size_t>(to)]);
  Edited();
}

void CMacroPanel::NewPage() {
  if (m_set.pages.size() >= MacroSet::kMaxPages) {
    m_services.boxes.Show("There are at most " + std::to_string(MacroSet::kMaxPages) + " pages.",
                          "New Page", MessageIcon::kInformation);
    return;
  }
  const std::optional<std::string> name = AskPageName(QStringLiteral("New Page"), {});
  if (!name) return;
  m_set.pages.push_back(MacroPage{*name, {}});
  Edited();
  m_pTabs->setCurrentIndex(m_pTabs->count() - 1);
}

void CMacroPanel::RenamePage(std::size_t page) {
  const std::optional<std::string> name =
      AskPageName(QStringLiteral("Rename Page"), m_set.pages[page].name);
  if (!name || *name == m_set.pages[page].name) return;
  m_set.pages[page].name = *name;
  Edited();
}

void CMacroPanel::RemovePage(std::size_t page) {
  const MacroPage& doomed = m_set.pages[page];
  if (!doomed.macros.empty() && !Confirm("Remove the page \"" + doomed.name + "\" and its " +
                                             std::to_string(doomed.macros.size()) + " macros?",
                                         "Remove Page"))
    return;
  m_set.pages.erase(m_set.pages.begin() + static_cast<std::ptrdiff_t>(page));
  if (m_set.pages.empty()) m_set.pages.push_back(MacroPage{kFirstPage, {}});
  Edited();
}

std::optional<std::string> CMacroPanel::AskPageName(const QString& title,
                                                    const std::string& current) {
  QInputDialog dialog(this);
  dialog.setWindowTitle(title);
  dialog.setLabelText(QStringLiteral("Page name:"));
  dialog.setTextValue(FromUtf8(current));
  for (;;) {
    if (m_services.runModal(dialog) != QDialog::Accepted) return std::nullopt;
    const std::string name = dialog.textValue().trimmed().toStdString();
    std::string reason = CheckName(name, "a page");
    for (const MacroPage& page : m_set.pages) {
      if (reason.empty() && page.name == name && name != current)
        reason = "there is already a page named \"" + name + "\"";
    }
    if (reason.empty()) return name;
    m_services.boxes.Show(reason, title.toStdString(), MessageIcon::kError);
  }
}

bool CMacroPanel::Confirm(const std::string& question, const char* caption) {
  return m_services.boxes.Show(question, caption, MessageIcon::kQuestion, MessageButtons::kYesNo) ==
         MessageResult::kYes;
}

void CMacroPanel::ShowMacroMenu(MacroPlace place, const QPoint& at) {
  QMenu menu(this);
  connect(menu.addAction(QStringLiteral("&Edit...")), &QAction::triggered, this,
          [this, place] { EditMacro(place); });
  connect(menu.addAction(QStringLiteral("&Remove")), &QAction::triggered, this,
          [this, place] { RemoveMacro(place); });
  menu.addSeparator();
  QAction* left = menu.addAction(QStringLiteral("Move &Left"));
  left->setEnabled(place.index > 0);
  connect(left, &QAction::triggered, this, [this, place] { MoveMacro(place, -1); });
  QAction* right = menu.addAction(QStringLiteral("Move &Right"));
  right->setEnabled(place.index + 1 < m_set.pages[place.page].macros.size());
  connect(right, &QAction::triggered, this, [this, place] { MoveMacro(place, 1); });
  menu.exec(at);
}

void CMacroPanel::ShowPageMenu(const QPoint& at) {
  const int tab = m_pTabs->tabBar()->tabAt(at);
  QMenu menu(this);
  connect(menu.addAction(QStringLiteral("&New Page...")), &QAction::triggered, this,
          &CMacroPanel::NewPage);
  if (tab >= 0) {
    const auto page = static_cast<std::size_t>(tab);
    connect(menu.addAction(QStringLiteral("Re&name Page...")), &QAction::triggered, this,
            [this, page] { RenamePage(page); });
    connect(menu.addAction(QStringLiteral("&Remove Page")), &QAction::triggered, this,
            [this, page] { RemovePage(page); });
  }
  menu.exec(m_pTabs->tabBar()->mapToGlobal(at));
}

void CMacroPanel::ImportFile() {
  const std::optional<QString> chosen = m_services.files.ChooseFile(this, QString(), true);
  if (!chosen) return;
  const MacroFileRead read = ReadMacroFile(PathOf(*chosen), m_services.programKeys);
  if (!read.Ok()) {
    // The macros that were there stay as they were.
    m_services.boxes.ShowPath(
        QFile::encodeName(*chosen).toStdString() + "\n" + read.error->Describe(), "Import Macros",
        MessageIcon::kError);
    return;
  }
  const bool hadMacros = std::any_of(m_set.pages.begin(), m_set.pages.end(),
                                     [](const MacroPage& page) { return !page.macros.empty(); });
  if (hadMacros && !Confirm("Replace the macros with those of the file?", "Import Macros")) return;
  SetMacros(read.set);
  emit Changed();
}

void CMacroPanel::ExportFile() {
  const std::optional<QString> chosen =
      m_services.files.ChooseFile(this, QStringLiteral("macros.txt"), false);
  if (!chosen) return;
  const std::string error = WriteMacroFile(PathOf(*chosen), m_set);
  if (!error.empty())
    m_services.boxes.ShowPath(QFile::encodeName(*chosen).toStdString() + "\n" + error,
                              "Export Macros", MessageIcon::kError);
}

}  // namespace tarnwick
