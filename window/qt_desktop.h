#pragma once

#include "window/desktop.h"

namespace frambit {

// The real desktop: Qt's dialogs and QDesktopServices.
class QtDesktop final : public Desktop {
 public:
  std::optional<QString> ChooseFolder(QWidget* owner, const QString& title) override;
  std::optional<QString> ChooseFile(QWidget* owner, const QString& startPath) override;
  void ShowInformation(QWidget* owner, const QString& caption, const QString& text) override;
  bool AskOkCancel(QWidget* owner, const QString& caption, const QString& text) override;
  void OpenWithAssociation(const QString& path) override;
  void OpenInBrowser(const QUrl& address) override;
};

}  // namespace frambit
