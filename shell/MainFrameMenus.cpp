// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's parts: commands, menus, the "Standard" toolbar, the status panes, the
// "Process Log" pane, the splitter with the views, themes, help and the saved placement.
#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QDesktopServices>
#include <QDockWidget>
#include <QLabel>
#include <QMenuBar>
#include <QSettings>
#include <QSplitter>
#include <QStatusBar>
#include <QToolBar>
#include <QUrl>
#include <memory>

#include "HelpWindow.h"
#include "MainFrame.h"
#include "CTXtndListView.h"
#include "CTXtndTreeView.h"
#include "FindCommands.h"
#include "ProcessLogList.h"
#include "ShellIcons.h"
#include "Themes.h"
#include "ThreadControllerDialog.h"
#include "TipOfTheDay.h"

namespace restora {

namespace {

const QString kWebSite = QStringLiteral("https://www.ferrolin.example/restora/");
constexpr int kToolbarIconSizes[] = {16, 24, 32, 48};
const char* const kToolbarSizeNames[] = {"Tiny", "Small", "Normal", "Large"};
const char* const kListModeNames[] = {"Large Icons", "Small Icons", "List", "Details"};

// The user's settings of the program (an INI file in the user's configuration folder).
std::unique_ptr<QSettings> OpenSettings() {
  return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Ferrolin Restora 1.0"),
                                     QStringLiteral("Ferrolin Restora"));
}

}  // namespace

QAction* CMainFrame::Command(const QString& name) const { return findChild<QAction*>(name); }

QAction* CMainFrame::AddCommand(const QString& name, const QString& text, const QKeySequence& key,
                                void (CMainFrame::*slot)()) {
  auto* action = new QAction(text, this);
  action->setObjectName(name);
  if (!key.isEmpty()) action->setShortcut(key);
  if (slot != nullptr) connect(action, &QAction::triggered, this, slot);
  return action;
}

void CMainFrame::CreateActions() {
  AddCommand("RunWizard", "Run &Wizard", QKeySequence("Ctrl+W"), &CMainFrame::OnRunWizard)
      ->setIcon(ShellIcon(ShellIconId::RunWizard));
  AddCommand("OpenScanInfo", "&Open Scan Information...", QKeySequence("Ctrl+O"), &CMainFrame::OnOpenScanInfo);
  connect(AddCommand("SaveScanInfo", "&Save Scan Information...", QKeySequence("Ctrl+S"), nullptr),
          &QAction::triggered, this, [this] { OnSaveScanInfo(); });
  AddCommand("ImageProcessing", "&Image Processing...", QKeySequence("Ctrl+I"), &CMainFrame::OnImageProcessing);
  connect(AddCommand("Exit", "E&xit", QKeySequence("Alt+F4"), nullptr), &QAction::triggered, this, &QWidget::close);
  AddCommand("Find", "&Find...", QKeySequence("Ctrl+F"), &CMainFrame::OnFind)->setIcon(ShellIcon(ShellIconId::Find));
  AddCommand("FindNext", "Find &Next", QKeySequence("F3"), &CMainFrame::OnFindNext)
      ->setIcon(ShellIcon(ShellIconId::FindNext));
  AddCommand("GotoParentFolder", "&Goto Parent Folder", QKeySequence("Ctrl+P"), &CMainFrame::OnGotoParentFolder)
      ->setIcon(ShellIcon(ShellIconId::GotoParent));
  AddCommand("SaveProcessLog", "Save Process &Log...", {}, &CMainFrame::OnSaveProcessLog);
  AddCommand("ClearProcessLog", "&Clear Process Log", {}, &CMainFrame::OnClearProcessLog);
  AddCommand("SaveSelectedFiles", "Save &Selected Files...", QKeySequence("Ctrl+Shift+S"),
             &CMainFrame::OnSaveCheckedEntries)
      ->setIcon(ShellIcon(ShellIconId::SaveSelected));
  AddCommand("SaveAllFiles", "Save &All Files...", QKeySequence("Ctrl+Shift+A"), &CMainFrame::OnSaveCheckedEntries)
      ->setIcon(ShellIcon(ShellIconId::SaveAll));
  AddCommand("HelpContents", "&Contents", QKeySequence("F1"), nullptr)->setIcon(ShellIcon(ShellIconId::Contents));
  connect(Command("HelpContents"), &QAction::triggered, this, [this] { ShowHelpContents(); });
  AddCommand("TipOfTheDay", "&Tip Of the Day", {}, &CMainFrame::OnShowTips);
  const struct {
    const char* name;
    const char* text;
    const char* page;
  } kWeb[] = {{"SoftwareFeatures", "Software &Features", "features.html"},
              {"ContactUs", "Contact &Us", "contact.html"},
              {"Faq", "F&AQ", "faq.html"},
              {"Update", "&Update", "update.html"}};
  for (const auto& web : kWeb) {
    const QString page = QString::fromLatin1(web.page);
    connect(AddCommand(web.name, web.text, {}, nullptr), &QAction::triggered, this, [this, page] { OpenWebPage(page); });
  }
  Command("Update")->setIcon(ShellIcon(ShellIconId::Update));
  AddCommand("About", "&About Ferrolin Restora...", QKeySequence("Ctrl+B"), &CMainFrame::ShowAbout);
  AddCommand("FolderBar", "&Folder Bar", {}, &CMainFrame::ToggleFolderBar)->setCheckable(true);
  Command("FolderBar")->setChecked(true);
  addActions(findChildren<QAction*>());  // shortcuts work wherever the focus is
}

