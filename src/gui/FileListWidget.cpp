#include "gui/FileListWidget.h"

#include <QDrag>
#include <QAbstractItemView>
#include <QDragEnterEvent>
#include <QHelpEvent>
#include <QToolTip>
#include <QHeaderView>
#include <QMimeData>
#include <QPainter>
#include <QScrollBar>

namespace rw {
namespace {

constexpr int MinRowHeight = 14;
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
  return size.expandedTo(QSize(0, MinRowHeight));
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
  setSelectionMode(QAbstractItemView::SingleSelection);
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
  if (topLevelItemCount() > 0 || FEmptyText.isEmpty()) return;
  QPainter painter(viewport());
  painter.setPen(palette().color(QPalette::PlaceholderText));
  const int margin = fontMetrics().height();
  painter.drawText(viewport()->rect().adjusted(margin, margin, -margin, -margin),
                   Qt::AlignCenter | Qt::TextWordWrap, FEmptyText);
}

void TFileListWidget::mouseDoubleClickEvent(QMouseEvent* Event) {
  QTreeWidget::mouseDoubleClickEvent(Event);
  if (OnDblClick && currentItem()) OnDblClick();
}

}  // namespace rw
