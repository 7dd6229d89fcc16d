// How the main window is put together: sizes, captions and names of its
// controls. The commands behind them are in main_window.cpp.

#include <QApplication>
#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include "engine/texts.h"
#include "window/click_label.h"
#include "window/main_window.h"
#include "window/product_info.h"
#include "window/progress_gauge.h"
#include "window/shell_list.h"
#include "window/window_texts.h"

namespace frambit {
namespace {

constexpr int kClientWidth = 995;
constexpr int kClientHeight = 575;
constexpr int kToolbarHeight = 44;
constexpr QSize kButtonSize(60, 40);
constexpr QSize kDropDownButtonSize(74, 40);
constexpr int kUpperPanelHeight = 365;
constexpr int kSplitterWidth = 3;
constexpr int kStatusBarHeight = 19;

// The fonts the layout was drawn with, then the CJK fonts a Linux desktop
// has, so Chinese renders where the first are missing.
QFont FontOf(QStringList families, int pixelHeight) {
  families << "WenQuanYi Micro Hei" << "Noto Sans CJK SC" << "Noto Sans SC" << "Droid Sans Fallback";
  QFont font;
  font.setFamilies(families);
  font.setPixelSize(pixelHeight);
  return font;
}

QLabel* Pane(QWidget* parent, const char* name, const char* text, int width) {
  auto* pane = new QLabel(QString::fromUtf8(text), parent);
  pane->setObjectName(name);
  pane->setFixedWidth(width);
  return pane;
}

QLineEdit* HiddenEdit(QWidget* parent, const char* name, const QString& text, int width) {
  auto* edit = new QLineEdit(text, parent);
  edit->setObjectName(name);
  edit->setFixedWidth(width);
  edit->setVisible(false);
  return edit;
}

QAction* MenuItem(QMenu* menu, const char* name, const char* caption) {
  QAction* item = menu->addAction(QString::fromUtf8(caption));
  item->setObjectName(name);
  return item;
}

QPushButton* ContactButton(QWidget* parent, const char* name, const char* caption, QStyle::StandardPixmap icon,
                           QRect geometry) {
  auto* button = new QPushButton(parent->style()->standardIcon(icon), QString::fromUtf8(caption), parent);
  button->setObjectName(name);
  button->setGeometry(geometry);
  // Frame RGB(0, 60, 116), face RGB(244, 244, 240), lighter while the mouse is on it.
  button->setStyleSheet(
      "QPushButton { border: 1px solid rgb(0, 60, 116); border-radius: 3px; background: rgb(244, 244, 240); }"
      "QPushButton:hover { background: rgb(226, 236, 248); }"
      "QPushButton:pressed { background: rgb(205, 220, 240); }");
  return button;
}

ClickLabel* ContactLabel(QWidget* parent, const char* name, const QString& text, QRect geometry) {
  auto* label = new ClickLabel(text, parent);
  label->setCursor(Qt::PointingHandCursor);
  label->setObjectName(name);
  label->setGeometry(geometry);
  label->setFont(FontOf({"微软雅黑", "Microsoft YaHei"}, 19));
  return label;
}

}  // namespace

void TfrmMain::BuildWindow() {
  setObjectName("frmMain");
  setFont(FontOf({"宋体", "SimSun"}, 12));
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  setWindowIcon(style()->standardIcon(QStyle::SP_DriveHDIcon));
  setPalette(QApplication::palette());  // the system's button face behind everything

  BuildMenuBar();
  BuildToolbar();

  auto* central = new QWidget(this);
  auto* column = new QVBoxLayout(central);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  Splitter2 = new QSplitter(Qt::Vertical, central);
  Splitter2->setObjectName("Splitter2");
  Splitter2->setHandleWidth(kSplitterWidth);
  Splitter2->setChildrenCollapsible(false);
  Splitter2->addWidget(BuildUpperPanel());
  Splitter2->addWidget(BuildLowerPanel());
  column->addWidget(Splitter2);
  setCentralWidget(central);

  // Never shown: kept for the free-space choice that volumes will offer.
  bScanFree = new QCheckBox(QString::fromUtf8(texts::kScanFreeCaption), central);
  bScanFree->setObjectName("bScanFree");
  bScanFree->setGeometry(656, 496 - kToolbarHeight, 105, 17);
  bScanFree->setVisible(false);
  bScanFree->setEnabled(false);

  BuildStatusBar();

  ElapsedTime = new QTimer(this);
  ElapsedTime->setObjectName("ElapsedTime");
  ElapsedTime->setInterval(1000);

  BuildTray();

  // The client area below the menu bar keeps the size the layout was drawn
  // for, and the user cannot resize it.
  const int menuHeight = menuBar()->sizeHint().height();
  setFixedSize(kClientWidth, kClientHeight + menuHeight);
  Splitter2->setSizes({kUpperPanelHeight, kClientHeight - kToolbarHeight - kUpperPanelHeight - kSplitterWidth -
                                              kStatusBarHeight});
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect frame = frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
  }
}

