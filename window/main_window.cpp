#include "window/main_window.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QToolButton>

#include "engine/free_space_session.h"
#include "engine/sample_capture.h"
#include "engine/scan_session.h"
#include "engine/smart_session.h"
#include "engine/texts.h"
#include "window/click_label.h"
#include "window/desktop.h"
#include "window/online_commands.h"
#include "window/product_info.h"
#include "window/progress_gauge.h"
#include "window/remaining_time.h"
#include "window/shell_list.h"
#include "window/window_texts.h"

namespace frambit {
namespace {

QString Text(const std::string& utf8) { return QString::fromStdString(utf8); }

// The pictures of the target menu by the entries' image index.
QStyle::StandardPixmap TargetIcon(int imageIndex) {
  switch (imageIndex) {
    case 19: return QStyle::SP_DialogOpenButton;
    case 18: return QStyle::SP_DriveHDIcon;
    default: return QStyle::SP_ComputerIcon;
  }
}

}  // namespace

TfrmMain::TfrmMain(Desktop& desktop, QWidget* parent) : TfrmMain(desktop, SystemSources(), parent) {}

TfrmMain::TfrmMain(Desktop& desktop, RecoverySources sources, QWidget* parent)
    : QMainWindow(parent), desktop_(desktop), sources_(std::move(sources)) {
  setWindowTitle(ApplicationTitle());
  QGuiApplication::setApplicationDisplayName(ApplicationTitle());
  BuildWindow();
  BuildTargetMenu();
  ConnectCommands();
  Source->installEventFilter(this);
  // Before an output folder is chosen the list shows the user's home.
  Shelllist->ShowFolder(QDir::homePath());
}

QString TfrmMain::ApplicationTitle() const {
  return QString::fromUtf8(texts::kCaptionPrefix) + QString::fromUtf8(product::kProductSiteName);
}

void TfrmMain::ConnectCommands() {
  const auto command = [this](void (TfrmMain::*handler)()) {
    return [this, handler] { RunCommand([this, handler] { (this->*handler)(); }); };
  };
  connect(RunBtn, &QToolButton::clicked, this, command(&TfrmMain::RunBtnClick));
  connect(N9, &QAction::triggered, this, command(&TfrmMain::N9Click));
  connect(N10, &QAction::triggered, this, command(&TfrmMain::N10Click));
  connect(N11, &QAction::triggered, this, command(&TfrmMain::N11Click));
  connect(PauseBtn, &QToolButton::clicked, this, command(&TfrmMain::PauseBtnClick));
  connect(StopBtn, &QToolButton::clicked, this, command(&TfrmMain::StopBtnClick));
  connect(BtnSelectAll, &QToolButton::clicked, this, command(&TfrmMain::BtnSelectAllClick));
  connect(SaveBtn, &QToolButton::clicked, this, command(&TfrmMain::SaveBtnClick));
  connect(pop, &QMenu::aboutToShow, this, command(&TfrmMain::RecBtnDropDown));
  connect(pop, &QMenu::triggered, this, [this](QAction* item) { RunCommand([this, item] { TargetItemClick(item); }); });
  connect(ExitBtn, &QToolButton::clicked, this, command(&TfrmMain::ExitBtnClick));
  connect(N2, &QAction::triggered, this, command(&TfrmMain::N2Click));
  connect(RzBitBtn1, &QAbstractButton::clicked, this, command(&TfrmMain::RzBitBtn1Click));
  connect(UpdateBtn, &QToolButton::clicked, this, command(&TfrmMain::UpdateBtnClick));
  connect(Update1, &QAction::triggered, this, command(&TfrmMain::Update1Click));
  connect(SupportBtn, &QToolButton::clicked, this, command(&TfrmMain::SupportBtnClick));
  connect(helpBtn, &QToolButton::clicked, this, command(&TfrmMain::helpBtnClick));
  connect(N4, &QAction::triggered, this, command(&TfrmMain::N4Click));
  connect(N5, &QAction::triggered, this, command(&TfrmMain::N5Click));
  connect(RzBitBtn2, &QAbstractButton::clicked, this, command(&TfrmMain::RzBitBtn2Click));
  connect(RzBitBtn3, &QAbstractButton::clicked, this, command(&TfrmMain::RzBitBtn3Click));
  connect(sLabelFX1, &ClickLabel::clicked, this, command(&TfrmMain::sLabelFX1Click));
  connect(sLabelFX2, &ClickLabel::clicked, this, command(&TfrmMain::sLabelFX2Click));
  connect(BtnMoveLeft, &QToolButton::clicked, this, command(&TfrmMain::BtnMoveLeftClick));
  connect(Shelllist, &ShellList::FolderChanged, this, command(&TfrmMain::ShelllistChange));
  connect(Shelllist, &ShellList::OpenRequested, this, [this](const QString& path, bool* handled) {
    RunCommand([&] { ShelllistDblClickOpen(path, handled); });
  });
  // The box reports every change, also one made by code, and never stays checked.
  connect(bScanFree, &QCheckBox::toggled, this, [this](bool checked) {
    if (checked) frambit::bScanFreeClick(*this);
  });
  connect(ElapsedTime, &QTimer::timeout, this, command(&TfrmMain::ElapsedTimeTimer));
}

template <typename Command>
void TfrmMain::RunCommand(Command command) {
  ++runningCommands_;
  try {
    command();
  } catch (const std::exception& failure) {
    ShowFailure(failure);
  }
  --runningCommands_;
  if (runningCommands_ == 0 && closePending_) close();
}

void TfrmMain::ShowFailure(const std::exception& failure) {
  desktop_.ShowInformation(this, ApplicationTitle(), QString::fromUtf8(failure.what()));
}

// --- SessionView ---

void TfrmMain::SetProgressRange(std::int64_t minimum, std::int64_t maximum) { gg->SetRange(minimum, maximum); }

void TfrmMain::SetProgress(std::int64_t value) { gg->SetPosition(value); }

void TfrmMain::ShowFragmentCount(std::int64_t count) {
  SegLabel->setText(QString::fromUtf8(texts::kFragmentCountPrefix) + QString::number(count));
}

void TfrmMain::ShowMessage(const std::string& text) {
  desktop_.ShowInformation(this, ApplicationTitle(), Text(text).replace(QLatin1Char('\r'), QLatin1Char('\n')));
}

bool TfrmMain::AskContinue() {
  return desktop_.AskOkCancel(this, QString::fromUtf8(texts::kPauseCaption), QString::fromUtf8(texts::kPauseQuestion));
}

void TfrmMain::ProcessMessages() { QCoreApplication::processEvents(); }

std::string TfrmMain::SourceText() { return Source->text().toStdString(); }

std::string TfrmMain::OutputFolderText() { return Edit1->text().toStdString(); }

void TfrmMain::ClearScanFreeOnly() { bScanFree->setChecked(false); }

void TfrmMain::SetCommandsEnabled(bool enabled) {
  for (QWidget* control : std::initializer_list<QWidget*>{Source, bScanFree, Edit1, ToolBoxBtn, RecBtn, SaveBtn,
                                                           RunBtn, UpdateBtn, SupportBtn, BtnSelectAll})
    control->setEnabled(enabled);
}

void TfrmMain::SetTimerEnabled(bool enabled) {
  if (enabled) {
    ElapsedTime->start();
  } else {
    ElapsedTime->stop();
  }
}

void TfrmMain::ResetTimeCaption() { TimeLabel->setText(QString::fromUtf8(texts::kTimeCaptionPrefix)); }

void TfrmMain::RefreshFileList() { Shelllist->Refresh(); }

void TfrmMain::ElapsedTimeTimer() {
  ++session_.ElapsedSeconds;
  const auto remaining = RemainingSeconds(gg->Position(), gg->Maximum(), session_.ElapsedSeconds);
  if (!remaining) return;
  TimeLabel->setText(QString::fromUtf8(texts::kTimeCaptionPrefix) + Text(FormatMinSec(*remaining)));
}

// --- Commands ---

void TfrmMain::RunBtnClick() { frambit::RunBtnClick(session_, *this); }

void TfrmMain::N9Click() { frambit::N9Click(session_, *this); }

void TfrmMain::N10Click() { frambit::N10Click(session_, *this); }

void TfrmMain::N11Click() { RunSmartSession(session_, *this); }

void TfrmMain::PauseBtnClick() { frambit::PauseBtnClick(session_, *this); }

void TfrmMain::StopBtnClick() { frambit::StopBtnClick(session_, *this); }

void TfrmMain::BtnSelectAllClick() {
  frambit::BtnSelectAllClick(session_, *this, [this]() -> std::optional<std::string> {
    const auto chosen = desktop_.ChooseFile(this, lastChosenFile_);
    if (!chosen) return std::nullopt;
    lastChosenFile_ = *chosen;
    return chosen->toStdString();
  });
}

void TfrmMain::SaveBtnClick() {
  const auto chosen = desktop_.ChooseFolder(this, QString::fromUtf8(texts::kBrowseFolderTitle));
  if (!chosen) return;
  Edit1->setText(*chosen);
  Shelllist->ShowFolder(*chosen);
  Destination->setText(*chosen);
}

void TfrmMain::RecBtnDropDown() {
  ProcessMessages();
  BuildTargetMenu();
}

void TfrmMain::SourceMouseDown(Qt::MouseButton button) {
  ProcessMessages();
  if (button == Qt::RightButton) BuildTargetMenu();
}

// Each opening examines the volumes and disks afresh, so media inserted or
// removed since the last opening show up.
void TfrmMain::BuildTargetMenu() {
  pop->clear();
  targetMenu_ = frambit::BuildTargetMenu(sources_);
  for (std::size_t i = 0; i < targetMenu_.size(); ++i) {
    const TargetMenuEntry& entry = targetMenu_[i];
    if (entry.kind == TargetKind::Separator) {
      pop->addSeparator();
      continue;
    }
    QAction* item = pop->addAction(style()->standardIcon(TargetIcon(entry.imageIndex)), Text(entry.caption));
    item->setObjectName(Text(entry.key));
    item->setData(static_cast<qulonglong>(i));
  }
}

void TfrmMain::TargetItemClick(QAction* item) {
  lastChosenFile_.clear();
  const auto index = static_cast<std::size_t>(item->data().toULongLong());
  if (index >= targetMenu_.size()) return;
  frambit::TargetItemClick(targetMenu_[index], session_, *this, sources_);
}

void TfrmMain::SourceChange() { frambit::SourceChange(session_, *this, sources_); }

// Typing never changes the chosen target; keys that type nothing still move
// the cursor.
bool TfrmMain::SourceKeyPress(const QKeyEvent& key) { return !key.text().isEmpty(); }

void TfrmMain::SetSourceText(const std::string& text) { Source->setText(Text(text)); }

void TfrmMain::SetScanFree(bool enabledAndChecked) {
  bScanFree->setEnabled(enabledAndChecked);
  bScanFree->setChecked(enabledAndChecked);
}

std::optional<std::string> TfrmMain::ChooseImageFile() {
  const auto chosen = desktop_.ChooseFile(this, QString());
  if (!chosen) return std::nullopt;
  lastChosenFile_ = *chosen;
  return chosen->toStdString();
}

void TfrmMain::ExitBtnClick() { close(); }

void TfrmMain::N2Click() {
  session_.StopFlag = true;
  close();
}

void TfrmMain::RzBitBtn1Click() { ShowMessage(texts::kStartScanHint); }

// The menu items run their button's action even while the button is
// disabled, so the update check and the help stay at hand during a scan.
void TfrmMain::UpdateBtnClick() {
  if (online_) online_->CheckForUpdate(this);
}

void TfrmMain::Update1Click() { UpdateBtnClick(); }

void TfrmMain::SupportBtnClick() {
  if (online_) online_->OpenProductSite(this);
}

void TfrmMain::helpBtnClick() {
  if (online_) online_->OpenHelp(this);
}

void TfrmMain::N4Click() { helpBtnClick(); }

void TfrmMain::N5Click() {
  if (online_) online_->OpenCompanySite(this);
}

void TfrmMain::RzBitBtn2Click() {
  if (online_) online_->RequestSupport(this);
}

void TfrmMain::RzBitBtn3Click() { SupportBtnClick(); }

void TfrmMain::sLabelFX1Click() {
  if (online_) online_->OpenServiceChat(this);
}

void TfrmMain::sLabelFX2Click() { SupportBtnClick(); }

void TfrmMain::BtnMoveLeftClick() { Shelllist->GoUp(1); }

void TfrmMain::ShelllistChange() { Destination->setText(Shelllist->CurrentFolderPath()); }

void TfrmMain::ShelllistDblClickOpen(const QString& path, bool* handled) {
  const QString name = QFileInfo(path).fileName();
  const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
  const QString extension = dot < 0 ? QString() : name.mid(dot).toLower();
  if (extension != QLatin1String(texts::kDatabaseExtension)) return;
  if (!desktop_.AskOkCancel(this, QString::fromUtf8(texts::kDatabaseCaption), QString::fromUtf8(texts::kDatabaseQuestion)))
    *handled = true;
}

// --- Closing ---

void TfrmMain::closeEvent(QCloseEvent* event) {
  // A scan runs inside the command that started it: the window stays until
  // that command has returned, and then closes (RunCommand).
  if (runningCommands_ > 0) {
    closePending_ = true;
    event->ignore();
    return;
  }
  if (Tray) Tray->hide();
  event->accept();
}

bool TfrmMain::eventFilter(QObject* watched, QEvent* event) {
  if (watched == Source && event->type() == QEvent::MouseButtonPress) {
    const Qt::MouseButton button = static_cast<QMouseEvent*>(event)->button();
    RunCommand([this, button] { SourceMouseDown(button); });
  } else if (watched == Source && event->type() == QEvent::KeyPress && SourceKeyPress(*static_cast<QKeyEvent*>(event))) {
    return true;
  }
  return QMainWindow::eventFilter(watched, event);
}

void TfrmMain::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  // With a notification area, a minimized window leaves the taskbar and
  // comes back by a double-click on the tray icon.
  if (event->type() == QEvent::WindowStateChange && Tray && isMinimized())
    QTimer::singleShot(0, this, &QWidget::hide);
}

}  // namespace frambit
