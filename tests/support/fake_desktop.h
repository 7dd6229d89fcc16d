#pragma once

#include <QString>
#include <QUrl>

#include <deque>
#include <optional>
#include <vector>

#include "window/desktop.h"

namespace frambit::test {

// Answers the window's dialogs in the user's place and keeps what it was shown.
class FakeDesktop : public Desktop {
 public:
  struct Box {
    QString caption;
    QString text;
  };
  std::optional<QString> folder;             // the folder dialog's answer
  std::deque<std::optional<QString>> files;  // the open-file dialog's answers, one per showing
  bool answerOk = true;
  std::vector<Box> informations;
  std::vector<Box> questions;
  std::vector<QString> opened;

  std::optional<QString> ChooseFolder(QWidget*, const QString&) override { return folder; }
  std::optional<QString> ChooseFile(QWidget*, const QString&) override {
    if (files.empty()) return std::nullopt;
    auto answer = files.front();
    files.pop_front();
    return answer;
  }
  void ShowInformation(QWidget*, const QString& caption, const QString& text) override {
    informations.push_back({caption, text});
  }
  bool AskOkCancel(QWidget*, const QString& caption, const QString& text) override {
    questions.push_back({caption, text});
    return answerOk;
  }
  void OpenWithAssociation(const QString& path) override { opened.push_back(path); }
  void OpenInBrowser(const QUrl& address) override { opened.push_back(address.toString()); }
};

}  // namespace frambit::test
