#pragma once
// A one-line label that keeps its whole text (text(), the tooltip) but draws it cut with an ellipsis
// when it is wider than the label, so a long title never spills out of the window.
#include <QLabel>

class TElidedLabel : public QLabel {
  Q_OBJECT
 public:
  explicit TElidedLabel(QWidget* parent = nullptr);
  void SetFullText(const QString& text);

 signals:
  // Every text set, even one replaced before the next paint.
  void FullTextSet(const QString& text);

 protected:
  void paintEvent(QPaintEvent* event) override;
};
