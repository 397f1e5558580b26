#include "mainwnd/AboutDlg.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <cstdio>

#include "mainwnd/AppIcon.h"
#include "platform/ControlIds.h"

std::string CAboutDlg::VersionText() {
  char text[128];
  std::snprintf(text, sizeof text, "Sendrix V%d.%d.%d %s  - built on : %s", 5, 0, 894, "svn",
                ": 2013/03/14 21:36:18");
  return text;
}

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
  setWindowTitle(tr("About..."));
  auto* grid = new QGridLayout(this);
  auto* icon = new QLabel(this);
  icon->setPixmap(SendrixIcon().pixmap(32, 32));
  grid->addWidget(icon, 0, 0, 2, 1, Qt::AlignTop);
  auto* version = new QLabel(QString::fromStdString(VersionText()), this);
  version->setObjectName(QStringLiteral("ctrl%1").arg(int{kIdcAboutVersion}));
  version->setProperty("ctrlId", int{kIdcAboutVersion});
  grid->addWidget(version, 0, 1);
  auto* notice = new QLabel(
      tr("Communication utility for receipt and ticket printers. Use at your own risk."), this);
  notice->setObjectName(QStringLiteral("ctrl%1").arg(int{kIdcAboutNotice}));
  notice->setProperty("ctrlId", int{kIdcAboutNotice});
  grid->addWidget(notice, 1, 1);
  auto* ok = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  connect(ok, &QDialogButtonBox::accepted, this, &QDialog::accept);
  grid->addWidget(ok, 2, 0, 1, 2);
}
