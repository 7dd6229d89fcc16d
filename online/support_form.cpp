#include "online/support_form.h"

#include <QCheckBox>
#include <QEvent>
#include <QFrame>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QUrl>
#include <QVBoxLayout>

#include "online/gbk.h"
#include "online/http_exchange.h"
#include "online/online_endpoints.h"
#include "online/online_texts.h"
#include "window/desktop.h"
#include "window/product_info.h"

namespace frambit {
namespace {

constexpr char kRequestPath[] = "/index.php";
constexpr qsizetype kMaxNameBytes = 20;
constexpr qsizetype kMaxPhoneBytes = 20;
constexpr qsizetype kMaxMemoBytes = 500;
constexpr int kStatusBarHeight = 19;

QString Q(const char* utf8) { return QString::fromUtf8(utf8); }

struct ChoiceLayout {
  const char* name;
  int x;
  int y;
  const char* caption;
  const char* sent;
};

constexpr ChoiceLayout kKindLayout[] = {
    {"s1", 16, 32, "照片", "照片 "},
    {"s2", 16, 56, "视频", "视频 "},
    {"s3", 16, 80, "手机数据", "手机数据 "},
    {"s4", 16, 104, "数据库", "数据库 "},
    {"s5", 16, 128, "office文档", "office 文档 "},
    {"s6", 184, 32, "文件解密", "文件解密 "},
    {"s7", 184, 56, "U盘无法识别", "U盘无法识别 "},
    {"s8", 184, 80, "硬盘无法识别", "硬盘无法识别 "},
    {"s9", 184, 104, "其他", "其他 "},
};

constexpr ChoiceLayout kMediaLayout[] = {
    {"s10", 16, 24, "硬盘，固态盘", "硬盘，固态盘 "},
    {"s11", 16, 48, "手机", "手机 "},
    {"s12", 16, 72, "U盘，存储卡", "U盘存储卡 "},
    {"s13", 184, 24, "服务器", "服务器 "},
    {"s14", 184, 48, "NAS，阵列柜", "nas,阵列柜 "},
    {"s15", 184, 72, "其他", "其他 "},
};

QLabel* FormLabel(QWidget* parent, const char* name, const char* text, QRect geometry) {
  auto* label = new QLabel(Q(text), parent);
  label->setObjectName(name);
  label->setGeometry(geometry);
  return label;
}

QLineEdit* FormEdit(QWidget* parent, const char* name, QRect geometry) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(name);
  edit->setGeometry(geometry);
  return edit;
}

template <std::size_t N>
std::vector<QCheckBox*> FormChoices(QGroupBox* group, const ChoiceLayout (&layout)[N]) {
  std::vector<QCheckBox*> boxes;
  for (const ChoiceLayout& choice : layout) {
    auto* box = new QCheckBox(Q(choice.caption), group);
    box->setObjectName(choice.name);
    box->setGeometry(choice.x, choice.y, 150, 17);
    boxes.push_back(box);
  }
  return boxes;
}

// The text sent for the first ticked box, in table order; further ticks add
// nothing. Empty when none is ticked.
template <typename Choices>
QString FirstTicked(const Choices& choices) {
  for (const auto& choice : choices)
    if (choice.box->isChecked()) return choice.sent;
  return {};
}

QByteArray Encoded(const QString& value) { return QUrl::toPercentEncoding(value); }

}  // namespace

TForm3::TForm3(Desktop& desktop, const OnlineEndpoints& endpoints, QWidget* parent)
    : QDialog(parent), desktop_(desktop), endpoints_(endpoints) {
  setObjectName("Form3");
  setWindowTitle(Q(texts::kSupportFormCaption));
  QFont font;
  font.setFamilies({"宋体", "SimSun", "WenQuanYi Micro Hei", "Noto Sans CJK SC", "Droid Sans Fallback"});
  font.setPixelSize(12);
  setFont(font);

  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  BuildPanel();
  BuildStatusBar();
  column->addWidget(sPanel1, 1);
  column->addWidget(sStatusBar1);
  // 371 x 590 with the frame; the frame's own size is the desktop's.
  resize(363, 563);
  move(192, 124);

  connect(sButton1, &QPushButton::clicked, this, &TForm3::sButton1Click);
  connect(Button1, &QPushButton::clicked, this, &TForm3::Button1Click);
}

