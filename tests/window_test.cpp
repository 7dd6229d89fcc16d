#include "window/main_window.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFileSystemModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QThread>
#include <QTimer>
#include <QToolButton>

#include <deque>
#include <filesystem>
#include <functional>
#include <memory>

#include "engine/texts.h"
#include "tests/support/fake_desktop.h"
#include "tests/support/fake_sources.h"
#include "tests/support/qt_application.h"
#include "tests/support/temp_dir.h"
#include "window/desktop.h"
#include "window/progress_gauge.h"
#include "window/remaining_time.h"
#include "window/shell_list.h"
#include "window/window_texts.h"

namespace frambit {
namespace {

namespace fs = std::filesystem;
using test::FakeDesktop;
using test::ReadFile;
using test::TempDir;

constexpr std::int64_t kBlock = 262144;

[[maybe_unused]] testing::Environment* const kQt = testing::AddGlobalTestEnvironment(new test::QtApplication);

QString Q(const char* utf8) { return QString::fromUtf8(utf8); }
QString Q(const std::string& utf8) { return QString::fromStdString(utf8); }

// The window with a look inside every pass of the engine's event handling:
// the hook runs just before the window handles its waiting events there.
class ObservedWindow final : public TfrmMain {
 public:
  using TfrmMain::TfrmMain;
  std::function<void()> beforeEachPass;
  void ProcessMessages() override {
    if (beforeEachPass) beforeEachPass();
    TfrmMain::ProcessMessages();
  }
};

// The controls a busy period locks, and some of those it leaves usable.
constexpr const char* kLockedWhileBusy[] = {"Source", "bScanFree", "Edit1", "ToolBoxBtn", "RecBtn",
                                            "SaveBtn", "RunBtn", "UpdateBtn", "SupportBtn", "BtnSelectAll"};
// The commands that start something, usable whenever the window is idle.
constexpr const char* kCommands[] = {"ToolBoxBtn", "RecBtn", "SaveBtn", "RunBtn", "UpdateBtn", "SupportBtn",
                                     "BtnSelectAll"};
constexpr const char* kUsableWhileBusy[] = {"PauseBtn", "StopBtn", "helpBtn", "ExitBtn", "Shelllist",
                                            "BtnMoveLeft", "Destination", "RzBitBtn1", "RzBitBtn2"};

// Processes events until the condition holds or five seconds have passed.
bool WaitUntil(const std::function<bool()>& condition) {
  for (int i = 0; i < 500 && !condition(); ++i) {
    QApplication::processEvents(QEventLoop::AllEvents, 10);
    QThread::msleep(10);
  }
  return condition();
}

class Window : public testing::Test {
 public:
  Window() {
    fs::create_directory(dir.Path() / "out");
    frmMain.show();
  }

  template <typename Control>
  Control& Find(const char* name) {
    auto* control = frmMain.findChild<Control*>(name);
    if (control == nullptr) throw std::runtime_error(std::string("no control ") + name);
    return *control;
  }
  QString LabelText(const char* name) { return Find<QLabel>(name).text(); }
  ProgressGauge& Gauge() { return Find<ProgressGauge>("gg"); }
  void Click(const char* name) { Find<QToolButton>(name).click(); }
  // Clicks the control at the scan's next pass, as the user would while it runs.
  void ClickDuringScan(std::function<void()> click) { QTimer::singleShot(0, &frmMain, std::move(click)); }

  bool AllEnabled(const auto& names, bool enabled) {
    for (const char* name : names)
      if (Find<QWidget>(name).isEnabled() != enabled) return false;
    return true;
  }

  // The bundled demo image twice: at 0 and four blocks later, so the scan
  // runs five blocks and a stop after the first block keeps only the first
  // copy's four files.
  std::string TwoDemoCopies() {
    const auto demo = ReadFile(FRAMBIT_DEMO_DIR "/demo.img");
    std::vector<std::byte> image(4 * kBlock, std::byte{0});
    std::copy(demo.begin(), demo.end(), image.begin());
    image.insert(image.end(), demo.begin(), demo.end());
    const std::string path = dir / "disk.img";
    test::WriteFile(path, image);
    return path;
  }

