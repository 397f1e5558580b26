#include "mainwnd/AppIcon.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace {

// A receipt printer with a ticket coming out, in a 64 x 64 box.
void DrawPrinter(QPainter& p) {
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(245, 245, 240));
  QPainterPath ticket;
  ticket.addRect(20, 4, 24, 30);
  p.drawPath(ticket);
  p.setPen(QPen(QColor(90, 90, 90), 2));
  for (int y = 11; y <= 25; y += 7) {
    p.drawLine(24, y, 40, y);
  }
  QLinearGradient body(0, 26, 0, 60);
  body.setColorAt(0, QColor(70, 110, 170));
  body.setColorAt(1, QColor(30, 55, 100));
  p.setPen(QPen(QColor(20, 30, 50), 2));
  p.setBrush(body);
  p.drawRoundedRect(QRectF(6, 28, 52, 30), 6, 6);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(20, 30, 50));
  p.drawRect(16, 32, 32, 4);
  p.setBrush(QColor(0, 220, 0));
  p.drawEllipse(QPointF(48, 49), 3, 3);
}

}  // namespace

QPixmap SendrixIconPixmap(int side) {
  QPixmap pm(side, side);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.scale(side / 64.0, side / 64.0);
  DrawPrinter(p);
  return pm;
}

QIcon SendrixIcon() {
  QIcon icon;
  for (int side : {16, 32, 48, 64}) {
    icon.addPixmap(SendrixIconPixmap(side));
  }
  return icon;
}

QPixmap SendrixSplashPicture(const QSize& size) {
  QPixmap pm(size);
  QPainter p(&pm);
  QLinearGradient bg(0, 0, size.width(), size.height());
  bg.setColorAt(0, QColor(30, 55, 100));
  bg.setColorAt(1, QColor(70, 110, 170));
  p.fillRect(pm.rect(), bg);
  int side = size.height() * 3 / 4;
  p.drawPixmap(size.height() / 8, size.height() / 8, SendrixIconPixmap(side));
  p.setPen(Qt::white);
  QFont f = p.font();
  f.setPixelSize(size.height() / 3);
  f.setBold(true);
  p.setFont(f);
  QRect text = pm.rect().adjusted(side + size.height() / 4, 0, 0, 0);
  p.drawText(text, Qt::AlignVCenter | Qt::AlignLeft, QStringLiteral("Sendrix 5.0"));
  return pm;
}
