#include "mainwnd/HistoryDlg.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "platform/Notifier.h"

namespace {

QString FromUtf8(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

CHistoryDlg::CHistoryDlg(int mode, CHistoryFileLists& lists, IFileDialog& dialogs,
                         CHistoryFileBrowser& browser, QWidget* parent, int stringHexMode)
    : QDialog(parent), m_editor(mode, lists, dialogs, browser, stringHexMode) {
  m_pList = new QTreeWidget(this);
  m_pList->setObjectName("historyList");
  m_pList->setAccessibleName(mode == CHistoryEditor::kFileMode ? "Files history"
                                                               : "Commands history");
  m_pList->setRootIsDecorated(false);
  m_pList->setSelectionMode(QAbstractItemView::SingleSelection);
  m_pList->setEditTriggers(QAbstractItemView::NoEditTriggers);  // F2 and double click: ours
  m_pList->installEventFilter(this);
  SetUpColumns();

  auto* buttons = new QHBoxLayout;
  QPushButton* add = AddButton("Add", "addButton");
  QPushButton* remove = AddButton("Delete", "deleteButton");
  QPushButton* save = AddButton("Save as", "saveAsButton");
  QPushButton* load = AddButton("Load", "loadButton");
  QPushButton* closeButton = AddButton("Close", "closeButton");
  for (QPushButton* b : {add, remove, save, load})
    buttons->addWidget(b);
  buttons->addStretch();
  buttons->addWidget(closeButton);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(m_pList);
  layout->addLayout(buttons);

  connect(add, &QPushButton::clicked, this, &CHistoryDlg::OnAdd);
  connect(remove, &QPushButton::clicked, this, &CHistoryDlg::OnDelete);
  connect(save, &QPushButton::clicked, this, &CHistoryDlg::OnSaveAs);
  connect(load, &QPushButton::clicked, this, &CHistoryDlg::OnLoad);
  connect(closeButton, &QPushButton::clicked, this, &QWidget::close);
  connect(m_pList, &QTreeWidget::itemDoubleClicked, this, [this] { EditSelected(); });
  connect(m_pList, &QTreeWidget::itemChanged, this, &CHistoryDlg::OnItemChanged);
  connect(m_pList, &QTreeWidget::itemSelectionChanged, this, &CHistoryDlg::OnSelectionChanged);

  m_editor.OnInitDialog();
  Sync();
}

void CHistoryDlg::SetUpColumns() {
  const std::vector<CHistoryEditor::CColumn> columns = m_editor.Columns();
  QStringList titles;
  for (const CHistoryEditor::CColumn& c : columns)
    titles << tr(c.title);
  m_pList->setColumnCount(static_cast<int>(columns.size()));
  m_pList->setHeaderLabels(titles);
  QHeaderView* header = m_pList->header();
  header->setSectionsClickable(false);
  header->setStretchLastSection(false);
  header->setMinimumSectionSize(header->fontMetrics().averageCharWidth() * 4);
  int width = 0;
  for (int c = 0; c < static_cast<int>(columns.size()); ++c) {
    // The first column takes what the others leave; they fit their texts.
    header->setSectionResizeMode(c, c == 0 ? QHeaderView::Stretch : QHeaderView::ResizeToContents);
    if (columns[c].rightAligned)
      m_pList->headerItem()->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
    width += columns[c].width;
  }
  resize(width + 40, 360);
}

QPushButton* CHistoryDlg::AddButton(const char* text, const char* objectName) {
  auto* button = new QPushButton(tr(text), this);
  button->setObjectName(objectName);
  button->setAccessibleName(tr(text));
  button->setAutoDefault(false);  // Enter is handled by keyPressEvent
  return button;
}

void CHistoryDlg::Sync() {
  m_bSyncing = true;
  const std::vector<CFileListRow>& rows = m_editor.Rows();
  const std::vector<CHistoryEditor::CColumn> columns = m_editor.Columns();
  while (m_pList->topLevelItemCount() > static_cast<int>(rows.size()))
    delete m_pList->takeTopLevelItem(m_pList->topLevelItemCount() - 1);
  while (m_pList->topLevelItemCount() < static_cast<int>(rows.size())) {
    auto* item = new QTreeWidgetItem(m_pList);
    item->setFlags(item->flags() | Qt::ItemIsEditable);
    for (int c = 0; c < static_cast<int>(columns.size()); ++c)
      item->setTextAlignment(
          c, (columns[c].rightAligned ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
  }
  for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
    QTreeWidgetItem* item = m_pList->topLevelItem(r);
    item->setText(0, FromUtf8(rows[r].name));
    if (columns.size() == 3) {
      item->setText(1, FromUtf8(rows[r].size));
      item->setText(2, FromUtf8(rows[r].date));
    }
  }
  const int selected = m_editor.Selection();
  m_pList->clearSelection();
  if (selected >= 0) {
    QTreeWidgetItem* item = m_pList->topLevelItem(selected);
    m_pList->setCurrentItem(item);
    item->setSelected(true);
    m_pList->scrollToItem(item);
  }
  setWindowTitle(FromUtf8(m_editor.Title()));
  m_bSyncing = false;
}

void CHistoryDlg::OnSelectionChanged() {
  if (m_bSyncing)
    return;
  const QList<QTreeWidgetItem*> selected = m_pList->selectedItems();
  m_editor.SetSelection(selected.isEmpty() ? -1 : m_pList->indexOfTopLevelItem(selected.first()));
}

void CHistoryDlg::OnAdd() {
  m_editor.OnAdd();
  Sync();
}

void CHistoryDlg::OnDelete() {
  m_editor.OnDelete();
  Sync();
}

void CHistoryDlg::OnSaveAs() {
  m_editor.OnSaveAs();
  Sync();
}

void CHistoryDlg::OnLoad() {
  m_editor.OnLoad();
  Sync();
}

void CHistoryDlg::EditSelected() {
  const int row = m_editor.EditSelected();
  Sync();
  if (row >= 0)
    m_pList->editItem(m_pList->topLevelItem(row), 0);
}

void CHistoryDlg::OnItemChanged(QTreeWidgetItem* item, int column) {
  if (m_bSyncing || column != 0)
    return;
  const std::string refusal = m_editor.OnEndLabelEdit(m_pList->indexOfTopLevelItem(item),
                                                      item->text(0).toUtf8().toStdString());
  Sync();  // a refused edit is undone here
  if (!refusal.empty()) {
    // Shown once the list has finished ending the edit.
    QMetaObject::invokeMethod(
        this, [refusal] { AfxMessageBox(refusal.c_str()); }, Qt::QueuedConnection);
  }
}

bool CHistoryDlg::eventFilter(QObject* watched, QEvent* event) {
  if (watched == m_pList && event->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent*>(event)->key() == Qt::Key_F2) {
    EditSelected();
    return true;
  }
  return QDialog::eventFilter(watched, event);
}

void CHistoryDlg::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Escape:
      event->accept();
      close();
      return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      if (auto* button = qobject_cast<QPushButton*>(focusWidget()))
        button->click();
      event->accept();
      return;
    default:
      QDialog::keyPressEvent(event);
  }
}

void CHistoryDlg::closeEvent(QCloseEvent* event) {
  m_editor.OnClose();
  event->accept();
  done(QDialog::Accepted);
}

void CHistoryDlg::reject() {
  close();
}