void CMainFrame::CreateMenus() {
  QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
  file->addAction(Command("RunWizard"));
  file->addSeparator();
  file->addAction(Command("OpenScanInfo"));
  file->addAction(Command("SaveScanInfo"));
  file->addSeparator();
  file->addAction(Command("ImageProcessing"));
  file->addSeparator();
  file->addAction(Command("Exit"));

  QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
  QMenu* toolBars = view->addMenu(QStringLiteral("&Tool Bar"));
  auto* standard = new QAction(QStringLiteral("&Standard"), this);
  standard->setObjectName(QStringLiteral("ToolBarStandard"));
  standard->setCheckable(true);
  toolBars->addAction(standard);
  toolBars->addSeparator();
  m_sizeGroup = new QActionGroup(this);
  for (int i = 0; i < 4; ++i) {
    QAction* size = toolBars->addAction(QString::fromLatin1(kToolbarSizeNames[i]));
    size->setObjectName(QStringLiteral("ToolbarSize%1").arg(kToolbarSizeNames[i]));
    size->setCheckable(true);
    m_sizeGroup->addAction(size);
    connect(size, &QAction::triggered, this, [this, i] { ApplyToolbarSize(i); });
  }
  QMenu* docking = view->addMenu(QStringLiteral("&Docking Bar"));
  QAction* information = docking->addAction(QStringLiteral("&Information"));
  information->setObjectName(QStringLiteral("DockingBarInformation"));
  connect(information, &QAction::triggered, this, [this] {
    m_logPane->show();
    m_logPane->raise();
  });
  docking->addAction(QStringLiteral("&Properties"))->setEnabled(false);
  view->addAction(Command("FolderBar"));
  view->addSeparator();
  m_listModeGroup = new QActionGroup(this);
  for (int i = 0; i < 4; ++i) {
    QAction* mode = view->addAction(QString::fromLatin1(kListModeNames[i]));
    mode->setObjectName(QStringLiteral("ListMode%1").arg(4 + i));
    mode->setCheckable(true);
    m_listModeGroup->addAction(mode);
    connect(mode, &QAction::triggered, this, [this, i] { ApplyListViewMode(4 + i); });
  }
  view->addSeparator();
  QMenu* themes = view->addMenu(QStringLiteral("T&hemes"));
  m_themeGroup = new QActionGroup(this);
  for (int i = 0; i < kThemeCount; ++i) {
    QAction* theme = themes->addAction(ThemeName(i));
    theme->setObjectName(QStringLiteral("Theme%1").arg(i));
    theme->setCheckable(true);
    m_themeGroup->addAction(theme);
    connect(theme, &QAction::triggered, this, [this, i] { ApplyTheme(i); });
  }
  view->addAction(QStringLiteral("S&kin FrameWork..."))->setEnabled(false);
  QAction* statusToggle = view->addAction(QStringLiteral("&Status Bar"));
  statusToggle->setCheckable(true);
  statusToggle->setChecked(true);
  connect(statusToggle, &QAction::toggled, statusBar(), &QWidget::setVisible);

  QMenu* tools = menuBar()->addMenu(QStringLiteral("&Tools"));
  tools->addAction(Command("Find"));
  tools->addAction(Command("FindNext"));
  tools->addAction(Command("GotoParentFolder"));
  tools->addSeparator();
  tools->addAction(Command("SaveProcessLog"));
  tools->addAction(Command("ClearProcessLog"));
  tools->addSeparator();
  tools->addAction(Command("SaveSelectedFiles"));
  tools->addAction(Command("SaveAllFiles"));

  QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
  help->addAction(Command("HelpContents"));
  help->addAction(Command("TipOfTheDay"));
  help->addSeparator();
  help->addAction(Command("SoftwareFeatures"));
  help->addAction(Command("ContactUs"));
  help->addAction(Command("Faq"));
  help->addAction(Command("Update"));
  help->addSeparator();
  help->addAction(Command("About"));
}

