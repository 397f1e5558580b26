#include "mainwnd/QtFileDialog.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QStringList>

namespace {

// "desc (*.bin)" with patterns "*.bin *.BIN" becomes Qt's "desc (*.bin *.BIN)".
QStringList QtFilters(const std::vector<CFileFilter>& filters) {
  QStringList out;
  for (const CFileFilter& f : filters) {
    QString desc = QString::fromStdString(f.first).trimmed();
    int paren = desc.indexOf(QLatin1Char('('));
    if (paren > 0) {
      desc = desc.left(paren).trimmed();
    }
    out << QStringLiteral("%1 (%2)").arg(desc, QString::fromStdString(f.second));
  }
  return out;
}

}  // namespace

int CQtFileDialog::Run(bool save, const std::string& title, const std::string& initial,
                       const std::vector<CFileFilter>& filters, int filterIndex,
                       std::string& chosen) {
  QFileDialog dlg(m_pParent.data(), QString::fromStdString(title));
  dlg.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dlg.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  QStringList names = QtFilters(filters);
  dlg.setNameFilters(names);
  if (filterIndex >= 1 && filterIndex <= names.size()) {
    dlg.selectNameFilter(names.at(filterIndex - 1));  // 1-based, as the Windows dialogs count
  }
  // The initial text is a folder and/or a name pattern such as "dir/*.bin".
  QFileInfo info(QString::fromStdString(initial));
  if (!initial.empty()) {
    if (info.isDir()) {
      dlg.setDirectory(info.absoluteFilePath());
    } else {
      dlg.setDirectory(info.absolutePath());
      if (!info.fileName().contains(QLatin1Char('*'))) {
        dlg.selectFile(info.fileName());
      }
    }
  }
  if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) {
    return 0;
  }
  chosen = dlg.selectedFiles().first().toStdString();
  return 1;
}

int CQtFileDialog::GetOpenFileName(const std::string& title, const std::string& initial,
                                   const std::vector<CFileFilter>& filters, int filterIndex,
                                   std::string& chosen) {
  return Run(false, title, initial, filters, filterIndex, chosen);
}

int CQtFileDialog::GetSaveFileName(const std::string& title, const std::string& initial,
                                   const std::vector<CFileFilter>& filters, int filterIndex,
                                   std::string& chosen) {
  return Run(true, title, initial, filters, filterIndex, chosen);
}
