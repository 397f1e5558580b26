#include "mainwnd/SplashWnd.h"

#include <QEventLoop>
#include <QFontMetrics>
#include <QPainter>
#include <QTimer>

#include "mainwnd/AppIcon.h"

CSplashWnd::CSplashWnd() : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint) {
  QFontMetrics fm(font());
  setFixedSize(368 * fm.averageCharWidth() / 4, 65 * fm.height() / 8);
}

void CSplashWnd::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.drawPixmap(0, 0, SendrixSplashPicture(size()));
}

void CSplashWnd::ShowFor(int ms) {
  CSplashWnd splash;
  splash.show();
  splash.repaint();
  // Keeps painting (and nothing else runs meanwhile but events).
  QEventLoop wait;
  QTimer::singleShot(ms, &wait, &QEventLoop::quit);
  wait.exec(QEventLoop::ExcludeUserInputEvents);
}
