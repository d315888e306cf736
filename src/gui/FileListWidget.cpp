#include "gui/FileListWidget.h"

#include <algorithm>

#include <QDrag>
#include <QAbstractItemView>
#include <QDragEnterEvent>
#include <QHelpEvent>
#include <QToolTip>
#include <QHeaderView>
#include <QMimeData>
#include <QPainter>
#include <QScrollBar>

#include "gui/FilePictures.h"

namespace rw {
namespace {

constexpr int MinRowHeight = 14;
constexpr int PictureMargin = 1;
const char* const RowMimeType = "application/x-reelwright-row";

}  // namespace

QColor TFileListDelegate::TextColor(const QModelIndex& Index) const {
  QStyleOptionViewItem option;
  initStyleOption(&option, Index);
  return option.palette.color(QPalette::Text);
}

QSize TFileListDelegate::sizeHint(const QStyleOptionViewItem& Option,
                                  const QModelIndex& Index) const {
  QSize size = QStyledItemDelegate::sizeHint(Option, Index);
  if (Index.column() == PictureColumn)
    size = size.expandedTo(
        QSize(TFilePictures::Width + 2 * PictureMargin, TFilePictures::Height + 2 * PictureMargin));
  return size.expandedTo(QSize(0, MinRowHeight));
}

void TFileListDelegate::paint(QPainter* Painter, const QStyleOptionViewItem& Option,
                              const QModelIndex& Index) const {
  // The cell's background and selection as any cell's; the picture centred on it.
  QStyledItemDelegate::paint(Painter, Option, Index);
  if (Index.column() != PictureColumn || !Picture) return;
  const QImage picture = Picture(Index.row());
  if (picture.isNull()) return;
  QRect at(QPoint(0, 0), picture.size());
  at.moveCenter(Option.rect.center());
  Painter->drawImage(at.topLeft(), picture);
}

bool TFileListDelegate::helpEvent(QHelpEvent* Event, QAbstractItemView* View,
                                  const QStyleOptionViewItem& Option, const QModelIndex& Index) {
  if (Event->type() != QEvent::ToolTip || !ToolTip || !Index.isValid())
    return QStyledItemDelegate::helpEvent(Event, View, Option, Index);
  const QString text = ToolTip(Index.row(), Index.column());
  if (text.isEmpty()) {
    QToolTip::hideText();
    Event->ignore();
    return false;
  }
  QToolTip::showText(Event->globalPos(), text, View->viewport(), View->visualRect(Index));
  return true;
}

void TFileListDelegate::initStyleOption(QStyleOptionViewItem* Option,
                                        const QModelIndex& Index) const {
  QStyledItemDelegate::initStyleOption(Option, Index);
  if (IsHighlighted && IsHighlighted(Index.row(), Index.column()))
    Option->palette.setColor(QPalette::Text, HighlightColor());
  if (Index.column() == 0 && IsRepeat && IsRepeat(Index.row())) Option->font.setItalic(true);
  auto* list = qobject_cast<const TFileListWidget*>(parent());
  if (list && list->DropHighlight() == Index.row()) {
    Option->backgroundBrush = Option->palette.brush(QPalette::Highlight);
    Option->palette.setColor(QPalette::Text, Option->palette.color(QPalette::HighlightedText));
  }
}

TFileListWidget::TFileListWidget(QWidget* Parent) : QTreeWidget(Parent) {
  setObjectName("lvwFiles");
  setRootIsDecorated(false);
  setItemsExpandable(false);
  setUniformRowHeights(true);
  setAllColumnsShowFocus(true);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSortingEnabled(false);
  header()->setSectionsClickable(false);
  header()->setSectionsMovable(false);
  // The last column (the folder) reaches to the window's right edge, however wide it is.
  header()->setStretchLastSection(true);
  // Long names are cut in the middle, so the extension stays in sight.
  setTextElideMode(Qt::ElideMiddle);
  setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
  setDragEnabled(true);
  setAcceptDrops(true);
  viewport()->setAcceptDrops(true);
  setDragDropMode(QAbstractItemView::DragDrop);
  setDefaultDropAction(Qt::MoveAction);
  setDropIndicatorShown(false);
  setAutoScroll(false);
  FDelegate = new TFileListDelegate(this);
  setItemDelegate(FDelegate);
}

int TFileListWidget::RowAt(const QPoint& Pos) const {
  QModelIndex index = indexAt(Pos);
  return index.isValid() ? index.row() : -1;
}

void TFileListWidget::SetDropHighlight(int Row) {
  QModelIndex index = Row >= 0 ? model()->index(Row, 0) : QModelIndex();
  if (index == FDropHighlight) return;
  FDropHighlight = index;
  viewport()->update();
}

int TFileListWidget::DropHighlight() const {
  return FDropHighlight.isValid() ? FDropHighlight.row() : -1;
}

void TFileListWidget::ScrollBy(int Pixels) {
  QScrollBar* bar = verticalScrollBar();
  bar->setValue(bar->value() + Pixels);
}

void TFileListWidget::AddPictureColumn(std::function<std::string(int Row)> FileOfRow) {
  if (FPictures) return;
  FPictures = new TFilePictures(this);
  FPictures->OnMade = [this] { viewport()->update(); };
  const int column = columnCount();
  setColumnCount(column + 1);
  headerItem()->setText(column, QString());
  // Logically the last column, so the others keep their numbers; in sight, the first.
  header()->moveSection(column, 0);
  header()->setSectionResizeMode(column, QHeaderView::Fixed);
  setColumnWidth(column, TFilePictures::Width + 2 * PictureMargin + 4);
  FDelegate->PictureColumn = column;
  FDelegate->Picture = [this, FileOfRow = std::move(FileOfRow)](int Row) {
    const std::string file = FileOfRow(Row);
    return file.empty() ? QImage() : FPictures->Picture(file);
  };
}

void TFileListWidget::SetPicturesShown(bool Shown) {
  if (!FPictures || Shown == PicturesShown()) return;
  setColumnHidden(FDelegate->PictureColumn, !Shown);
  // The rows are as high as their pictures, or as their texts.
  doItemsLayout();
}

bool TFileListWidget::PicturesShown() const {
  return FPictures && !isColumnHidden(FDelegate->PictureColumn);
}

int TFileListWidget::PictureColumnWidth() const {
  return PicturesShown() ? columnWidth(FDelegate->PictureColumn) : 0;
}

void TFileListWidget::startDrag(Qt::DropActions /*SupportedActions*/) {
  if (!currentItem()) return;
  // No picture of the row follows the cursor.
  auto* drag = new QDrag(this);
  auto* mime = new QMimeData;
  mime->setData(RowMimeType, QByteArray());
  drag->setMimeData(mime);
  drag->exec(Qt::MoveAction);
  SetDropHighlight(-1);
  if (OnEndDrag) OnEndDrag();
}

bool TFileListWidget::FromSelf(const QDropEvent* Event) const {
  return Event->source() == this && Event->mimeData()->hasFormat(RowMimeType);
}

void TFileListWidget::dragEnterEvent(QDragEnterEvent* Event) {
  if (FromSelf(Event) || Event->mimeData()->hasUrls())
    Event->acceptProposedAction();
  else
    Event->ignore();
}

void TFileListWidget::dragMoveEvent(QDragMoveEvent* Event) {
  if (!FromSelf(Event)) {
    if (Event->mimeData()->hasUrls())
      Event->acceptProposedAction();
    else
      Event->ignore();
    return;
  }
  if (OnDragOver && OnDragOver(Event->position().toPoint(), true))
    Event->acceptProposedAction();
  else
    Event->ignore();
}

void TFileListWidget::dragLeaveEvent(QDragLeaveEvent* Event) { Event->accept(); }

void TFileListWidget::dropEvent(QDropEvent* Event) {
  // A row's move happens when its drag ends, wherever it ends.
  if (FromSelf(Event)) {
    Event->acceptProposedAction();
    return;
  }
  if (Event->mimeData()->hasUrls() && OnDropFiles) {
    Event->acceptProposedAction();
    OnDropFiles(Event->mimeData()->urls());
    return;
  }
  Event->ignore();
}

void TFileListWidget::SetEmptyText(const QString& Text) {
  FEmptyText = Text;
  viewport()->update();
}

void TFileListWidget::paintEvent(QPaintEvent* Event) {
  QTreeWidget::paintEvent(Event);
  if (const int target = DropHighlight(); target >= 0) {
    // A line where the dragged rows will stand: above the target row when they come from
    // below it, else under it.
    int first = topLevelItemCount();
    for (QTreeWidgetItem* item : selectedItems())
      first = std::min(first, indexOfTopLevelItem(item));
    const QRect row = visualRect(model()->index(target, 0));
    const int y = first < target ? row.bottom() : row.top();
    QPainter painter(viewport());
    painter.fillRect(QRect(0, y - 1, viewport()->width(), 3), palette().color(QPalette::Text));
  }
  if (topLevelItemCount() > 0 || FEmptyText.isEmpty()) return;
  QPainter painter(viewport());
  painter.setPen(palette().color(QPalette::PlaceholderText));
  const int margin = fontMetrics().height();
  painter.drawText(viewport()->rect().adjusted(margin, margin, -margin, -margin),
                   Qt::AlignCenter | Qt::TextWordWrap, FEmptyText);
}

void TFileListWidget::mouseDoubleClickEvent(QMouseEvent* Event) {
  QTreeWidget::mouseDoubleClickEvent(Event);
  if (OnDblClick && currentItem()) OnDblClick(indexAt(Event->position().toPoint()).column());
}

}  // namespace rw
