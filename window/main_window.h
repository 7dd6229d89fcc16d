#pragma once

#include <QMainWindow>
#include <QString>
#include <QStyle>
#include <QToolButton>

#include <exception>
#include <vector>

#include "engine/session_state.h"
#include "engine/session_view.h"
#include "sources/source_selection.h"

class QAction;
class QCheckBox;
class QFrame;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QSplitter;
class QSystemTrayIcon;
class QTimer;
class QToolBar;

namespace frambit {

class ClickLabel;
class Desktop;
class OnlineCommands;
class ProgressGauge;
class ShellList;

// The main window `frmMain`. It owns the session, carries every command and
// shows the engine's progress: the engine runs inside the command that
// started it and lets the window's events run between blocks, so pause,
// stop and close arrive nested inside a running scan.
class TfrmMain : public QMainWindow, public SessionView, public SourceControls {
  Q_OBJECT

 public:
  // The target menu offers the system's volumes and disks.
  explicit TfrmMain(Desktop& desktop, QWidget* parent = nullptr);
  TfrmMain(Desktop& desktop, RecoverySources sources, QWidget* parent = nullptr);

  SessionState& Session() { return session_; }
  // What the update, support, help and link commands do; until it is set
  // they do nothing. The commands must outlive the window.
  void SetOnlineCommands(OnlineCommands& commands) { online_ = &commands; }
  // "Frambit 专业版 by " and the product site's name: the caption of the
  // window and of every plain message.
  QString ApplicationTitle() const;

  // SessionView on the real controls.
  void SetProgressRange(std::int64_t minimum, std::int64_t maximum) override;
  void SetProgress(std::int64_t value) override;
  void ShowFragmentCount(std::int64_t count) override;
  void ShowMessage(const std::string& text) override;
  bool AskContinue() override;
  void ProcessMessages() override;
  std::string SourceText() override;
  std::string OutputFolderText() override;
  void ClearScanFreeOnly() override;
  void SetCommandsEnabled(bool enabled) override;
  void SetTimerEnabled(bool enabled) override;
  void ResetTimeCaption() override;
  void RefreshFileList() override;

  // SourceControls on Source, bScanFree and the open-file dialog.
  void SetSourceText(const std::string& text) override;
  void SetScanFree(bool enabledAndChecked) override;
  std::optional<std::string> ChooseImageFile() override;

  // The one-second tick: the remaining-time estimate in TimeLabel.
  void ElapsedTimeTimer();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;
  // Mouse buttons and typing on Source.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Commands. Each runs through RunCommand.
  void RunBtnClick();
  void N9Click();
  void N10Click();
  // "智能恢复": video and sound together, with a header and index fitted to each run.
  void N11Click();
  void PauseBtnClick();
  void StopBtnClick();
  void BtnSelectAllClick();
  void SaveBtnClick();
  void RecBtnDropDown();
  void SourceMouseDown(Qt::MouseButton button);
  // True when the key types a character, which is discarded.
  static bool SourceKeyPress(const QKeyEvent& key);
  void BuildTargetMenu();
  void TargetItemClick(QAction* item);
  void SourceChange();
  void ExitBtnClick();
  void N2Click();
  void RzBitBtn1Click();
  void BtnMoveLeftClick();
  void ShelllistChange();
  void ShelllistDblClickOpen(const QString& path, bool* handled);
  void UpdateBtnClick();
  void Update1Click();
  void SupportBtnClick();
  void helpBtnClick();
  void N4Click();
  void N5Click();
  void RzBitBtn2Click();
  void RzBitBtn3Click();
  void sLabelFX1Click();
  void sLabelFX2Click();

  // Runs a command. A failure that leaves it is shown by ShowFailure; a
  // close asked for while a command runs takes effect when the outermost
  // command has returned.
  template <typename Command>
  void RunCommand(Command command);
  // The application's one handler for failures that leave a command.
  void ShowFailure(const std::exception& failure);

  // Building the window, in main_window_layout.cpp.
  void BuildWindow();
  void BuildMenuBar();
  void BuildToolbar();
  QFrame* BuildUpperPanel();
  QFrame* BuildLowerPanel();
  void BuildStatusBar();
  void BuildTray();
  QToolButton* AddToolButton(const char* name, const char* caption, QStyle::StandardPixmap icon);
  QMenu* AttachMenu(QToolButton* button, const char* name, QToolButton::ToolButtonPopupMode mode);
  void ConnectCommands();

  Desktop& desktop_;
  RecoverySources sources_;
  OnlineCommands* online_ = nullptr;
  SessionState session_;
  // The entries behind the items of `pop`, as last built.
  std::vector<TargetMenuEntry> targetMenu_;
  // The file name the open-file dialog `od` starts with: the last one
  // chosen in it, cleared whenever a target is chosen from the menu.
  QString lastChosenFile_;
  int runningCommands_ = 0;
  bool closePending_ = false;

  QToolBar* RzToolbar1 = nullptr;
  QToolButton* ToolBoxBtn = nullptr;
  QToolButton* RecBtn = nullptr;
  QToolButton* SaveBtn = nullptr;
  QToolButton* BtnSelectAll = nullptr;
  QToolButton* RunBtn = nullptr;
  QToolButton* PauseBtn = nullptr;
  QToolButton* StopBtn = nullptr;
  QToolButton* UpdateBtn = nullptr;
  QToolButton* SupportBtn = nullptr;
  QToolButton* helpBtn = nullptr;
  QToolButton* ExitBtn = nullptr;
  QMenu* PopForTools = nullptr;
  QMenu* pop = nullptr;
  QMenu* PopupMenu2 = nullptr;
  QAction* N9 = nullptr;
  QAction* N10 = nullptr;
  QAction* N11 = nullptr;
  QAction* N2 = nullptr;
  QAction* N4 = nullptr;
  QAction* Update1 = nullptr;
  QAction* N5 = nullptr;

  QToolButton* BtnMoveLeft = nullptr;
  QLineEdit* Destination = nullptr;
  ShellList* Shelllist = nullptr;
  QSplitter* Splitter2 = nullptr;

  QPushButton* RzBitBtn1 = nullptr;
  QPushButton* RzBitBtn2 = nullptr;
  QPushButton* RzBitBtn3 = nullptr;
  ClickLabel* sLabelFX1 = nullptr;
  ClickLabel* sLabelFX2 = nullptr;

  QLabel* TimeLabel = nullptr;
  QLabel* SegLabel = nullptr;
  QLineEdit* Source = nullptr;
  QLineEdit* Edit1 = nullptr;
  ProgressGauge* gg = nullptr;
  QCheckBox* bScanFree = nullptr;

  QTimer* ElapsedTime = nullptr;
  QSystemTrayIcon* Tray = nullptr;
};

}  // namespace frambit
