#include "window/qt_desktop.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QUrl>

namespace frambit {

std::optional<QString> QtDesktop::ChooseFolder(QWidget* owner, const QString& title) {
  // The tree starts at the file-system root, where every folder a user may
  // pick lies below. QFileDialog returns "/" for the root and no trailing
  // slash for any other folder.
  const QString chosen = QFileDialog::getExistingDirectory(owner, title, QDir::rootPath(), QFileDialog::ShowDirsOnly);
  if (chosen.isEmpty()) return std::nullopt;
  return chosen;
}

std::optional<QString> QtDesktop::ChooseFile(QWidget* owner, const QString& startPath) {
  const QString chosen = QFileDialog::getOpenFileName(owner, QString(), startPath);
  if (chosen.isEmpty()) return std::nullopt;
  return chosen;
}

void QtDesktop::ShowInformation(QWidget* owner, const QString& caption, const QString& text) {
  QMessageBox::information(owner, caption, text, QMessageBox::Ok);
}

bool QtDesktop::AskOkCancel(QWidget* owner, const QString& caption, const QString& text) {
  return QMessageBox::question(owner, caption, text, QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok) ==
         QMessageBox::Ok;
}

void QtDesktop::OpenWithAssociation(const QString& path) { QDesktopServices::openUrl(QUrl::fromLocalFile(path)); }

void QtDesktop::OpenInBrowser(const QUrl& address) { QDesktopServices::openUrl(address); }

}  // namespace frambit
