#pragma once

#include <QString>

#include <optional>

class QUrl;
class QWidget;

namespace frambit {

// What the window asks of the desktop around it: the dialogs, the message
// boxes and the system's file associations. The window reaches them only
// through this, so tests can answer in the user's place.
class Desktop {
 public:
  virtual ~Desktop() = default;

  // The folder-browse dialog, rooted at the file-system root, nothing
  // preselected; only folders can be confirmed. nullopt when cancelled.
  virtual std::optional<QString> ChooseFolder(QWidget* owner, const QString& title) = 0;
  // The open-file dialog for one existing file of any type, starting with
  // startPath (none when empty). nullopt when cancelled.
  virtual std::optional<QString> ChooseFile(QWidget* owner, const QString& startPath) = 0;
  // A modal box with the caption, the text and OK.
  virtual void ShowInformation(QWidget* owner, const QString& caption, const QString& text) = 0;
  // A modal box with the caption, the text, OK, Cancel and a question icon;
  // true only when the user chose OK.
  virtual bool AskOkCancel(QWidget* owner, const QString& caption, const QString& text) = 0;
  // Opens the file with the program the system associates with its type.
  // Failures are the system's business and are not reported.
  virtual void OpenWithAssociation(const QString& path) = 0;
  // Opens a web page, or a local page given as a file address, in the
  // default browser. Failures are not reported either.
  virtual void OpenInBrowser(const QUrl& address) = 0;
};

}  // namespace frambit