void CMainFrame::CreateToolBar() {
  m_toolBar = addToolBar(QStringLiteral("Standard"));
  m_toolBar->setObjectName(QStringLiteral("Standard"));
  m_toolBar->addAction(Command("RunWizard"));
  m_toolBar->addSeparator();
  m_toolBar->addAction(Command("Find"));
  m_toolBar->addAction(Command("FindNext"));
  m_toolBar->addSeparator();
  m_toolBar->addAction(Command("SaveAllFiles"));
  m_toolBar->addAction(Command("SaveSelectedFiles"));
  m_toolBar->addSeparator();
  m_toolBar->addAction(Command("GotoParentFolder"));
  m_toolBar->addSeparator();
  m_toolBar->addAction(Command("Update"));
  m_toolBar->addSeparator();
  m_toolBar->addAction(Command("HelpContents"));
  QAction* standard = Command("ToolBarStandard");
  connect(standard, &QAction::triggered, m_toolBar, &QWidget::setVisible);
  connect(m_toolBar, &QToolBar::visibilityChanged, standard, &QAction::setChecked);
  standard->setChecked(true);
}

void CMainFrame::CreateStatusBar() {
  QStatusBar* bar = statusBar();
  m_pane1 = new QLabel(QStringLiteral("Total 0 Byte(s) in 0 File(s) in 0 Folder(s)"), this);
  m_pane2 = new QLabel(this);
  for (QLabel* pane : {m_pane1, m_pane2}) {
    pane->setFixedWidth(310);
    pane->setFrameStyle(QFrame::Panel | QFrame::Raised);
    bar->addPermanentWidget(pane);
  }
  m_pane1->setObjectName(QStringLiteral("TotalsPane"));
  m_pane2->setObjectName(QStringLiteral("SelectionPane"));
  bar->showMessage(QStringLiteral("Ready"));
}