void TfrmMain::BuildMenuBar() {
  QMenuBar* MainMenu1 = menuBar();
  MainMenu1->setObjectName("MainMenu1");
  QMenu* N1 = MainMenu1->addMenu(QString::fromUtf8(texts::kFileMenuCaption));
  N1->setObjectName("N1");
  N2 = MenuItem(N1, "N2", texts::kCloseCaption);

  QMenu* N3 = MainMenu1->addMenu(QString::fromUtf8(texts::kHelpMenuCaption));
  N3->setObjectName("N3");
  N4 = MenuItem(N3, "N4", texts::kHelpCaption);
  N3->addSeparator()->setObjectName("N8");
  Update1 = MenuItem(N3, "Update1", texts::kUpdateCaption);
  QAction* N6 = N3->addSeparator();
  N6->setObjectName("N6");
  N6->setVisible(false);
  N5 = MenuItem(N3, "N5", texts::kAboutCaption);
}

QToolButton* TfrmMain::AddToolButton(const char* name, const char* caption, QStyle::StandardPixmap icon) {
  auto* button = new QToolButton(RzToolbar1);
  button->setObjectName(name);
  button->setText(QString::fromUtf8(caption));
  button->setIcon(style()->standardIcon(icon));
  button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  button->setFixedSize(kButtonSize);
  button->setAutoRaise(true);
  RzToolbar1->addWidget(button);
  return button;
}

// A drop-down button is wider, for its arrow. InstantPopup opens the menu
// on a click anywhere; MenuButtonPopup only from the arrow.
QMenu* TfrmMain::AttachMenu(QToolButton* button, const char* name, QToolButton::ToolButtonPopupMode mode) {
  auto* menu = new QMenu(this);
  menu->setObjectName(name);
  button->setMenu(menu);
  button->setPopupMode(mode);
  button->setFixedSize(kDropDownButtonSize);
  return menu;
}

void TfrmMain::BuildToolbar() {
  RzToolbar1 = new QToolBar(this);
  RzToolbar1->setObjectName("RzToolbar1");
  RzToolbar1->setMovable(false);
  RzToolbar1->setFloatable(false);
  RzToolbar1->setFixedHeight(kToolbarHeight);
  RzToolbar1->setIconSize(QSize(20, 20));
  RzToolbar1->setContextMenuPolicy(Qt::PreventContextMenu);
  RzToolbar1->setStyleSheet(
      "QToolBar#RzToolbar1 { border-top: 2px groove palette(mid); spacing: 2px;"
      " background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #fdfdfd, stop:1 #dfe3e8); }");
  addToolBar(Qt::TopToolBarArea, RzToolbar1);

  ToolBoxBtn = AddToolButton("ToolBoxBtn", texts::kToolBoxCaption, QStyle::SP_FileDialogDetailedView);
  PopForTools = AttachMenu(ToolBoxBtn, "PopForTools", QToolButton::InstantPopup);
  for (const char* entry : texts::kToolBoxEntries) PopForTools->addAction(QString::fromUtf8(entry));
  RzToolbar1->addSeparator();

  RecBtn = AddToolButton("RecBtn", texts::kTargetCaption, QStyle::SP_DriveHDIcon);
  pop = AttachMenu(RecBtn, "pop", QToolButton::InstantPopup);
  SaveBtn = AddToolButton("SaveBtn", texts::kSaveCaption, QStyle::SP_DialogSaveButton);
  BtnSelectAll = AddToolButton("BtnSelectAll", texts::kSampleCaption, QStyle::SP_FileIcon);
  RzToolbar1->addSeparator();

  RunBtn = AddToolButton("RunBtn", texts::kRunCaption, QStyle::SP_MediaPlay);
  PopupMenu2 = AttachMenu(RunBtn, "PopupMenu2", QToolButton::MenuButtonPopup);
  N9 = MenuItem(PopupMenu2, "N9", texts::kFullDiskCaption);
  N10 = MenuItem(PopupMenu2, "N10", texts::kFreeSpaceCaption);
  N11 = MenuItem(PopupMenu2, "N11", texts::kSmartCaption);
  PauseBtn = AddToolButton("PauseBtn", texts::kPauseButtonCaption, QStyle::SP_MediaPause);
  StopBtn = AddToolButton("StopBtn", texts::kStopCaption, QStyle::SP_MediaStop);
  RzToolbar1->addSeparator();

  UpdateBtn = AddToolButton("UpdateBtn", texts::kUpdateCaption, QStyle::SP_BrowserReload);
  SupportBtn = AddToolButton("SupportBtn", texts::kSupportCaption, QStyle::SP_DriveNetIcon);
  RzToolbar1->addSeparator();

  helpBtn = AddToolButton("helpBtn", texts::kHelpCaption, QStyle::SP_DialogHelpButton);
  ExitBtn = AddToolButton("ExitBtn", texts::kExitCaption, QStyle::SP_DialogCloseButton);
}

