#include "panels/FrameBox.h"

#include <QStyleOptionGroupBox>
#include <QStylePainter>

void CFrameBox::SetFrameEnabled(bool enabled) {
  if (enabled != m_bEnabled) {
    m_bEnabled = enabled;
    update();
  }
}

void CFrameBox::paintEvent(QPaintEvent* event) {
  if (m_bEnabled) {
    QGroupBox::paintEvent(event);
    return;
  }
  QStylePainter painter(this);
  QStyleOptionGroupBox option;
  initStyleOption(&option);
  option.state &= ~QStyle::State_Enabled;
  option.palette.setCurrentColorGroup(QPalette::Disabled);
  option.textColor = option.palette.color(QPalette::Disabled, QPalette::WindowText);
  painter.drawComplexControl(QStyle::CC_GroupBox, option);
}
