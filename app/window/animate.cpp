#include "app/window/animate.h"

#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace app {
namespace {

constexpr double kPi = 3.14159265358979;

void DrawFolder(QPainter& p, QPointF at) {
  p.setPen(QPen(QColor(150, 110, 20), 1.5));
  p.setBrush(QColor(240, 200, 80));
  QPainterPath path;
  path.moveTo(at + QPointF(0, 6));
  path.lineTo(at + QPointF(10, 6));
  path.lineTo(at + QPointF(14, 2));
  path.lineTo(at + QPointF(26, 2));
  path.lineTo(at + QPointF(26, 6));
  path.lineTo(at + QPointF(36, 6));
  path.lineTo(at + QPointF(36, 30));
  path.lineTo(at + QPointF(0, 30));
  path.closeSubpath();
  p.drawPath(path);
}

void DrawSheet(QPainter& p, QPointF at, double angle = 0) {
  p.save();
  p.translate(at + QPointF(8, 10));
  p.rotate(angle);
  p.setPen(QPen(QColor(80, 80, 80), 1));
  p.setBrush(Qt::white);
  p.drawRect(QRectF(-8, -10, 16, 20));
  for (int line = 0; line < 4; ++line) p.drawLine(QPointF(-5, -6 + line * 4), QPointF(5, -6 + line * 4));
  p.restore();
}

void DrawComputer(QPainter& p, QPointF at) {
  p.setPen(QPen(QColor(60, 60, 60), 1.5));
  p.setBrush(QColor(200, 220, 240));
  p.drawRect(QRectF(at, QSizeF(34, 24)));
  p.setBrush(QColor(170, 170, 170));
  p.drawRect(QRectF(at + QPointF(10, 26), QSizeF(14, 4)));
}

void DrawMagnifier(QPainter& p, QPointF centre) {
  p.setPen(QPen(QColor(40, 40, 40), 3));
  p.setBrush(QColor(220, 240, 255, 160));
  p.drawEllipse(centre, 8, 8);
  p.drawLine(centre + QPointF(6, 6), centre + QPointF(13, 13));
}

void DrawBin(QPainter& p, QPointF at) {
  p.setPen(QPen(QColor(60, 60, 60), 1.5));
  p.setBrush(QColor(190, 200, 190));
  QPolygonF bin({at + QPointF(0, 4), at + QPointF(28, 4), at + QPointF(24, 34), at + QPointF(4, 34)});
  p.drawPolygon(bin);
}

}  // namespace

TAnimate::TAnimate(QWidget* parent) : QWidget(parent) {
  timer_.setInterval(60);
  connect(&timer_, &QTimer::timeout, this, [this] { Advance(); });
  setMinimumSize(272, 60);
}

void TAnimate::SetCommonAVI(TCommonAVI clip) {
  clip_ = clip;
  frame_ = 0;
  update();
}

void TAnimate::SetActive(bool active) {
  if (active && clip_ != aviNone) {
    frame_ = 0;
    timer_.start();
  } else {
    timer_.stop();
  }
  update();
}

void TAnimate::Advance() {
  frame_ = frame_ >= stopFrame_ ? 0 : frame_ + 1;
  update();
}

void TAnimate::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  const double t = static_cast<double>(frame_) / kFrames;
  const double left = width() / 2.0 - 90;
  const double top = height() / 2.0 - 16;
  switch (clip_) {
    case aviNone:
      return;
    case aviCopyFile:
    case aviCopyFiles: {
      DrawFolder(p, {left, top});
      DrawFolder(p, {left + 144, top});
      const double x = left + 12 + t * 144;
      const double y = top - 4 - std::sin(t * kPi) * 16;
      DrawSheet(p, {x, y}, t * 30 - 15);
      break;
    }
    case aviFindFile:
    case aviFindFolder:
    case aviFindComputer: {
      const QPointF object(left + 72, top);
      if (clip_ == aviFindFile) DrawSheet(p, object + QPointF(10, 4));
      else if (clip_ == aviFindFolder) DrawFolder(p, object);
      else DrawComputer(p, object);
      const double angle = t * 2 * kPi;
      DrawMagnifier(p, object + QPointF(18 + std::cos(angle) * 14, 14 + std::sin(angle) * 9));
      break;
    }
    case aviRecycleFile:
    case aviEmptyRecycle:
    case aviDeleteFile:
      DrawBin(p, {left + 76, top});
      DrawSheet(p, {left + 82, top - 20 + t * 30}, t * 90);
      break;
  }
}

}  // namespace app
