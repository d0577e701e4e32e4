#include "app/CItemView.h"

#include <QHeaderView>
#include <QMouseEvent>
#include <algorithm>
#include <array>
#include <optional>
#include <utility>

#include "app/internal/Artwork.h"
#include "app/internal/ItemFormat.h"
#include "app/internal/Strings.h"

int g_itemSortToggle[7] = {0, 0, 0, 0, 0, 0, 0};

CItemView::CItemView(QWidget* parent)
    : QTreeWidget(parent), sampleIcon_(ItemIcon(false)), programIcon_(ItemIcon(true)) {
  setRootIsDecorated(false);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setAllColumnsShowFocus(true);
  setSortingEnabled(false);
  setIconSize(QSize(16, 16));
  setDragEnabled(true);
  setDragDropMode(QAbstractItemView::DragOnly);
  setHeaderLabels({LoadText(IDS_COLUMN_NAME), LoadText(IDS_COLUMN_SIZE), LoadText(IDS_COLUMN_TYPE),
                   LoadText(IDS_COLUMN_FREQ), LoadText(IDS_COLUMN_LENGTH), LoadText(IDS_COLUMN_LOOP),
                   LoadText(IDS_COLUMN_KEY)});
  setColumnWidth(kName, 120);
  for (int column = kSize; column < kColumns; ++column) {
    setColumnWidth(column, column == kLoop ? 110 : 80);
    headerItem()->setTextAlignment(column, Qt::AlignRight | Qt::AlignVCenter);
  }
  header()->setSectionsClickable(true);
  connect(header(), &QHeaderView::sectionClicked, this, &CItemView::SortByColumn);
  setContextMenuPolicy(Qt::CustomContextMenu);
  connect(this, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& position) { ShowContextMenu(viewport()->mapToGlobal(position)); });
}

CItemView::~CItemView() = default;

namespace {

// One row of the view. Its cells are formatted when first asked for: a listing makes a
// row for every item, but a screen shows a few dozen of them. A sample whose header
// could not be read keeps its row with empty cells; a rate of 0 gives no length.
class ItemRow : public QTreeWidgetItem {
 public:
  ItemRow(VolumeItem item, uint32_t number, const QIcon& icon)
      : item_(std::move(item)), name_(QString::fromStdString(item_.name)), icon_(icon),
        dataWord_(ItemDataWord(item_.program ? kProgramRow : kSampleRow, number)) {}

  const VolumeItem& item() const { return item_; }

  QVariant data(int column, int role) const override {
    if (column < 0 || column >= CItemView::kColumns) return QTreeWidgetItem::data(column, role);
    switch (role) {
      case Qt::DisplayRole: return column == CItemView::kName ? name_ : Cells()[column];
      case Qt::ToolTipRole:
      case Qt::StatusTipRole: return QString::fromStdString(FormatDetails(item_));
      case Qt::TextAlignmentRole:
        return column == CItemView::kName ? QVariant() : QVariant(int{Qt::AlignRight | Qt::AlignVCenter});
      case Qt::DecorationRole: return column == CItemView::kName ? QVariant(icon_) : QVariant();
      case Qt::UserRole: return column == CItemView::kName ? QVariant(dataWord_) : QVariant();
      default: return QTreeWidgetItem::data(column, role);
    }
  }

 private:
  using Column = CItemView::Column;

  const std::array<QString, CItemView::kColumns>& Cells() const {
    if (!cells_) cells_ = FormatCells();
    return *cells_;
  }

  std::array<QString, CItemView::kColumns> FormatCells() const {
    std::array<QString, CItemView::kColumns> cells;
    if (!item_.headerRead) return cells;
    cells[Column::kSize] = QString::fromStdString(FormatSize(item_.bytes));
    cells[Column::kType] = LoadText(item_.program ? IDS_TYPE_PROGRAM : IDS_TYPE_SAMPLE);
    if (item_.program) return cells;
    cells[Column::kFreq] = QString::fromStdString(FormatText(IDS_FREQ_CELL, static_cast<int>(item_.rate)));
    if (item_.rate != 0) cells[Column::kLength] = QString::fromStdString(FormatDuration(item_.LengthMs()));
    if (item_.loop.length != 0) {
      cells[Column::kLoop] = QString::fromStdString(
          FormatText(IDS_LOOP_CELL, item_.loop.start, item_.loop.start + item_.loop.length - 1));
    }
    cells[Column::kKey] = QString::fromStdString(FormatKey(item_.rootKey));
    return cells;
  }

  const VolumeItem item_;
  const QString name_;  // the filter reads every row's name
  const QIcon icon_;
  const uint32_t dataWord_;
  mutable std::optional<std::array<QString, CItemView::kColumns>> cells_;
};

// What a row of this view shows.
const VolumeItem& ItemOf(const QTreeWidgetItem* row) { return static_cast<const ItemRow*>(row)->item(); }

}  // namespace

