// CDropDownCombo: a drop-down list that tells its owner when the operator
// opens it, before the entries are shown, so the owner can refill them (the
// serial port list and the USB device list are refreshed on drop-down).
//
// Threading: window thread only.
#pragma once

#include <QComboBox>
#include <functional>

class CDropDownCombo : public QComboBox {
 public:
  explicit CDropDownCombo(QWidget* parent = nullptr) : QComboBox(parent) {}
  void SetOnDropDown(std::function<void()> onDropDown) { m_onDropDown = std::move(onDropDown); }
  void showPopup() override {
    if (m_onDropDown) {
      m_onDropDown();
    }
    QComboBox::showPopup();
  }

 private:
  std::function<void()> m_onDropDown;
};
