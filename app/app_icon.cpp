#include "app/app_icon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace app {
namespace {

QPixmap DrawIcon(int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size / 32.0, size / 32.0);
  // The parcel: a box in perspective with a tape across its lid.
  p.setPen(QPen(QColor(110, 70, 20), 1.2));
  p.setBrush(QColor(214, 160, 86));
  p.drawPolygon(QPolygonF({{3, 12}, {17, 16}, {17, 30}, {3, 26}}));
  p.setBrush(QColor(190, 135, 65));
  p.drawPolygon(QPolygonF({{17, 16}, {27, 12}, {27, 26}, {17, 30}}));
  p.setBrush(QColor(235, 190, 120));
  p.drawPolygon(QPolygonF({{3, 12}, {13, 8}, {27, 12}, {17, 16}}));
  p.setPen(QPen(QColor(60, 90, 160), 2));
  p.drawLine(QPointF(8, 10), QPointF(22, 14));
  // The arrow: the parcel on its way.
  QPainterPath arrow;
  arrow.moveTo(18, 7);
  arrow.lineTo(25, 7);
  arrow.lineTo(25, 3);
  arrow.lineTo(31, 9);
  arrow.lineTo(25, 15);
  arrow.lineTo(25, 11);
  arrow.lineTo(18, 11);
  arrow.closeSubpath();
  p.setPen(QPen(QColor(20, 90, 30), 1));
  p.setBrush(QColor(60, 170, 70));
  p.drawPath(arrow);
  return pixmap;
}

}  // namespace

QIcon ParceloIcon() {
  QIcon icon;
  for (int size : {16, 24, 32, 48, 64, 128}) icon.addPixmap(DrawIcon(size));
  return icon;
}

}  // namespace app
