#include "app/window/app_icon.h"

#include <QPainter>
#include <QPixmap>
#include <vector>

namespace app {
namespace {

// One outline of the icon on its 32 x 32 grid.
struct Shape {
  std::vector<QPointF> points;
  QColor pen;
  double penWidth;
  QColor fill;  // invalid: an open line, not filled
};

const std::vector<Shape>& Shapes() {
  static const std::vector<Shape> shapes = {
      // The parcel: a box in perspective with a tape across its lid.
      {{{3, 12}, {17, 16}, {17, 30}, {3, 26}}, QColor(110, 70, 20), 1.2, QColor(214, 160, 86)},
      {{{17, 16}, {27, 12}, {27, 26}, {17, 30}}, QColor(110, 70, 20), 1.2, QColor(190, 135, 65)},
      {{{3, 12}, {13, 8}, {27, 12}, {17, 16}}, QColor(110, 70, 20), 1.2, QColor(235, 190, 120)},
      {{{8, 10}, {22, 14}}, QColor(60, 90, 160), 2, QColor()},
      // The arrow: the parcel on its way.
      {{{18, 7}, {25, 7}, {25, 3}, {31, 9}, {25, 15}, {25, 11}, {18, 11}}, QColor(20, 90, 30), 1, QColor(60, 170, 70)},
  };
  return shapes;
}

std::string SvgColor(const QColor& color) { return color.name(QColor::HexRgb).toStdString(); }

}  // namespace

QImage ParceloIconImage(int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size / 32.0, size / 32.0);
  for (const Shape& shape : Shapes()) {
    p.setPen(QPen(shape.pen, shape.penWidth));
    const QPolygonF outline(QList<QPointF>(shape.points.begin(), shape.points.end()));
    if (shape.fill.isValid()) {
      p.setBrush(shape.fill);
      p.drawPolygon(outline);
    } else {
      p.drawPolyline(outline);
    }
  }
  return image;
}

QIcon ParceloIcon() {
  QIcon icon;
  for (int size : {16, 24, 32, 48, 64, 128}) icon.addPixmap(QPixmap::fromImage(ParceloIconImage(size)));
  return icon;
}

std::string ParceloIconSvg() {
  std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                    "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"32\" height=\"32\" viewBox=\"0 0 32 32\">\n";
  for (const Shape& shape : Shapes()) {
    std::string points;
    for (const QPointF& point : shape.points)
      points += (points.empty() ? "" : " ") + QString::number(point.x()).toStdString() + "," +
                QString::number(point.y()).toStdString();
    svg += std::string(shape.fill.isValid() ? "  <polygon" : "  <polyline") + " points=\"" + points + "\" fill=\"" +
           (shape.fill.isValid() ? SvgColor(shape.fill) : "none") + "\" stroke=\"" + SvgColor(shape.pen) +
           "\" stroke-width=\"" + QString::number(shape.penWidth).toStdString() +
           // Qt's pen draws bevelled joins and square caps.
           "\" stroke-linejoin=\"bevel\" stroke-linecap=\"square\"/>\n";
  }
  return svg + "</svg>\n";
}

}  // namespace app