void CItemView::SetItems(std::vector<VolumeItem> items) {
  clear();
  // The rows join the list at the end, in one go: one by one costs more than the reads.
  QList<QTreeWidgetItem*> rows;
  for (uint32_t number = 0; number < items.size(); ++number) {
    const QIcon& icon = items[number].program ? programIcon_ : sampleIcon_;
    rows.append(new ItemRow(std::move(items[number]), number, icon));
  }
  addTopLevelItems(rows);
  SetFilter(filter_);
}

void CItemView::SetFilter(const QString& text) {
  filter_ = text;
  for (int i = 0; i < topLevelItemCount(); ++i) {
    QTreeWidgetItem* row = topLevelItem(i);
    const bool hidden = !row->text(kName).contains(text, Qt::CaseInsensitive);
    if (row->isHidden() != hidden) row->setHidden(hidden);  // each change lays the list out again
    if (hidden) row->setSelected(false);
  }
}

uint32_t CItemView::DataWord(const QTreeWidgetItem* row) { return row->data(kName, Qt::UserRole).toUInt(); }

std::vector<QTreeWidgetItem*> CItemView::SelectedRows() const {
  std::vector<QTreeWidgetItem*> rows;
  for (int i = 0; i < topLevelItemCount(); ++i) {
    if (topLevelItem(i)->isSelected() && !topLevelItem(i)->isHidden()) rows.push_back(topLevelItem(i));
  }
  return rows;
}

std::vector<VolumeItem> CItemView::SelectedItems() const {
  std::vector<VolumeItem> items;
  for (const QTreeWidgetItem* row : SelectedRows()) items.push_back(ItemOf(row));
  return items;
}

bool CItemView::OneSampleSelected() const {
  const std::vector<QTreeWidgetItem*> rows = SelectedRows();
  return rows.size() == 1 && ItemKind(DataWord(rows.front())) == kSampleRow;
}

// Each column sorts by its key; the column's toggle chooses the direction ("Name"
// descending first, the others ascending first) and is flipped.
void CItemView::SortByColumn(int column) {
  struct Row {
    QTreeWidgetItem* item;
    std::string name;
    uint64_t key;
  };
  const QSignalBlocker quiet(this);
  const std::vector<QTreeWidgetItem*> selection = SelectedRows();
  std::vector<Row> rows;
  while (topLevelItemCount() > 0) {
    QTreeWidgetItem* item = takeTopLevelItem(0);
    const VolumeItem& entry = ItemOf(item);
    const uint64_t keys[kColumns] = {0, entry.bytes, ItemKind(DataWord(item)), entry.rate, entry.LengthMs(),
                                     entry.loop.length != 0 ? uint64_t{entry.loop.start} + 1 : 0,
                                     entry.program ? 0 : uint64_t{entry.rootKey} + 1};
    rows.push_back({item, entry.name, column >= 0 && column < kColumns ? keys[column] : 0});
  }
  if (column >= 0 && column < kColumns) {
    const bool toggle = g_itemSortToggle[column] != 0;
    std::stable_sort(rows.begin(), rows.end(), [&](const Row& a, const Row& b) {
      if (column == kName) return toggle ? a.name < b.name : b.name < a.name;
      return toggle ? b.key < a.key : a.key < b.key;
    });
    g_itemSortToggle[column] = toggle ? 0 : 1;
  }
  for (const Row& row : rows) addTopLevelItem(row.item);
  for (QTreeWidgetItem* item : selection) item->setSelected(true);
}

void CItemView::ShowContextMenu(const QPoint& globalPosition) {
  const std::vector<QTreeWidgetItem*> rows = SelectedRows();
  if (rows.empty()) return;
  m_contextMenu = std::make_unique<QMenu>(this);
  if (OneSampleSelected()) {
    m_contextMenu->addAction(LoadText(IDS_MENU_PLAY), this, [this] { emit playRequested(false); });
    m_contextMenu->addAction(LoadText(IDS_MENU_PLAY_LOOPED), this, [this] { emit playRequested(true); });
    m_contextMenu->addSeparator();
  }
  m_contextMenu->addAction(LoadText(IDS_MENU_EXPORT), this, &CItemView::exportRequested);
  m_contextMenu->popup(globalPosition);
}

void CItemView::mouseDoubleClickEvent(QMouseEvent* event) {
  QTreeWidget::mouseDoubleClickEvent(event);
  emit rowDoubleClicked();
}

void CItemView::startDrag(Qt::DropActions) {
  if (!SelectedRows().empty()) emit dragRequested();
}