void CMainFrame::CreateProcessLogPane() {
  m_logPane = new QDockWidget(QStringLiteral("Process Log"), this);
  m_logPane->setObjectName(QStringLiteral("ProcessLogPane"));
  m_logPane->setFeatures(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
  m_processLog = new ProcessLogList(m_logPane);
  m_logPane->setWidget(m_processLog);
  addDockWidget(Qt::BottomDockWidgetArea, m_logPane);
  resizeDocks({m_logPane}, {160}, Qt::Vertical);
}

void CMainFrame::CreateViews() {
  m_splitter = new QSplitter(Qt::Horizontal, this);
  m_splitter->setObjectName(QStringLiteral("Splitter"));
  // The views and how they talk to each other and to the window; swapping in other views means
  // changing only the lines below.
  m_treeView = new CTXtndTreeView(m_engine, m_splitter);
  m_listView = new CTXtndListView(m_engine, m_splitter);
  ConnectResultViews(m_treeView, m_listView);
  connect(m_treeView, &CTXtndTreeView::UM_SHOW_FOLDER, this, &CMainFrame::UpdateCommands, Qt::QueuedConnection);
  connect(m_treeView, &CTXtndTreeView::UM_UPDATE_TOTALS, this, &CMainFrame::OnUpdateTotals);
  connect(m_listView, &CTXtndListView::UM_UPDATE_TOTALS, this, &CMainFrame::OnUpdateTotals);
  connect(m_treeView, &CTXtndTreeView::closeRequested, this, &CMainFrame::ToggleFolderBar);
  m_findCommands = new FindCommands(m_engine, m_treeView, m_listView, this);
  connect(m_findCommands, &FindCommands::entryNotFound, this, [this] {
    Ask(QMessageBox::Information, QApplication::applicationDisplayName(), QStringLiteral("Entry not found"), QMessageBox::Ok);
  });
  connect(m_treeView, &CTXtndTreeView::treeReplaced, this, [this] { SetLastFound(-1); });
  SetFindHandlers(
      [this] {
        m_findCommands->OnFind(this);
        SetLastFound(m_findCommands->CanFindNext() ? 0 : -1);
      },
      [this] {
        m_findCommands->OnFindNext();
        SetLastFound(m_findCommands->CanFindNext() ? 0 : -1);
      });
  m_splitter->setSizes({200, 600});
  setCentralWidget(m_splitter);
  ApplyListViewMode(listViewMode);
}

void CMainFrame::ApplyToolbarSize(int index) {
  if (index < 0 || index > 3) return;
  toolbarSizeIndex = static_cast<uint8_t>(index);
  const int size = kToolbarIconSizes[index];
  m_toolBar->setIconSize(QSize(size, size));
  m_toolBar->setToolButtonStyle(index == 0 ? Qt::ToolButtonIconOnly : Qt::ToolButtonTextUnderIcon);
  if (m_sizeGroup != nullptr) m_sizeGroup->actions().at(index)->setChecked(true);
}

void CMainFrame::ApplyListViewMode(int mode) {
  if (mode < 4 || mode > 7) return;
  listViewMode = static_cast<uint8_t>(mode);
  m_listView->SetViewMode(mode);
  m_listModeGroup->actions().at(mode - 4)->setChecked(true);
}

void CMainFrame::ApplyTheme(int index) {
  if (index < 0 || index >= kThemeCount) return;
  themeIndex = static_cast<uint8_t>(index);
  ApplyApplicationTheme(index);
  m_themeGroup->actions().at(index)->setChecked(true);
}

void CMainFrame::ToggleFolderBar() {
  const bool show = !m_treeView->isVisible();
  m_treeView->setVisible(show);
  Command("FolderBar")->setChecked(show);
}

void CMainFrame::ShowHelpContents(const QString& page) {
  auto* help = findChild<HelpWindow*>();
  if (help == nullptr) help = new HelpWindow(this);
  help->ShowTopic(page);
  help->show();
  help->raise();
}

void CMainFrame::OpenWebPage(const QString& page) { QDesktopServices::openUrl(QUrl(kWebSite + page)); }

void CMainFrame::ShowAbout() {
  QMessageBox box(QMessageBox::NoIcon, QStringLiteral("About Ferrolin Restora"),
                  QStringLiteral("<h3>Ferrolin Restora 1.0.1</h3><p>Recovers deleted files from FAT16, FAT32 and NTFS "
                                 "volumes, whole disks and image files.</p><p>Sources are only ever read.</p>"),
                  QMessageBox::Ok, this);
  box.setIconPixmap(QIcon(QStringLiteral(":/restora/icons/app.svg")).pixmap(64, 64));
  if (m_messageHook) {
    m_messageHook(box);
  } else {
    box.exec();
  }
}

void CMainFrame::OnShowTips() {
  TipOfTheDay tips(TipOfTheDay::DefaultTipsFile(), this);
  if (m_messageHook) return;  // tests do not wait on the tips
  tips.exec();
}

void CMainFrame::RestoreSettings() {
  const std::unique_ptr<QSettings> stored = OpenSettings();
  QSettings& settings = *stored;
  restoreGeometry(settings.value(QStringLiteral("WindowPos/Geometry")).toByteArray());
  restoreState(settings.value(QStringLiteral("CommandBars/State")).toByteArray());
  const int size = settings.value(QStringLiteral("CommandBars/ToolbarSize"), 2).toInt();
  ApplyToolbarSize(size);
  const QByteArray layout = settings.value(QStringLiteral("EditorLayout/Splitter")).toByteArray();
  if (!layout.isEmpty()) m_splitter->restoreState(layout);
  m_logPane->show();
}

void CMainFrame::SaveSettings() {
  const std::unique_ptr<QSettings> stored = OpenSettings();
  QSettings& settings = *stored;
  settings.setValue(QStringLiteral("WindowPos/Geometry"), saveGeometry());
  settings.setValue(QStringLiteral("CommandBars/State"), saveState());
  settings.setValue(QStringLiteral("CommandBars/ToolbarSize"), toolbarSizeIndex);
  settings.setValue(QStringLiteral("EditorLayout/Splitter"), m_splitter->saveState());
}

}  // namespace restora
