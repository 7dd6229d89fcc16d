#pragma once

class QWidget;

namespace frambit {

// The window's commands that reach beyond the program: the update check,
// the support request, the help and the web pages. The window only places
// their buttons and menu items; the program gives it what they do, so the
// window itself needs no network.
class OnlineCommands {
 public:
  virtual ~OnlineCommands() = default;

  // "在线升级".
  virtual void CheckForUpdate(QWidget* owner) = 0;
  // "人工服务": the support-request window, modal.
  virtual void RequestSupport(QWidget* owner) = 0;
  // "帮助文档".
  virtual void OpenHelp(QWidget* owner) = 0;
  virtual void OpenProductSite(QWidget* owner) = 0;
  virtual void OpenServiceChat(QWidget* owner) = 0;
  virtual void OpenCompanySite(QWidget* owner) = 0;
};

}  // namespace frambit
