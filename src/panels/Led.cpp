#include "panels/Led.h"

#include <QPainter>

CLed::CLed(Face face, QWidget* parent) : QWidget(parent), m_face(face) {
  setFixedSize(face == StepLamp ? QSize(15, 15) : QSize(8, 10));
  QSizePolicy keep = sizePolicy();
  keep.setRetainSizeWhenHidden(true);
  setSizePolicy(keep);
  hide();
}

void CLed::SetState(int state) {
  m_nState = state;
  if (state == Hidden) {
    hide();
    return;
  }
  if (state != Red && state != Green) {
    return;
  }
  m_nShown = state;
  raise();
  show();
  update();
}

void CLed::paintEvent(QPaintEvent*) {
  QPainter p(this);
  bool red = m_nShown == Red;
  if (m_face == PanelLamp) {
    p.fillRect(rect(), Qt::black);
    p.fillRect(rect().adjusted(1, 1, -1, -1), red ? QColor(255, 0, 0) : QColor(0, 255, 0));
    return;
  }
  p.fillRect(rect(), QColor(192, 192, 192));
  p.setRenderHint(QPainter::Antialiasing);
  QRadialGradient glow(QPointF(5.5, 5.5), 8.0);
  glow.setColorAt(0.0, red ? QColor(255, 190, 190) : QColor(200, 255, 200));
  glow.setColorAt(0.6, red ? QColor(230, 0, 0) : QColor(0, 200, 0));
  glow.setColorAt(1.0, red ? QColor(120, 0, 0) : QColor(0, 100, 0));
  p.setPen(QPen(QColor(64, 64, 64), 1.0));
  p.setBrush(glow);
  p.drawEllipse(QRectF(0.5, 0.5, 14.0, 14.0));
}