  void ChooseTarget(const std::string& image) {
    desktop.files = {Q(image)};
    Find<QAction>("Openimage").trigger();
  }
  void ChooseOutputFolder() {
    desktop.folder = Q(dir / "out");
    Click("SaveBtn");
  }
  void ChooseSample() {
    desktop.files = {Q(FRAMBIT_DEMO_DIR "/sample.avi")};
    Click("BtnSelectAll");
  }

  int OutputFileCount() const {
    int count = 0;
    while (fs::exists(dir.Path() / "out" / (std::to_string(count + 1) + ".AVI"))) ++count;
    return count;
  }

  TempDir dir;
  FakeDesktop desktop;
  ObservedWindow frmMain{desktop};
};

TEST_F(Window, OpensWithItsCaptionAndStartTexts) {
  EXPECT_EQ(frmMain.windowTitle(), Q(texts::kCaptionPrefix) + "frambit.example");
  EXPECT_EQ(LabelText("TimeLabel"), Q(texts::kTimeStartCaption));
  EXPECT_EQ(LabelText("SegLabel"), Q(texts::kFragmentStartCaption));
  EXPECT_EQ(Find<QLineEdit>("Edit1").text(), Q(texts::kOutputFolderPlaceholder));
  EXPECT_TRUE(Find<QLineEdit>("Source").text().isEmpty());
  EXPECT_FALSE(Find<QLineEdit>("Source").isVisible());
  EXPECT_FALSE(Find<QCheckBox>("bScanFree").isVisible());
  EXPECT_FALSE(Find<QCheckBox>("bScanFree").isEnabled());
  // Nothing, not even the program itself, leaves the hidden box checked.
  Find<QCheckBox>("bScanFree").setChecked(true);
  EXPECT_FALSE(Find<QCheckBox>("bScanFree").isChecked());
  EXPECT_EQ(Gauge().Minimum(), 0);
  EXPECT_EQ(Gauge().Maximum(), 100);
  EXPECT_EQ(Gauge().Position(), 0);
  EXPECT_FALSE(Find<QTimer>("ElapsedTime").isActive());
  EXPECT_EQ(Find<QLineEdit>("Destination").text(), QDir::homePath());
  // Drop-downs without an action of their own open their menu anywhere;
  // the recover button opens its menu only from the arrow.
  EXPECT_EQ(Find<QToolButton>("RecBtn").popupMode(), QToolButton::InstantPopup);
  EXPECT_EQ(Find<QToolButton>("ToolBoxBtn").popupMode(), QToolButton::InstantPopup);
  EXPECT_EQ(Find<QToolButton>("RunBtn").popupMode(), QToolButton::MenuButtonPopup);
  EXPECT_EQ(Find<QAction>("N9").text(), Q(texts::kFullDiskCaption));
  QStringList runMenu;
  for (const QAction* item : Find<QMenu>("PopupMenu2").actions()) runMenu << item->text();
  EXPECT_EQ(runMenu, (QStringList{Q(texts::kFullDiskCaption), Q(texts::kFreeSpaceCaption), Q(texts::kSmartCaption)}));
  EXPECT_EQ(frmMain.size().width(), 995);
  QStringList help;
  for (const QAction* item : Find<QMenu>("N3").actions())
    if (item->isVisible()) help << (item->isSeparator() ? QString("-") : item->text());
  EXPECT_EQ(help, (QStringList{Q(texts::kHelpCaption), "-", Q(texts::kUpdateCaption), Q(texts::kAboutCaption)}));
}

// A whole recovery with the mouse: target, folder, sample, "恢复".
TEST_F(Window, RecoversTheDemoFilesAndShowsProgress) {
  const std::string image = TwoDemoCopies();
  ChooseTarget(image);
  EXPECT_EQ(Find<QLineEdit>("Source").text(), Q(image));
  EXPECT_EQ(frmMain.Session().SourcePath, image);
  EXPECT_EQ(frmMain.Session().SourceSize, 4 * kBlock + 183192);
  ChooseOutputFolder();
  EXPECT_EQ(Find<QLineEdit>("Edit1").text(), Q(dir / "out"));
  EXPECT_EQ(Find<QLineEdit>("Destination").text(), Q(dir / "out"));
  ChooseSample();
  ASSERT_FALSE(frmMain.Session().SampleHeaderPath.empty());

  struct Pass {
    std::int64_t maximum, position;
    QString fragments;
    bool locked, usable, timerRunning;
  };
  std::vector<Pass> passes;
  frmMain.beforeEachPass = [&] {
    passes.push_back({Gauge().Maximum(), Gauge().Position(), LabelText("SegLabel"),
                      AllEnabled(kLockedWhileBusy, false), AllEnabled(kUsableWhileBusy, true),
                      Find<QTimer>("ElapsedTime").isActive()});
  };
  Click("RunBtn");
  frmMain.beforeEachPass = nullptr;

  // Five blocks: the gauge counts KiB, and the pane the headers found so far.
  const std::int64_t kib = (4 * kBlock + 183192) / 1024;
  ASSERT_GE(passes.size(), 5u);
  for (std::size_t i = 0; i < 5; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(passes[i].maximum, kib);
    EXPECT_EQ(passes[i].position, i == 0 ? 0 : static_cast<std::int64_t>(i - 1) * kBlock / 1024);
    EXPECT_EQ(passes[i].fragments, i == 0 ? Q(texts::kFragmentStartCaption) : Q("碎片: 94"));
  }
  // Then the output: the gauge counts the hits.
  EXPECT_EQ(passes.back().maximum, 188 - 1);
  for (const Pass& pass : passes) {
    EXPECT_TRUE(pass.locked);
    EXPECT_TRUE(pass.usable);
    EXPECT_TRUE(pass.timerRunning);
  }

  EXPECT_TRUE(desktop.informations.empty());
  EXPECT_EQ(LabelText("SegLabel"), Q("碎片: 188"));
  EXPECT_EQ(LabelText("TimeLabel"), Q(texts::kTimeCaptionPrefix));
  EXPECT_EQ(Gauge().Position(), 0);
  EXPECT_TRUE(AllEnabled(kLockedWhileBusy, true));
  EXPECT_FALSE(Find<QTimer>("ElapsedTime").isActive());
  EXPECT_TRUE(frmMain.Session().SampleHeaderPath.empty());

  // The four clips of each copy, behind the sample's header.
  ASSERT_EQ(OutputFileCount(), 8);
  const std::int64_t sizes[] = {28088, 50580, 57434, 42898};
  for (int i = 0; i < 8; ++i)
    EXPECT_EQ(fs::file_size(dir.Path() / "out" / (std::to_string(i + 1) + ".AVI")), sizes[i % 4]) << i + 1;
  const auto sample = ReadFile(FRAMBIT_DEMO_DIR "/sample.avi");
  const auto disk = ReadFile(image);
  std::vector<std::byte> expected(sample.begin(), sample.begin() + 5720);
  expected.insert(expected.end(), disk.begin() + 3001, disk.begin() + 3001 + 22368);
  EXPECT_EQ(ReadFile(dir / "out/1.AVI"), expected);
  EXPECT_EQ(ReadFile(dir / "out/5.AVI"), expected);

  // The list follows its folder: the new files show up without a command.
  ShellList& list = Find<ShellList>("Shelllist");
  EXPECT_TRUE(WaitUntil([&] {
    const QModelIndex root = list.rootIndex();
    return list.Model().rowCount(root) == 8 && list.Model().index(Q(dir / "out/8.AVI")).isValid();
  }));

  // The sample was consumed: the next scan asks for one again.
  Click("RunBtn");
  ASSERT_EQ(desktop.informations.size(), 1u);
  EXPECT_EQ(desktop.informations[0].text, Q(texts::kNoSample));
}

// "智能恢复" from the menu: every clip of the demo image comes back whole,
// each behind a header fitted to it (its RIFF size is the file's own).
TEST_F(Window, SmartRecoveryFromTheMenuFitsEachFile) {
  ChooseTarget(TwoDemoCopies());
  ChooseOutputFolder();
  ChooseSample();
  Find<QAction>("N11").trigger();
  EXPECT_TRUE(desktop.informations.empty());
  EXPECT_TRUE(AllEnabled(kCommands, true));
  EXPECT_TRUE(frmMain.Session().SampleHeaderPath.empty());
  for (int number = 1; number <= 8; ++number) {
    SCOPED_TRACE(number);
    const auto bytes = test::ReadFile(dir / ("out/" + std::to_string(number) + ".AVI"));
    ASSERT_GT(bytes.size(), 12u);
    std::uint32_t riffSize = 0;
    for (int i = 3; i >= 0; --i) riffSize = riffSize << 8 | std::to_integer<std::uint32_t>(bytes[4 + i]);
    EXPECT_EQ(riffSize, bytes.size() - 8);
  }
  EXPECT_FALSE(std::filesystem::exists(dir / "out/9.AVI"));
}

TEST_F(Window, MissingInputsAreNamedOneAtATime) {
  Click("RunBtn");
  ChooseTarget(TwoDemoCopies());
  Find<QAction>("N9").trigger();
  ChooseOutputFolder();
  Find<QAction>("N10").trigger();
  ASSERT_EQ(desktop.informations.size(), 3u);
  EXPECT_EQ(desktop.informations[0].text, Q(texts::kNoTarget));
  EXPECT_EQ(desktop.informations[1].text, Q(texts::kNoOutputFolder));
  EXPECT_EQ(desktop.informations[2].text, Q(texts::kNoSample));
  for (const auto& box : desktop.informations) EXPECT_EQ(box.caption, frmMain.ApplicationTitle());
  EXPECT_TRUE(AllEnabled(kCommands, true));
}

// A failure that leaves a command is shown once, with its own text, and
// leaves the window usable.
TEST_F(Window, ATargetThatCannotBeOpenedIsShownByTheApplicationHandler) {
  const std::string missing = dir / "gone.img";
  ChooseTarget(missing);
  ASSERT_EQ(desktop.informations.size(), 1u);
  EXPECT_EQ(desktop.informations[0].caption, frmMain.ApplicationTitle());
  EXPECT_EQ(desktop.informations[0].text, Q("Cannot open file \"" + missing + "\". No such file or directory"));
  EXPECT_TRUE(AllEnabled(kCommands, true));
}

// The target menu on a fake machine: one volume and one disk, then a
// second disk plugged in while the window is open.
class WindowTargets : public testing::Test {
 public:
  WindowTargets() { frmMain.show(); }
  static test::FakeSources OneVolumeOneDisk() {
    test::FakeSources fake;
    fake.volumes = {{"/dev/sda1", platform::VolumeLabels{"System", "", "ext4"}, platform::VolumeSpace{2048LL << 20, 1024LL << 20},
                     platform::DriveType::Fixed, std::vector<platform::DiskExtent>{{0, 1048576, 2048LL << 20}},
                     (2048LL << 20) + 512}};
    fake.disks = {{"/dev/sda", 4LL << 30}};
    return fake;
  }
  QMenu& Pop() { return *frmMain.findChild<QMenu*>("pop"); }
  // "key caption" per item, "-" per separator, joined by "|".
  std::string Items() {
    QStringList items;
    for (const QAction* item : Pop().actions())
      items << (item->isSeparator() ? QString("-") : item->objectName() + " " + item->text());
    return items.join("|").toStdString();
  }
  QAction& Item(const char* key) { return *Pop().findChild<QAction*>(key); }
  QCheckBox& ScanFree() { return *frmMain.findChild<QCheckBox*>("bScanFree"); }
  QLineEdit& Source() { return *frmMain.findChild<QLineEdit*>("Source"); }
  void PressOnSource(Qt::MouseButton button) {
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(2, 2), QPointF(2, 2), button, button, Qt::NoModifier);
    QApplication::sendEvent(&Source(), &press);
  }

