#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QUrlQuery>

#include <chrono>
#include <stdexcept>

#include "online/gbk.h"
#include "online/online_endpoints.h"
#include "online/online_services.h"
#include "online/online_texts.h"
#include "online/update_check.h"
#include "online/version_text.h"
#include "tests/support/fake_desktop.h"
#include "tests/support/loopback_http_server.h"
#include "tests/support/qt_application.h"
#include "window/main_window.h"
#include "window/product_info.h"

namespace frambit {
namespace {

using namespace std::chrono_literals;
using test::FakeDesktop;
using test::LoopbackHttpServer;

[[maybe_unused]] testing::Environment* const kQt = testing::AddGlobalTestEnvironment(new test::QtApplication);

QString Q(const char* utf8) { return QString::fromUtf8(utf8); }
QString Shown(const char* utf8) { return Q(utf8).replace(QLatin1Char('\r'), QLatin1Char('\n')); }
QString Repeat(const char* utf8, int times) { return Q(utf8).repeated(times); }
QStringList Opened(const FakeDesktop& desktop) { return QStringList(desktop.opened.begin(), desktop.opened.end()); }

// --- Version texts ---

TEST(Online, VersionComparisonReadsNumberAndEightBitBuild) {
  struct Case {
    const char* local;
    const char* remote;
    bool newer;
  };
  const Case cases[] = {
      {"1.2s-12", "1.3s-10", true},       // greater number
      {"1.2s-12", "1.1s-13", true},       // greater build alone, though the number is smaller
      {"1.2s-12", "1.2s-12", false},
      {"1.20s-044", "1.20s-300", false},  // 300 and 44 agree in their low 8 bits
      {"1.2s-12", "1.20s-268", false},    // 268 is 12 in 8 bits
      {"10.2s-1", "10.5s-1", false},      // both read as number 10: L - p characters
      {"1.2s-12", "10.5s-1", true},
  };
  for (const Case& c : cases) EXPECT_EQ(IsNewerVersion(Q(c.local), Q(c.remote)), c.newer) << c.local << " " << c.remote;
}

TEST(Online, VersionThatDoesNotConvertThrows) {
  for (const char* remote : {"1.3S-10", "1.3s10", "", "<html>", "1.3s-x"})
    EXPECT_THROW(IsNewerVersion(Q("1.2s-12"), Q(remote)), std::invalid_argument) << remote;
  EXPECT_THROW(IsNewerVersion(Q("1.2S-12"), Q("1.3s-10")), std::invalid_argument);
}

TEST(Online, TextHelpers) {
  EXPECT_EQ(BarsToLineBreaks(Q("1.3s-2|新功能|http://a/")), Q("1.3s-2\r新功能\rhttp://a/"));
  EXPECT_EQ(RemoveChar(Q("a-b--c-"), QLatin1Char('-')), Q("abc"));
  EXPECT_EQ(RemoveSpaces(Q(" 1.0 s-1 0 ")), Q("1.0s-10"));
  EXPECT_EQ(RemoveSpaces(Q("")), Q(""));
  EXPECT_EQ(SplitLines(Q("a\r\nb\rc\nd")), QStringList({"a", "b", "c", "d"}));
  EXPECT_EQ(SplitLines(Q("a\r\n")), QStringList({"a"}));
  EXPECT_EQ(SplitLines(Q("a\r\rb")), QStringList({"a", "", "b"}));
  EXPECT_TRUE(SplitLines(Q("")).isEmpty());
  EXPECT_EQ(AsciiUpper(Q("1.3s-ß")), Q("1.3S-ß"));
  EXPECT_EQ(AsciiLower(Q("FramBIT Ä")), Q("frambit Ä"));
}

TEST(Online, GbkCountsChineseAsTwoBytesAndDecodesReplies) {
  EXPECT_EQ(GbkByteCount(Q("照片")), 4);
  EXPECT_EQ(GbkByteCount(Q("nas,阵列柜 ")), 11);
  EXPECT_EQ(GbkByteCount(Q("😀")), 1);  // no GBK character: one "?"
  EXPECT_EQ(DecodeGbk(EncodeGbk(Q("修复死机 | 4K"))), Q("修复死机 | 4K"));
  // A lead byte without its trail byte, in the middle and at the end.
  EXPECT_EQ(DecodeGbk(QByteArray("a\x81\x7F" "b\xB6", 5)), Q("a\xEF\xBF\xBD\x7F" "b\xEF\xBF\xBD"));
}

// --- Update check ---

class OnlineUpdate : public testing::Test {
 public:
  OnlineEndpoints Endpoints(QUrl updateServer) const { return {std::move(updateServer), QUrl(), 2s}; }
  void Check(const QUrl& updateServer) { CheckForUpdate(nullptr, desktop, Endpoints(updateServer)); }
  void Answer(const QByteArray& announcement, int rounds = 1) {
    for (int i = 0; i < rounds; ++i) server.replies.insert(server.replies.end(), {{200, "hello"}, {200, announcement}});
  }
  void ExpectNoUpdateBoxOnly() {
    ASSERT_EQ(desktop.questions.size(), 1u);
    EXPECT_EQ(desktop.questions[0].caption, Q(texts::kNoUpdateCaption));
    EXPECT_EQ(desktop.questions[0].text, Shown(texts::kNoUpdateQuestion));
    EXPECT_TRUE(desktop.informations.empty());
  }