QFrame* TfrmMain::BuildUpperPanel() {
  auto* RzPanel1 = new QFrame;
  RzPanel1->setObjectName("RzPanel1");
  RzPanel1->setFrameShape(QFrame::StyledPanel);
  auto* column = new QVBoxLayout(RzPanel1);
  column->setContentsMargins(1, 1, 1, 1);
  column->setSpacing(0);

  auto* RzToolbar2 = new QToolBar(RzPanel1);
  RzToolbar2->setObjectName("RzToolbar2");
  RzToolbar2->setFixedHeight(29);
  RzToolbar2->setIconSize(QSize(16, 16));
  BtnMoveLeft = new QToolButton(RzToolbar2);
  BtnMoveLeft->setObjectName("BtnMoveLeft");
  BtnMoveLeft->setIcon(style()->standardIcon(QStyle::SP_FileDialogToParent));
  BtnMoveLeft->setAutoRaise(true);
  RzToolbar2->addWidget(BtnMoveLeft);
  Destination = new QLineEdit(RzToolbar2);
  Destination->setObjectName("Destination");
  RzToolbar2->addWidget(Destination);
  column->addWidget(RzToolbar2);

  Shelllist = new ShellList(desktop_, RzPanel1);
  Shelllist->setObjectName("Shelllist");
  column->addWidget(Shelllist);
  return RzPanel1;
}

QFrame* TfrmMain::BuildLowerPanel() {
  auto* RzPanel2 = new QFrame;
  RzPanel2->setObjectName("RzPanel2");
  RzPanel2->setFrameShape(QFrame::StyledPanel);
  RzPanel2->setStyleSheet("QFrame#RzPanel2 { border: 1px solid palette(mid); border-radius: 6px; }");
  auto* fill = new QVBoxLayout(RzPanel2);
  fill->setContentsMargins(0, 0, 0, 0);
  auto* Panel1 = new QWidget(RzPanel2);
  Panel1->setObjectName("Panel1");
  fill->addWidget(Panel1);

  RzBitBtn1 = ContactButton(Panel1, "RzBitBtn1", texts::kStartScanCaption, QStyle::SP_MediaPlay, {24, 48, 153, 49});
  RzBitBtn2 = ContactButton(Panel1, "RzBitBtn2", texts::kServiceCaption, QStyle::SP_MessageBoxInformation, {208, 48, 153, 49});
  RzBitBtn3 = ContactButton(Panel1, "RzBitBtn3", texts::kVisitSiteCaption, QStyle::SP_DirHomeIcon, {392, 48, 153, 49});
  sLabelFX1 = ContactLabel(Panel1, "sLabelFX1", QString::fromUtf8(texts::kChatAccountPrefix) + product::kServiceChatAccount,
               {656, 32, 243, 33});
  sLabelFX2 = ContactLabel(Panel1, "sLabelFX2", QUrl(QString::fromUtf8(product::kProductSiteUrl)).host(), {656, 72, 207, 33});
  return RzPanel2;
}

void TfrmMain::BuildStatusBar() {
  QStatusBar* RzStatusBar1 = statusBar();
  RzStatusBar1->setObjectName("RzStatusBar1");
  RzStatusBar1->setSizeGripEnabled(false);
  RzStatusBar1->setFixedHeight(kStatusBarHeight);
  RzStatusBar1->setStyleSheet("QStatusBar::item { border: none; }");
  TimeLabel = Pane(RzStatusBar1, "TimeLabel", texts::kTimeStartCaption, 161);
  SegLabel = Pane(RzStatusBar1, "SegLabel", texts::kFragmentStartCaption, 183);
  // Source and Edit1 hold the chosen target and output folder; they are
  // never shown and take no room, so the gauge follows SegLabel.
  Source = HiddenEdit(RzStatusBar1, "Source", QString(), 65);
  Source->setReadOnly(true);
  Source->setContextMenuPolicy(Qt::NoContextMenu);
  Edit1 = HiddenEdit(RzStatusBar1, "Edit1", QString::fromUtf8(texts::kOutputFolderPlaceholder), 64);
  gg = new ProgressGauge(RzStatusBar1);
  gg->setObjectName("gg");
  RzStatusBar1->addWidget(TimeLabel);
  RzStatusBar1->addWidget(SegLabel);
  RzStatusBar1->addWidget(Source);
  RzStatusBar1->addWidget(Edit1);
  RzStatusBar1->addWidget(gg, 1);
}

void TfrmMain::BuildTray() {
  // Without a notification area the window minimizes as any other.
  if (!QSystemTrayIcon::isSystemTrayAvailable()) return;
  Tray = new QSystemTrayIcon(windowIcon(), this);
  Tray->setObjectName("Tray");
  Tray->setToolTip(ApplicationTitle());
  connect(Tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
    if (reason != QSystemTrayIcon::DoubleClick) return;
    showNormal();
    raise();
    activateWindow();
  });
  Tray->show();
}

}  // namespace frambit
