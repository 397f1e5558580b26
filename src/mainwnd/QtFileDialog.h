// Open and save dialogs as QFileDialog.
// Threading: window thread only.
#pragma once

#include <QPointer>
#include <QWidget>

#include "windowlogic/IFileDialog.h"

class CQtFileDialog : public IFileDialog {
 public:
  explicit CQtFileDialog(QWidget* parent = nullptr) : m_pParent(parent) {}
  int GetOpenFileName(const std::string& title, const std::string& initial,
                      const std::vector<CFileFilter>& filters, int filterIndex,
                      std::string& chosen) override;
  int GetSaveFileName(const std::string& title, const std::string& initial,
                      const std::vector<CFileFilter>& filters, int filterIndex,
                      std::string& chosen) override;

 private:
  int Run(bool save, const std::string& title, const std::string& initial,
          const std::vector<CFileFilter>& filters, int filterIndex, std::string& chosen);

  QPointer<QWidget> m_pParent;
};
