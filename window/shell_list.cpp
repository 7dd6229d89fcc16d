#include "window/shell_list.h"

#include <QFileSystemModel>
#include <QKeyEvent>

#include "window/desktop.h"

namespace frambit {

ShellList::ShellList(Desktop& desktop, QWidget* parent)
    : QTreeView(parent), desktop_(desktop), model_(new QFileSystemModel(this)) {
  model_->setFilter(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System);
  model_->setReadOnly(true);
  setModel(model_);
  setRootIsDecorated(false);
  setItemsExpandable(false);
  setExpandsOnDoubleClick(false);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setSortingEnabled(true);
  sortByColumn(0, Qt::AscendingOrder);
  setColumnWidth(0, 360);
  connect(this, &QAbstractItemView::doubleClicked, this, &ShellList::OpenItem);
}

void ShellList::ShowFolder(const QString& path) { ShowIndex(model_->index(path)); }

QString ShellList::CurrentFolderPath() const { return model_->filePath(rootIndex()); }

void ShellList::GoUp(int levels) {
  QModelIndex folder = rootIndex();
  for (int level = 0; level < levels && folder.isValid(); ++level) folder = folder.parent();
  if (folder != rootIndex()) ShowIndex(folder);
}

void ShellList::Refresh() { viewport()->update(); }

void ShellList::OpenItem(const QModelIndex& index) {
  if (!index.isValid()) return;
  if (model_->isDir(index)) {
    ShowIndex(index);
    return;
  }
  const QString path = model_->filePath(index);
  bool handled = false;
  emit OpenRequested(path, &handled);
  if (!handled) desktop_.OpenWithAssociation(path);
}

void ShellList::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Backspace) {
    GoUp(1);
    return;
  }
  QTreeView::keyPressEvent(event);
}

void ShellList::ShowIndex(const QModelIndex& folder) {
  // The model watches the folder it is rooted at; an invalid index stands
  // for the level above the root folder.
  model_->setRootPath(model_->filePath(folder));
  setRootIndex(folder);
  emit FolderChanged();
}

}  // namespace frambit
