#pragma once
// The report-style list of the main window (lvwFiles): whole-row single selection, no icons,
// headers that do not sort, rows dragged to reorder them without a drag picture, local files
// dropped from a file manager, per-cell text colours for the highlighting, and a column of
// small pictures of the files that can be hidden.
#include <QImage>
#include <QList>
#include <QPersistentModelIndex>
#include <QStyledItemDelegate>
#include <QTreeWidget>
#include <QUrl>
#include <functional>
#include <string>

namespace rw {

class TFilePictures;

// Paints the cells with the default look, only changing the text colour of highlighted cells
// and marking the drop-target row of a drag.
class TFileListDelegate : public QStyledItemDelegate {
public:
  using QStyledItemDelegate::QStyledItemDelegate;

  // The column painted with Picture's image of the row instead of a text (-1: none).
  int PictureColumn = -1;
  std::function<QImage(int Row)> Picture;

  // Whether the cell at Row, Column is painted in HighlightColor.
  std::function<bool(int Row, int Column)> IsHighlighted;
  // The tooltip of the cell at Row, Column (empty: none).
  std::function<QString(int Row, int Column)> ToolTip;
  // Rows whose file name is shown in italics (a file added a second time).
  std::function<bool(int Row)> IsRepeat;
  static QColor HighlightColor() { return QColor(170, 50, 50); }

  // The text colour a cell is painted with.
  QColor TextColor(const QModelIndex& Index) const;
  QSize sizeHint(const QStyleOptionViewItem& Option, const QModelIndex& Index) const override;
  bool helpEvent(QHelpEvent* Event, QAbstractItemView* View, const QStyleOptionViewItem& Option,
                 const QModelIndex& Index) override;
  void paint(QPainter* Painter, const QStyleOptionViewItem& Option,
             const QModelIndex& Index) const override;

protected:
  void initStyleOption(QStyleOptionViewItem* Option, const QModelIndex& Index) const override;
};

class TFileListWidget : public QTreeWidget {
  Q_OBJECT
public:
  explicit TFileListWidget(QWidget* Parent = nullptr);

  TFileListDelegate& Delegate() { return *FDelegate; }

  // The row under Pos (viewport coordinates), or -1.
  int RowAt(const QPoint& Pos) const;

  // Called while a drag is over the list with the cursor at Pos (viewport coordinates) and
  // whether it comes from this list; answers whether the drop is accepted.
  std::function<bool(const QPoint& Pos, bool FromSelf)> OnDragOver;
  // Called when a drag of a row ends, wherever it ended.
  std::function<void()> OnEndDrag;
  // Called with the local files dropped from outside.
  std::function<void(const QList<QUrl>& Urls)> OnDropFiles;
  // Called for a double click on a row, with the column clicked.
  std::function<void(int Column)> OnDblClick;

  // The row painted as the drop target (-1: none).
  void SetDropHighlight(int Row);
  int DropHighlight() const;

  // Scrolls the rows by Pixels (negative: up).
  void ScrollBy(int Pixels);

  // Adds the column of pictures, first in sight, each the picture of FileOfRow(Row) made in the
  // background as its row comes into sight.
  void AddPictureColumn(std::function<std::string(int Row)> FileOfRow);
  // Shows or hides the pictures; hidden, none is asked for.
  void SetPicturesShown(bool Shown);
  bool PicturesShown() const;
  // The room the pictures take in a row: none while they are hidden.
  int PictureColumnWidth() const;
  // The pictures made so far (null until the column is added).
  TFilePictures* Pictures() { return FPictures; }
  // Shown in the middle of the list while it has no rows: how to add files.
  void SetEmptyText(const QString& Text);
  const QString& EmptyText() const { return FEmptyText; }

protected:
  void startDrag(Qt::DropActions SupportedActions) override;
  void dragEnterEvent(QDragEnterEvent* Event) override;
  void dragMoveEvent(QDragMoveEvent* Event) override;
  void dragLeaveEvent(QDragLeaveEvent* Event) override;
  void dropEvent(QDropEvent* Event) override;
  void mouseDoubleClickEvent(QMouseEvent* Event) override;
  void paintEvent(QPaintEvent* Event) override;

private:
  bool FromSelf(const QDropEvent* Event) const;

  TFileListDelegate* FDelegate;
  QPersistentModelIndex FDropHighlight;
  TFilePictures* FPictures = nullptr;
  QString FEmptyText;
};

}  // namespace rw
