#include "app/CContentsView.h"

#include <QHeaderView>
#include <algorithm>
#include <vector>

#include "app/internal/ItemFormat.h"
#include "app/internal/Strings.h"

int g_contentsSortToggle[2] = {0, 0};

CContentsView::CContentsView(QWidget* parent) : QTreeWidget(parent) {
  setRootIsDecorated(false);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setAllColumnsShowFocus(true);
  setSortingEnabled(false);
  setHeaderLabels({LoadText(IDS_COLUMN_BANK), LoadText(IDS_COLUMN_PARTITION)});
  setColumnWidth(0, 120);
  setColumnWidth(1, 120);
  header()->setSectionsClickable(true);
  connect(header(), &QHeaderView::sectionClicked, this, &CContentsView::SortByColumn);
  connect(this, &QTreeWidget::itemSelectionChanged, this, &CContentsView::OnSelectionChanged);
}

void CContentsView::DeleteAllRows() {
  clear();
  m_names.Clear();
  rowCount_ = 0;
}

void CContentsView::AddVolume(uint16_t partition, uint16_t volume, const std::string& name) {
  auto* row = new QTreeWidgetItem(this);
  row->setText(0, QString::fromStdString(name));
  row->setText(1, QString::fromStdString(FormatText(IDS_PARTITION_CELL, 'A' + partition)));
  row->setData(0, Qt::UserRole, ContentsDataWord(partition, volume, static_cast<uint32_t>(rowCount_++)));
  m_names.Append(new std::string(name));
}

uint32_t CContentsView::DataWord(const QTreeWidgetItem* row) { return row->data(0, Qt::UserRole).toUInt(); }

uint8_t CContentsView::GetSelectedPartition() const {
  const QList<QTreeWidgetItem*> rows = selectedItems();
  return rows.size() == 1 ? static_cast<uint8_t>(DataWord(rows.front()) >> 24) : kNoSelection;
}

uint8_t CContentsView::GetSelectedVolume() const {
  const QList<QTreeWidgetItem*> rows = selectedItems();
  return rows.size() == 1 ? static_cast<uint8_t>(DataWord(rows.front()) >> 16) : kNoSelection;
}

// A row that became selected lists its volume; losing the selection lists nothing.
void CContentsView::OnSelectionChanged() {
  const uint8_t partition = GetSelectedPartition();
  if (partition == kNoSelection) return;
  emit volumeSelected(partition, GetSelectedVolume());
}

// "Volume" compares the names kept for the rows (byte-wise, case-sensitive), "Partition"
// the partition indices; the column's toggle chooses the direction, and is flipped.
void CContentsView::SortByColumn(int column) {
  struct Row {
    QTreeWidgetItem* item;
    std::string name;
    uint32_t partition;
  };
  const QSignalBlocker quiet(this);  // sorting moves rows; the selection stays what it was
  QTreeWidgetItem* selection = selectedItems().isEmpty() ? nullptr : selectedItems().front();
  std::vector<Row> rows;
  while (topLevelItemCount() > 0) {
    QTreeWidgetItem* item = takeTopLevelItem(0);
    rows.push_back({item, *m_names.At(static_cast<int>(RowNumber(DataWord(item)))), DataWord(item) >> 24});
  }
  if (column == 0 || column == 1) {
    const bool toggle = g_contentsSortToggle[column] != 0;
    std::stable_sort(rows.begin(), rows.end(), [&](const Row& a, const Row& b) {
      if (column == 0) return toggle ? a.name < b.name : b.name < a.name;
      return toggle ? b.partition < a.partition : a.partition < b.partition;
    });
    g_contentsSortToggle[column] = toggle ? 0 : 1;
  }
  for (const Row& row : rows) addTopLevelItem(row.item);
  if (selection != nullptr) selection->setSelected(true);
}