  LoopbackHttpServer server;
  FakeDesktop desktop;
};

TEST_F(OnlineUpdate, NewVersionShowsFeaturesAndOpensDownloadPage) {
  Answer(EncodeGbk(Q("1.3s-20|修复了死机|支持 4K 视频|http://dl.frambit.example/new.exe")), 2);
  Check(server.Address());

  // Two rounds, each a GET without a query, then a POST of the name.
  ASSERT_EQ(server.requests.size(), 4u);
  for (int round = 0; round < 2; ++round) {
    const auto& get = server.requests[2 * round];
    const auto& post = server.requests[2 * round + 1];
    EXPECT_EQ(get.method, "GET");
    EXPECT_EQ(get.target, "/getinfo.asp");
    EXPECT_EQ(get.headers.value("content-type"), "text/html");
    EXPECT_EQ(post.method, "POST");
    EXPECT_EQ(post.target, "/getinfo.asp?name=frambit");
    EXPECT_EQ(post.headers.value("content-type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(post.headers.value("content-length"), "0");
    for (const auto* request : {&get, &post}) {
      EXPECT_EQ(request->headers.value("user-agent"), "Mozilla/3.0 (compatible; Indy Library)");
      EXPECT_EQ(request->headers.value("accept"), "text/html, */*");
    }
  }
  ASSERT_EQ(desktop.questions.size(), 1u);
  EXPECT_EQ(desktop.questions[0].caption, Q("Frambit 专业版 1.3S-20 升级提醒"));
  EXPECT_EQ(desktop.questions[0].text,
            Q("发现Frambit 专业版最新版本!\n是否立刻下载更新软件到最新版本?\n\n更新功能如下:\n修复了死机\n支持 4K 视频"
              "\n\n\n官方网站: ") +
                Q(product::kCompanySiteName));
  EXPECT_EQ(Opened(desktop), QStringList({"http://dl.frambit.example/new.exe"}));
}

TEST_F(OnlineUpdate, AnnouncementWithoutFeaturesAndCancelOpensNothing) {
  Answer("2.0s-1\r\nhttp://dl.frambit.example/\r\n", 2);
  desktop.answerOk = false;
  Check(server.Address());
  ASSERT_EQ(desktop.questions.size(), 1u);
  EXPECT_TRUE(desktop.questions[0].text.contains(Q("更新功能如下:\n\n\n官方网站: ")));
  EXPECT_TRUE(desktop.opened.empty());
}

TEST_F(OnlineUpdate, DownloadPageIsOpenedOnlyAsWebAddress) {
  Answer("2.0s-1|file:///etc/passwd", 2);
  Check(server.Address());
  ASSERT_EQ(desktop.questions.size(), 1u);
  EXPECT_TRUE(desktop.opened.empty());
}

TEST_F(OnlineUpdate, NothingNewerShowsNoUpdateBoxThatOffersProductSite) {
  struct Case {
    const char* what;
    std::deque<LoopbackHttpServer::Reply> replies;
  };
  const Case cases[] = {
      {"same version", {{200, "hello"}, {200, "1.0s-10|http://dl.frambit.example/"}}},
      {"older build", {{200, "hello"}, {200, "1.0s-9"}}},
      {"upper-case S", {{200, "hello"}, {200, "1.3S-20|http://dl.frambit.example/"}}},
      {"garbage", {{200, "hello"}, {200, "<html><body>Not here</body></html>"}}},
      {"empty reply", {{200, "hello"}, {200, ""}}},
      {"error status of the POST", {{200, "hello"}, {500, "9.9s-99"}}},
      {"error status of the GET", {{404, "none"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    desktop = FakeDesktop();
    server.replies = c.replies;
    Check(server.Address());
    ExpectNoUpdateBoxOnly();
    EXPECT_EQ(Opened(desktop), QStringList({product::kProductSiteUrl}));
  }
  desktop = FakeDesktop();
  desktop.answerOk = false;
  server.replies = cases[0].replies;
  Check(server.Address());
  EXPECT_TRUE(desktop.opened.empty());
}

TEST_F(OnlineUpdate, EmptySecondAnnouncementShowsNoUpdateBox) {
  Answer("1.3s-20|http://dl.frambit.example/");
  Answer("");
  Check(server.Address());
  EXPECT_EQ(server.requests.size(), 4u);
  ExpectNoUpdateBoxOnly();
}

TEST_F(OnlineUpdate, UnreachableOrSilentServerEndsInNoUpdateBox) {
  Check(LoopbackHttpServer::RefusingAddress());
  ExpectNoUpdateBoxOnly();

  // The server takes the GET and never answers: the time-out ends the wait.
  desktop = FakeDesktop();
  CheckForUpdate(nullptr, desktop, {server.Address(), QUrl(), 300ms});
  EXPECT_EQ(server.requests.size(), 1u);
  ExpectNoUpdateBoxOnly();
}

// --- Support request ---

class OnlineSupport : public testing::Test {
 public:
  OnlineSupport() : services(desktop, {QUrl(), server.Address(), 2s}), form(services.Form3()) {}

  template <typename Control>
  Control& Find(const char* name) {
    auto* control = form.findChild<Control*>(name);
    if (control == nullptr) throw std::runtime_error(std::string("no control ") + name);
    return *control;
  }
  void Fill(const QString& name, const QString& phone, const QString& memo = {}) {
    Find<QLineEdit>("sEdit1").setText(name);
    Find<QLineEdit>("sEdit2").setText(phone);
    Find<QPlainTextEdit>("Memo1").setPlainText(memo);
  }
  void Submit() { Find<QPushButton>("sButton1").click(); }
  QStringList Messages() const {
    QStringList texts;
    for (const auto& box : desktop.informations) texts << box.text;
    return texts;
  }
  // The query of the last request as the server decodes it: key and value
  // pairs in the order sent.
  QList<std::pair<QString, QString>> ReceivedQuery() const {
    const QUrl target = QUrl::fromEncoded("http://host" + server.requests.back().target);
    return QUrlQuery(target).queryItems(QUrl::FullyDecoded);
  }

  LoopbackHttpServer server;
  FakeDesktop desktop;
  OnlineServices services;
  TForm3& form;
};

TEST_F(OnlineSupport, ChecksEmptinessBeforeLengthInGbkBytes) {
  struct Case {
    const char* what;
    QString name;
    QString phone;
    QString memo;
    const char* message;  // kSupportSent when the request goes out
  };
  const Case cases[] = {
      {"both empty", "", "", "", texts::kSupportNameEmpty},
      {"phone empty", "张三", "", "", texts::kSupportPhoneEmpty},
      {"long name, empty phone", Repeat("张", 11), "", "", texts::kSupportPhoneEmpty},
      {"name of 20 bytes", Repeat("张", 10), "13800000000", "", texts::kSupportSent},
      {"name of 22 bytes", Repeat("张", 11), "13800000000", "", texts::kSupportTooLong},
      {"name of 21 ASCII bytes", Repeat("a", 21), "1", "", texts::kSupportTooLong},
      {"phone of 21 bytes", "a", Repeat("1", 21), "", texts::kSupportTooLong},
      {"memo of 500 bytes", "a", "1", Repeat("恢", 250), texts::kSupportSent},
      {"memo of 501 bytes", "a", "1", Repeat("恢", 250) + "x", texts::kSupportTooLong},
      {"blanks are not empty", " ", " ", "", texts::kSupportSent},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    desktop = FakeDesktop();
    server.requests.clear();
    server.replies = {{200, "ok"}};
    Fill(c.name, c.phone, c.memo);
    Submit();
    EXPECT_EQ(Messages(), QStringList({Q(c.message)}));
    EXPECT_EQ(server.requests.size(), c.message == texts::kSupportSent ? 1u : 0u);
  }
}

TEST_F(OnlineSupport, SendsKeysInOrderPercentEncodedWithFirstTickedBoxes) {
  Fill(Q("张三 & co"), Q("138 0000#1"), Q("第一行\n第二行 a+b=c%"));
  Find<QLineEdit>("sEdit3").setText(Q("12345"));
  for (const char* box : {"s2", "s5", "s14"}) Find<QCheckBox>(box).setChecked(true);
  server.replies = {{200, "ok"}};
  Submit();

  ASSERT_EQ(server.requests.size(), 1u);
  const auto& request = server.requests[0];
  EXPECT_EQ(request.method, "GET");
  EXPECT_TRUE(request.target.startsWith("/index.php?pname=Frambit&custname="));
  // Nothing outside printable ASCII, no bare blank on the wire.
  for (const char byte : request.target) EXPECT_TRUE(byte > ' ' && byte < 0x7F) << request.target.toStdString();
  const QList<std::pair<QString, QString>> expected = {
      {"pname", "Frambit"},
      {"custname", Q("张三 & co")},
      {"fkind", Q("视频 ")},
      {"skind", Q("nas,阵列柜 ")},
      {"memo", Q("第一行\n第二行 a+b=c%")},
      {"qq", "12345"},
      {"tel", Q("138 0000#1")},
  };
  EXPECT_EQ(ReceivedQuery(), expected);
  EXPECT_EQ(Messages(), QStringList({Q(texts::kSupportSent)}));

  // The window keeps its entries; unticked groups and an empty qq send
  // empty values.
  for (const char* box : {"s2", "s5", "s14"}) Find<QCheckBox>(box).setChecked(false);
  Find<QLineEdit>("sEdit3").clear();
  server.replies = {{200, "ok"}};
  Submit();
  ASSERT_EQ(server.requests.size(), 2u);
  const auto second = ReceivedQuery();
  ASSERT_EQ(second.size(), 7);
  EXPECT_EQ(second[1].second, Q("张三 & co"));
  EXPECT_EQ(second[2], std::make_pair(QString("fkind"), QString()));
  EXPECT_EQ(second[3], std::make_pair(QString("skind"), QString()));
  EXPECT_EQ(second[5], std::make_pair(QString("qq"), QString()));
}

TEST_F(OnlineSupport, ReportsSuccessOnlyWhenServerTookTheRequest) {
  Fill(Q("李四"), Q("13900000000"));
  server.replies = {{500, "broken"}};
  Submit();
  EXPECT_EQ(Messages(), QStringList({Q(texts::kSupportFailed)}));

  // No answer at all: the time-out ends the wait.
  desktop = FakeDesktop();
  OnlineServices impatient(desktop, {QUrl(), server.Address(), 300ms});
  impatient.Form3().findChild<QLineEdit*>("sEdit1")->setText(Q("李四"));
  impatient.Form3().findChild<QLineEdit*>("sEdit2")->setText(Q("1"));
  impatient.Form3().sButton1Click();
  EXPECT_EQ(Messages(), QStringList({Q(texts::kSupportFailed)}));

  desktop = FakeDesktop();
  OnlineServices unreachable(desktop, {QUrl(), LoopbackHttpServer::RefusingAddress(), 2s});
  unreachable.Form3().findChild<QLineEdit*>("sEdit1")->setText(Q("李四"));
  unreachable.Form3().findChild<QLineEdit*>("sEdit2")->setText(Q("1"));
  unreachable.Form3().sButton1Click();
  EXPECT_EQ(Messages(), QStringList({Q(texts::kSupportFailed)}));
}

// --- The window's commands ---

class OnlineCommandsOfWindow : public testing::Test {
 public:
  OnlineCommandsOfWindow() : services(desktop, {LoopbackHttpServer::RefusingAddress(), QUrl(), 2s}) {
    frmMain.SetOnlineCommands(services);
    frmMain.show();
  }
  template <typename Control>
  Control& Find(QObject& parent, const char* name) {
    auto* control = parent.findChild<Control*>(name);
    if (control == nullptr) throw std::runtime_error(std::string("no control ") + name);
    return *control;
  }

  FakeDesktop desktop;
  TfrmMain frmMain{desktop};
  OnlineServices services;
};

TEST_F(OnlineCommandsOfWindow, LinksOpenTheirPages) {
  const QString productSite = Q(product::kProductSiteUrl);
  const QString chat = Q(product::kServiceChatUrl);
  const QString help = QUrl::fromLocalFile(HelpPagePath()).toString();
  struct Case {
    const char* control;
    std::function<void()> click;
    QString address;
  };
  auto button = [this](const char* name) { return [this, name] { Find<QAbstractButton>(frmMain, name).click(); }; };
  auto item = [this](const char* name) { return [this, name] { Find<QAction>(frmMain, name).trigger(); }; };
  auto label = [this](const char* name) {
    return [this, name] { QTest::mouseClick(&Find<QWidget>(frmMain, name), Qt::LeftButton); };
  };
  TForm3& form = services.Form3();
  const Case cases[] = {
      {"SupportBtn", button("SupportBtn"), productSite},
      {"RzBitBtn3", button("RzBitBtn3"), productSite},
      {"sLabelFX2", label("sLabelFX2"), productSite},
      {"sLabelFX1", label("sLabelFX1"), chat},
      {"N5", item("N5"), Q(product::kCompanySiteUrl)},
      {"helpBtn", button("helpBtn"), help},
      {"N4", item("N4"), help},
      {"Button1", [&] { Find<QPushButton>(form, "Button1").click(); }, chat},
      {"sStatusBar1", [&] { QTest::mouseClick(&Find<QStatusBar>(form, "sStatusBar1"), Qt::LeftButton); }, productSite},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.control);
    desktop.opened.clear();
    c.click();
    EXPECT_EQ(Opened(desktop), QStringList({c.address}));
  }
  EXPECT_EQ(chat, Q("https://chat.frambit.example/msgrd?v=3&uin=") + product::kServiceChatAccount +
                      "&site=qq&menu=yes");
  // The help page lies beside the program, and it is a guide.
  QFile page(HelpPagePath());
  ASSERT_TRUE(page.open(QIODevice::ReadOnly)) << HelpPagePath().toStdString();
  EXPECT_TRUE(QString::fromUtf8(page.readAll()).contains(Q("样本")));
}

TEST_F(OnlineCommandsOfWindow, UpdateCommandsAskTheServer) {
  for (const char* command : {"UpdateBtn", "Update1"}) {
    SCOPED_TRACE(command);
    desktop = FakeDesktop();
    desktop.answerOk = false;
    if (command == std::string("Update1"))
      Find<QAction>(frmMain, command).trigger();
    else
      Find<QToolButton>(frmMain, command).click();
    ASSERT_EQ(desktop.questions.size(), 1u);
    EXPECT_EQ(desktop.questions[0].caption, Q(texts::kNoUpdateCaption));
  }
}

TEST_F(OnlineCommandsOfWindow, ServiceAnnouncesThenShowsFormThatKeepsItsEntries) {
  TForm3& form = services.Form3();
  EXPECT_FALSE(form.isVisible());
  bool shownModal = false;
  const auto closeWhenShown = [&] {
    QTimer::singleShot(0, &form, [&] {
      shownModal = form.isVisible() && form.isModal();
      form.reject();
    });
  };
  closeWhenShown();
  Find<QPushButton>(frmMain, "RzBitBtn2").click();
  EXPECT_TRUE(shownModal);
  ASSERT_EQ(desktop.informations.size(), 1u);
  EXPECT_EQ(desktop.informations[0].text, Q(texts::kSupportAnnouncement));
  EXPECT_EQ(desktop.informations[0].caption, frmMain.ApplicationTitle());
  EXPECT_EQ(form.windowTitle(), Q(texts::kSupportFormCaption));

  Find<QLineEdit>(form, "sEdit1").setText(Q("王五"));
  Find<QCheckBox>(form, "s9").setChecked(true);
  closeWhenShown();
  Find<QPushButton>(frmMain, "RzBitBtn2").click();
  EXPECT_EQ(Find<QLineEdit>(form, "sEdit1").text(), Q("王五"));
  EXPECT_TRUE(Find<QCheckBox>(form, "s9").isChecked());
}

}  // namespace
}  // namespace frambit
