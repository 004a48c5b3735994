#include "convert/TrayPicture.h"

#include <QPainter>
#include <QPixmap>

QIcon TrayPicture() {
  // A white note on a blue disc, drawn at the sizes trays ask for.
  QIcon icon;
  for (int size : {16, 22, 32, 48}) {
    QPixmap picture(size, size);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x15, 0x65, 0xC0));
    painter.drawEllipse(QRectF(0.5, 0.5, size - 1, size - 1));
    painter.setBrush(Qt::white);
    const double u = size / 16.0;
    painter.drawEllipse(QRectF(4 * u, 9.5 * u, 3.5 * u, 3 * u));
    painter.drawRect(QRectF(6.5 * u, 3.5 * u, 1.2 * u, 7.5 * u));
    painter.drawRect(QRectF(6.5 * u, 3.5 * u, 4.5 * u, 1.4 * u));
    icon.addPixmap(picture);
  }
  return icon;
}