void TForm3::BuildPanel() {
  sPanel1 = new QFrame(this);
  sPanel1->setObjectName("sPanel1");
  FormLabel(sPanel1, "sLabel1", texts::kSupportIntro, {24, 24, 305, 13});
  FormLabel(sPanel1, "sLabel2", texts::kSupportNameLabel, {24, 56, 97, 13});
  sEdit1 = FormEdit(sPanel1, "sEdit1", {136, 56, 201, 20});
  FormLabel(sPanel1, "sLabel3", texts::kSupportPhoneLabel, {24, 80, 97, 13});
  sEdit2 = FormEdit(sPanel1, "sEdit2", {136, 80, 201, 20});
  FormLabel(sPanel1, "sLabel4", texts::kSupportChatLabel, {24, 112, 137, 13});
  sEdit3 = FormEdit(sPanel1, "sEdit3", {160, 112, 177, 20});

  auto* sGroupBox1 = new QGroupBox(Q(texts::kSupportKindsCaption), sPanel1);
  sGroupBox1->setObjectName("sGroupBox1");
  sGroupBox1->setGeometry(24, 136, 321, 161);
  const auto kinds = FormChoices(sGroupBox1, kKindLayout);
  for (std::size_t i = 0; i < kinds.size(); ++i) SupportKinds.push_back({kinds[i], Q(kKindLayout[i].sent)});

  auto* sGroupBox2 = new QGroupBox(Q(texts::kSupportMediaCaption), sPanel1);
  sGroupBox2->setObjectName("sGroupBox2");
  sGroupBox2->setGeometry(24, 304, 321, 105);
  const auto media = FormChoices(sGroupBox2, kMediaLayout);
  for (std::size_t i = 0; i < media.size(); ++i) SupportMedia.push_back({media[i], Q(kMediaLayout[i].sent)});

  FormLabel(sPanel1, "sLabel5", texts::kSupportMemoLabel, {16, 416, 329, 13});
  Memo1 = new QPlainTextEdit(sPanel1);
  Memo1->setObjectName("Memo1");
  Memo1->setGeometry(16, 432, 329, 57);
  sButton1 = new QPushButton(Q(texts::kSupportSubmitCaption), sPanel1);
  sButton1->setObjectName("sButton1");
  sButton1->setGeometry(96, 496, 169, 33);
  Button1 = new QPushButton(Q(texts::kSupportChatButton), sPanel1);
  Button1->setObjectName("Button1");
  Button1->setGeometry(288, 512, 67, 17);
}

void TForm3::BuildStatusBar() {
  sStatusBar1 = new QStatusBar(this);
  sStatusBar1->setObjectName("sStatusBar1");
  sStatusBar1->setSizeGripEnabled(false);
  sStatusBar1->setFixedHeight(kStatusBarHeight);
  auto* contact = new QLabel(Q(texts::kSupportPhonePrefix) + Q(product::kServicePhone) + Q(texts::kSupportChatPrefix) +
                                 Q(product::kServiceChatAccount),
                             sStatusBar1);
  contact->setObjectName("sStatusBar1Panel1");
  contact->setFixedWidth(300);
  auto* empty = new QLabel(sStatusBar1);
  empty->setObjectName("sStatusBar1Panel2");
  empty->setFixedWidth(50);
  sStatusBar1->addWidget(contact);
  sStatusBar1->addWidget(empty);
  // The panes take no mouse events, so a click on them reaches the bar.
  sStatusBar1->installEventFilter(this);
}

bool TForm3::eventFilter(QObject* watched, QEvent* event) {
  if (watched == sStatusBar1 && event->type() == QEvent::MouseButtonRelease &&
      static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
    sStatusBar1Click();
    return true;
  }
  return QDialog::eventFilter(watched, event);
}

void TForm3::ShowMessage(const char* text) {
  desktop_.ShowInformation(this, QGuiApplication::applicationDisplayName(), Q(text));
}

void TForm3::sButton1Click() {
  SupportRequest request;
  const QString name = sEdit1->text();
  const QString phone = sEdit2->text();
  const QString memo = Memo1->toPlainText();
  // Emptiness first, for both fields, then the lengths.
  if (name.isEmpty()) return ShowMessage(texts::kSupportNameEmpty);
  if (phone.isEmpty()) return ShowMessage(texts::kSupportPhoneEmpty);
  if (GbkByteCount(name) > kMaxNameBytes || GbkByteCount(phone) > kMaxPhoneBytes || GbkByteCount(memo) > kMaxMemoBytes)
    return ShowMessage(texts::kSupportTooLong);
  request.fkind = FirstTicked(SupportKinds);
  request.skind = FirstTicked(SupportMedia);
  request.tel = phone;
  request.qq = sEdit3->text();
  request.custname = name;
  request.memo = memo;
  SendSupportRequest(request);
}

void TForm3::SendSupportRequest(const SupportRequest& request) {
  // Every value percent-encoded as UTF-8, so that the blanks at the end of
  // the kind texts, a "&" or "#" in the remarks and the Chinese entries
  // reach the server as they were typed.
  const QByteArray query = "pname=" + Encoded(Q(texts::kProductTitle)) + "&custname=" + Encoded(request.custname) +
                           "&fkind=" + Encoded(request.fkind) + "&skind=" + Encoded(request.skind) +
                           "&memo=" + Encoded(request.memo) + "&qq=" + Encoded(request.qq) +
                           "&tel=" + Encoded(request.tel);
  QUrl address = endpoints_.supportServer.resolved(QUrl(QString::fromLatin1(kRequestPath)));
  address.setQuery(QString::fromLatin1(query));
  const bool taken = Exchange(QNetworkRequest(address), HttpMethod::Get, endpoints_.timeout).has_value();
  ShowMessage(taken ? texts::kSupportSent : texts::kSupportFailed);
}

void TForm3::sStatusBar1Click() { desktop_.OpenInBrowser(QUrl(Q(product::kProductSiteUrl))); }

void TForm3::Button1Click() { desktop_.OpenInBrowser(QUrl(Q(product::kServiceChatUrl))); }

}  // namespace frambit
