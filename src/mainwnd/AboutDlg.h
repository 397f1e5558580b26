// The about box: icon, version line (kIdcAboutVersion), the maker's notice
// (kIdcAboutNotice) and OK.
// Threading: window thread only.
#pragma once

#include <QDialog>
#include <string>

class CAboutDlg : public QDialog {
 public:
  explicit CAboutDlg(QWidget* parent = nullptr);
  // "Sendrix V5.0.894 svn  - built on : : 2013/03/14 21:36:18".
  static std::string VersionText();
};