  test::TempDir dir;
  test::FakeSources fake = OneVolumeOneDisk();
  FakeDesktop desktop;
  TfrmMain frmMain{desktop, fake.Sources()};
};

TEST_F(WindowTargets, TheMenuOffersImageVolumesAndDisksAndIsRebuiltOnEachOpening) {
  const std::string before =
      "Openimage 打开磁盘镜像|-|/dev/sda1xx System (/dev/sda1), HD0, ext4, [1.00 GB/2.00 GB]|-|"
      "PhysicalDrive0 HD0, Fixed Drive, [4 GB]";
  EXPECT_EQ(Items(), before);
  fake.disks.push_back({"/dev/sdb", 1LL << 30, platform::kRemovableMedia});
  PressOnSource(Qt::LeftButton);
  EXPECT_EQ(Items(), before);
  PressOnSource(Qt::RightButton);
  EXPECT_EQ(Items(), before + "|PhysicalDrive1 HD1, Removable Drive, [1 GB]");
  fake.disks.pop_back();
  emit Pop().aboutToShow();
  EXPECT_EQ(Items(), before);
}

TEST_F(WindowTargets, AVolumeEnablesTheFreeSpaceBoxAndAnImageClearsIt) {
  Item("/dev/sda1xx").trigger();
  EXPECT_EQ(Source().text(), "/dev/sda1");
  EXPECT_EQ(frmMain.Session().SourcePath, "/dev/sda1");
  EXPECT_EQ(frmMain.Session().SourceSize, (2048LL << 20) + 512);
  EXPECT_EQ(frmMain.Session().SourceFileSystem, "ext4");
  // Checked by the choice, and unchecked again at once by the box's own handler.
  EXPECT_TRUE(ScanFree().isEnabled());
  EXPECT_FALSE(ScanFree().isChecked());

  QKeyEvent typed(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, "x");
  QApplication::sendEvent(&Source(), &typed);
  EXPECT_EQ(Source().text(), "/dev/sda1");

  const std::string image = dir / "card.img";
  test::WriteFile(image, std::vector<std::byte>(4096));
  desktop.files = {Q(image)};
  Item("Openimage").trigger();
  EXPECT_EQ(Source().text(), Q(image));
  EXPECT_EQ(frmMain.Session().SourceSize, 4096);
  EXPECT_FALSE(ScanFree().isEnabled());
  EXPECT_FALSE(ScanFree().isChecked());

  Item("PhysicalDrive0").trigger();
  EXPECT_EQ(Source().text(), "/dev/sda");
  EXPECT_EQ(frmMain.Session().SourceSize, 4LL << 30);
  EXPECT_TRUE(desktop.informations.empty());
}

TEST_F(Window, AFailedSampleCaptureSaysSoAndLeavesTheWindowIdle) {
  const std::string notAvi = dir / "notes.txt";
  test::WriteFile(notAvi, test::Bytes("no video here"));
  desktop.files = {Q(notAvi)};
  Click("BtnSelectAll");
  ASSERT_EQ(desktop.informations.size(), 1u);
  EXPECT_TRUE(desktop.informations[0].text.startsWith(Q(texts::kSampleUnreadable) + "\n"));
  EXPECT_TRUE(frmMain.Session().SampleHeaderPath.empty());
  EXPECT_TRUE(AllEnabled(kCommands, true));
  // A busy period that never moved the gauge leaves the estimate alone.
  EXPECT_EQ(LabelText("TimeLabel"), Q(texts::kTimeCaptionPrefix));
}

// What the user does while the scan runs, at its first pass (before the
// first block): the block of that pass is still read, then the scan ends
// or goes on.
struct DuringScan {
  const char* name;
  std::function<void(Window&)> act;
  bool answerOk;
  int files;      // 4: only the first block was scanned; 8: the whole target
  bool asked;     // the pause question was shown
  bool closes;    // the window closes once the scan has returned
};

class WindowDuringScan : public Window, public testing::WithParamInterface<DuringScan> {};

TEST_P(WindowDuringScan, EndsOrGoesOnAsAsked) {
  const DuringScan& during = GetParam();
  ChooseTarget(TwoDemoCopies());
  ChooseOutputFolder();
  ChooseSample();
  desktop.answerOk = during.answerOk;
  Find<QCheckBox>("bScanFree").setChecked(true);
  bool visibleAfterAct = false;
  int passesAfterAct = 0;
  frmMain.beforeEachPass = [&] {
    if (++passesAfterAct == 2) visibleAfterAct = frmMain.isVisible();
  };
  ClickDuringScan([&] {
    passesAfterAct = 0;
    during.act(*this);
  });
  Click("RunBtn");
  frmMain.beforeEachPass = nullptr;

  EXPECT_EQ(OutputFileCount(), during.files);
  EXPECT_EQ(!desktop.questions.empty(), during.asked);
  if (during.asked) {
    EXPECT_EQ(desktop.questions[0].caption, Q(texts::kPauseCaption));
    EXPECT_EQ(desktop.questions[0].text, Q(texts::kPauseQuestion));
  }
  // No close takes the window away while the scan is still running.
  EXPECT_TRUE(visibleAfterAct);
  EXPECT_EQ(!frmMain.isVisible(), during.closes);
  EXPECT_TRUE(AllEnabled(kLockedWhileBusy, true));
  EXPECT_EQ(Gauge().Position(), 0);
  EXPECT_TRUE(desktop.informations.empty());
}

void ClickButton(Window& window, const char* name) { window.Find<QToolButton>(name).click(); }

INSTANTIATE_TEST_SUITE_P(
    Window, WindowDuringScan,
    testing::Values(
        DuringScan{"PauseAnsweredOk", [](Window& w) { ClickButton(w, "PauseBtn"); }, true, 8, true, false},
        DuringScan{"PauseAnsweredCancel", [](Window& w) { ClickButton(w, "PauseBtn"); }, false, 4, true, false},
        DuringScan{"Stop",
                   [](Window& w) {
                     ClickButton(w, "StopBtn");
                     EXPECT_FALSE(w.Find<QCheckBox>("bScanFree").isChecked());
                     EXPECT_EQ(w.Find<ProgressGauge>("gg").Position(), 0);
                   },
                   true, 4, false, false},
        DuringScan{"CloseMenuStopsThenEnds", [](Window& w) { w.Find<QAction>("N2").trigger(); }, true, 4, false, true},
        DuringScan{"ExitButtonLetsTheScanFinish", [](Window& w) { ClickButton(w, "ExitBtn"); }, true, 8, false, true},
        DuringScan{"TitleBarCloseLetsTheScanFinish", [](Window& w) { w.frmMain.close(); }, true, 8, false, true}),
    [](const testing::TestParamInfo<DuringScan>& param) { return std::string(param.param.name); });

TEST_F(Window, ClosingWhenIdleEndsAtOnce) {
  Click("ExitBtn");
  EXPECT_FALSE(frmMain.isVisible());
}

TEST_F(Window, StartScanOnlyShowsItsHint) {
  Find<QAbstractButton>("RzBitBtn1").click();
  ASSERT_EQ(desktop.informations.size(), 1u);
  EXPECT_EQ(desktop.informations[0].text, Q(texts::kStartScanHint));
  EXPECT_EQ(desktop.informations[0].caption, frmMain.ApplicationTitle());
  EXPECT_TRUE(AllEnabled(kCommands, true));
}

// The one-second tick: rate = position / seconds, the rest of the range at that rate.
TEST_F(Window, TheTickEstimatesTheRemainingTime) {
  struct Case {
    std::int64_t position, maximum;
    std::int32_t elapsedBefore;
    const char* time;
  } cases[] = {
      {1, 100, 1, texts::kTimeStartCaption},  // rate 0: the pane keeps its text
      {3000, 9000, 2, "剩余时间: 0 : 6"},     // rate 1000
      {1200, 181200, 1, "剩余时间: 5 : 0"},   // rate 600, 300 s
      {9000, 9000, 2, "剩余时间: 0 : 0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.time);
    frmMain.ResetTimeCaption();
    Find<QLabel>("TimeLabel").setText(Q(texts::kTimeStartCaption));
    frmMain.SetProgressRange(0, c.maximum);
    frmMain.SetProgress(c.position);
    frmMain.Session().ElapsedSeconds = c.elapsedBefore;
    frmMain.ElapsedTimeTimer();
    EXPECT_EQ(frmMain.Session().ElapsedSeconds, c.elapsedBefore + 1);
    EXPECT_EQ(LabelText("TimeLabel"), Q(c.time));
  }
}

TEST(RemainingTime, FormatMinSecKeepsMinutesPastAnHour) {
  EXPECT_EQ(FormatMinSec(0), "0 : 0");
  EXPECT_EQ(FormatMinSec(6), "0 : 6");
  EXPECT_EQ(FormatMinSec(60), "1 : 0");
  EXPECT_EQ(FormatMinSec(3725), "62 : 5");
  // 64-bit: a multi-terabyte target at a slow rate does not wrap.
  EXPECT_EQ(FormatMinSec(std::int64_t{1} << 32), "71582788 : 16");
  EXPECT_EQ(RemainingSeconds(1, 100, 2), std::nullopt);
  EXPECT_EQ(RemainingSeconds(std::int64_t{3} << 31, std::int64_t{9} << 31, 3), 6);
}

TEST(ProgressGaugeTest, ClampsAndShowsTheTruncatedPercentage) {
  struct Case {
    std::int64_t minimum, maximum, value, position;
    const char* shown;
  } cases[] = {
      {0, 100, 0, 0, "0%"},      {0, 100, 150, 100, "100%"}, {10, 20, 5, 10, "0%"},
      {0, 3, 2, 2, "66%"},       {7, 7, 9, 7, "0%"},         {0, -1, 0, 0, "0%"},  // no hits: an empty range
      {0, std::int64_t{1} << 40, std::int64_t{1} << 39, std::int64_t{1} << 39, "50%"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.shown);
    ProgressGauge gauge;
    gauge.SetRange(c.minimum, c.maximum);
    gauge.SetPosition(c.value);
    EXPECT_EQ(gauge.Position(), c.position);
    EXPECT_EQ(gauge.PercentageText(), QString::fromLatin1(c.shown));
  }
  // A new range moves the position into it.
  ProgressGauge gauge;
  gauge.SetPosition(80);
  gauge.SetRange(0, 50);
  EXPECT_EQ(gauge.Position(), 50);
  gauge.SetRange(60, 90);
  EXPECT_EQ(gauge.Position(), 60);
}

// The gauge is set once per block; it is drawn again only when the
// percentage it shows changes.
TEST_F(Window, TheGaugeIsRedrawnOnlyWhenItsPercentageChanges) {
  struct PaintCounter : QObject {
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
      if (event->type() == QEvent::Paint) ++paints;
      return false;
    }
  } counter;
  ProgressGauge& gauge = Gauge();
  gauge.installEventFilter(&counter);
  frmMain.SetProgressRange(0, 1000);
  // Lets the paints of the window's first showing pass.
  for (int i = 0; i < 10; ++i) {
    QApplication::processEvents(QEventLoop::AllEvents, 10);
    QThread::msleep(10);
  }
  counter.paints = 0;
  for (int position = 0; position < 10; ++position) {
    frmMain.SetProgress(position);
    QApplication::processEvents();
  }
  EXPECT_EQ(counter.paints, 0);
  frmMain.SetProgress(10);
  EXPECT_TRUE(WaitUntil([&] { return counter.paints == 1; }));
  EXPECT_EQ(gauge.PercentageText(), "1%");
}

// The file list: folders are entered, files opened with their program, a
// database asks first; going up never changes the output folder.
TEST_F(Window, FileListOpensEntersAndGoesUp) {
  ChooseOutputFolder();
  const std::string out = dir / "out";
  test::WriteFile(out + "/REPAIR.MDB", test::Bytes("db"));
  test::WriteFile(out + "/1.AVI", test::Bytes("avi"));
  fs::create_directory(out + "/clips.mdb");
  ShellList& list = Find<ShellList>("Shelllist");
  QFileSystemModel& model = list.Model();

  desktop.answerOk = false;
  list.OpenItem(model.index(Q(out + "/REPAIR.MDB")));
  EXPECT_EQ(desktop.questions.size(), 1u);
  EXPECT_TRUE(desktop.opened.empty());
  desktop.answerOk = true;
  list.OpenItem(model.index(Q(out + "/REPAIR.MDB")));
  list.OpenItem(model.index(Q(out + "/1.AVI")));
  ASSERT_EQ(desktop.questions.size(), 2u);
  EXPECT_EQ(desktop.questions[1].caption, Q(texts::kDatabaseCaption));
  EXPECT_EQ(desktop.questions[1].text, Q(texts::kDatabaseQuestion));
  EXPECT_EQ(desktop.opened, (std::vector<QString>{Q(out + "/REPAIR.MDB"), Q(out + "/1.AVI")}));

  list.OpenItem(model.index(Q(out + "/clips.mdb")));
  EXPECT_EQ(desktop.questions.size(), 2u);
  EXPECT_EQ(Find<QLineEdit>("Destination").text(), Q(out + "/clips.mdb"));

  Click("BtnMoveLeft");
  EXPECT_EQ(Find<QLineEdit>("Destination").text(), Q(out));
  QKeyEvent backspace(QEvent::KeyPress, Qt::Key_Backspace, Qt::NoModifier);
  QApplication::sendEvent(&list, &backspace);
  EXPECT_EQ(Find<QLineEdit>("Destination").text(), Q(dir.Path().string()));
  EXPECT_EQ(Find<QLineEdit>("Edit1").text(), Q(out));

  // Above the root folder the location has no path, and there is no higher one.
  list.ShowFolder("/");
  Click("BtnMoveLeft");
  EXPECT_EQ(Find<QLineEdit>("Destination").text(), QString());
  Click("BtnMoveLeft");
  EXPECT_EQ(list.CurrentFolderPath(), QString());
}

}  // namespace
}  // namespace frambit
