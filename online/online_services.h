#pragma once

#include <QString>

#include "online/online_endpoints.h"
#include "online/support_form.h"
#include "window/online_commands.h"

namespace frambit {

class Desktop;

// The help page shipped beside the executable.
QString HelpPagePath();

// What the window's update, support, help and link commands do. Made once
// at start-up with the support window, which stays hidden until asked for.
class OnlineServices final : public OnlineCommands {
 public:
  explicit OnlineServices(Desktop& desktop, OnlineEndpoints endpoints = OnlineEndpoints::Default());

  TForm3& Form3() { return form3_; }

  void CheckForUpdate(QWidget* owner) override;
  // Announces the service, then shows the support window modally.
  void RequestSupport(QWidget* owner) override;
  void OpenHelp(QWidget* owner) override;
  void OpenProductSite(QWidget* owner) override;
  void OpenServiceChat(QWidget* owner) override;
  void OpenCompanySite(QWidget* owner) override;

 private:
  Desktop& desktop_;
  const OnlineEndpoints endpoints_;
  TForm3 form3_;
};

}  // namespace frambit
