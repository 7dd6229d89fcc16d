#pragma once

#include <QDialog>
#include <QString>

#include <vector>

#include "online/online_endpoints.h"

class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QStatusBar;

namespace frambit {

class Desktop;

// What one support request carries, each text as it is sent.
struct SupportRequest {
  QString custname;
  QString fkind;
  QString skind;
  QString memo;
  QString qq;
  QString tel;
};

// The support-request window `Form3` ("联系工程师"). It lives as long as the
// program and keeps its entries between showings.
class TForm3 : public QDialog {
  Q_OBJECT

 public:
  TForm3(Desktop& desktop, const OnlineEndpoints& endpoints, QWidget* parent = nullptr);

  // "提交表单": checks the entries in a fixed order, one message for the
  // first that fails, and sends the request when all pass.
  void sButton1Click();
  // Sends the request to the support server and says whether the server
  // took it: "发送成功！" only for a success reply, "提交失败！请检查网络"
  // for anything else, the time-out included.
  void SendSupportRequest(const SupportRequest& request);
  // The status bar, anywhere on it: the product site.
  void sStatusBar1Click();
  // "联系客服QQ": the customer-service chat.
  void Button1Click();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct Choice {
    QCheckBox* box;
    QString sent;  // differs from the caption for some boxes
  };
  void BuildPanel();
  void BuildStatusBar();
  void ShowMessage(const char* text);

  Desktop& desktop_;
  const OnlineEndpoints endpoints_;

  QFrame* sPanel1 = nullptr;
  QLineEdit* sEdit1 = nullptr;
  QLineEdit* sEdit2 = nullptr;
  QLineEdit* sEdit3 = nullptr;
  QPlainTextEdit* Memo1 = nullptr;
  QPushButton* sButton1 = nullptr;
  QPushButton* Button1 = nullptr;
  QStatusBar* sStatusBar1 = nullptr;
  std::vector<Choice> SupportKinds;  // s1 to s9
  std::vector<Choice> SupportMedia;  // s10 to s15
};

}  // namespace frambit
