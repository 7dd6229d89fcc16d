#pragma once

#include <QTreeView>

class QFileSystemModel;

namespace frambit {

class Desktop;

// The file list `Shelllist`: one folder in a details view with several
// items selectable. It follows its folder, so files created, renamed or
// deleted there appear and vanish by themselves (the model watches the
// folder from a thread of its own that touches no session data).
// A double-click enters a folder; on a file it first raises OpenRequested
// and, unless a handler set *handled, opens the file with its program.
// Backspace goes up one level.
class ShellList : public QTreeView {
  Q_OBJECT

 public:
  ShellList(Desktop& desktop, QWidget* parent = nullptr);

  void ShowFolder(const QString& path);
  // The file-system path of the location shown; empty above the root
  // folder, where the list shows the root itself.
  QString CurrentFolderPath() const;
  // Goes up that many levels; above the root folder nothing happens.
  void GoUp(int levels);
  void Refresh();
  // What a double-click on the item does.
  void OpenItem(const QModelIndex& index);
  QFileSystemModel& Model() const { return *model_; }

 signals:
  // The location shown changed.
  void FolderChanged();
  // A file (not a folder) is about to be opened with its program.
  void OpenRequested(const QString& path, bool* handled);

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void ShowIndex(const QModelIndex& folder);

  Desktop& desktop_;
  QFileSystemModel* model_;
};

}  // namespace frambit
