#include "convert/ElidedLabel.h"

#include <QPainter>
#include <QStyle>

TElidedLabel::TElidedLabel(QWidget* parent) : QLabel(parent) { setTextFormat(Qt::PlainText); }

void TElidedLabel::SetFullText(const QString& text) {
  setText(text);
  setToolTip(fontMetrics().horizontalAdvance(text) > contentsRect().width() ? text : QString());
  emit FullTextSet(text);
}

void TElidedLabel::paintEvent(QPaintEvent* event) {
  (void)event;
  QPainter painter(this);
  const QRect area = contentsRect();
  const QString shown = fontMetrics().elidedText(text(), Qt::ElideRight, area.width());
  style()->drawItemText(&painter, area, int(alignment()), palette(), isEnabled(), shown, foregroundRole());
}
