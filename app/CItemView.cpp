#include "app/CItemView.h"

#include <QHeaderView>
#include <QMouseEvent>
#include <algorithm>
#include <tuple>

#include "akai/AkaiVolumeReader.h"
#include "app/Artwork.h"
#include "app/CMainFrame.h"
#include "app/ItemFormat.h"
#include "app/Strings.h"
#include "app/WaitCursor.h"

int g_itemSortToggle[6] = {0, 0, 0, 0, 0, 0};

CItemView::CItemView(CMainFrame& frame)
    : frame_(frame), sampleIcon_(ItemIcon(false)), programIcon_(ItemIcon(true)) {
  setRootIsDecorated(false);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setAllColumnsShowFocus(true);
  setSortingEnabled(false);
  setIconSize(QSize(16, 16));
  setHeaderLabels({LoadText(IDS_COLUMN_NAME), LoadText(IDS_COLUMN_SIZE), LoadText(IDS_COLUMN_TYPE),
                   LoadText(IDS_COLUMN_FREQ), LoadText(IDS_COLUMN_LENGTH), LoadText(IDS_COLUMN_LOOP)});
  setColumnWidth(kName, 120);
  for (int column = kSize; column < kColumns; ++column) {
    setColumnWidth(column, 80);
    headerItem()->setTextAlignment(column, Qt::AlignRight | Qt::AlignVCenter);
  }
  header()->setSectionsClickable(true);
  connect(header(), &QHeaderView::sectionClicked, this, &CItemView::SortByColumn);
  setContextMenuPolicy(Qt::CustomContextMenu);
  connect(this, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& position) { ShowContextMenu(viewport()->mapToGlobal(position)); });
}

CItemView::~CItemView() = default;

void CItemView::ClearLists() {
  m_names.Clear();
  m_sizes.Clear();
  m_rates.Clear();
  m_loops.Clear();
  rowCount_ = 0;
}

void CItemView::ListVolume(uint16_t partition, uint16_t volume) {
  clear();
  ClearLists();
  AkaiVolumeReader* reader = frame_.volumeReader();
  if (reader == nullptr) return;
  const WaitCursor wait;
  frame_.StopPlayback();
  // The rows join the list at the end, in one go: one by one costs more than the reads.
  QList<QTreeWidgetItem*> rows;
  try {
    reader->ReadFiles(partition, volume);
    const int count = reader->files().Count();
    for (int f = 0; f < count; ++f) {
      const AkaiFile file = *reader->files().At(f);
      if (file.kind == S1000Program || file.kind == S3000Program) {
        rows.append(MakeRow(file.name, true, file.length, 0, false, true));
        continue;
      }
      bool headerRead = true;
      try {
        reader->LoadSample(partition, volume, file.name, false);
      } catch (...) {
        headerRead = false;
        frame_.SetStatusText(FormatText(IDS_SAMPLE_HEADER_FAILED, file.name));
      }
      // The load may have read the directory again: the entry is taken anew.
      const AkaiFile entry = *reader->files().At(f);
      const AkaiSample& sample = reader->sample();
      rows.append(MakeRow(entry.name, false, entry.length, headerRead ? sample.sampleRate : 0,
                          headerRead && FindPlayLoop(sample).length != 0, headerRead));
    }
  } catch (...) {
    addTopLevelItems(rows);
    ShowMessage(IDS_READ_ERROR, platform::MB_OK | platform::MB_ICONSTOP);
    return;
  }
  addTopLevelItems(rows);
}

// A sample whose header could not be read keeps its row with empty cells.
QTreeWidgetItem* CItemView::MakeRow(const std::string& name, bool program, uint32_t size, uint32_t rate,
                                    bool looped, bool headerRead) {
  auto* row = new QTreeWidgetItem;
  row->setText(kName, QString::fromStdString(name));
  row->setIcon(kName, program ? programIcon_ : sampleIcon_);
  if (headerRead) {
    row->setText(kSize, QString::fromStdString(FormatSize(size)));
    row->setText(kType, LoadText(program ? IDS_TYPE_PROGRAM : IDS_TYPE_SAMPLE));
  }
  if (!program && headerRead) row->setText(kFreq, QString::fromStdString(FormatText(IDS_FREQ_CELL, static_cast<int>(rate))));
  // A rate of 0 gives no length.
  if (!program && rate != 0) row->setText(kLength, QString::fromStdString(FormatDuration(LengthKey(size, rate))));
  if (looped) row->setText(kLoop, LoadText(IDS_LOOP_YES));
  for (int column = kSize; column < kColumns; ++column) row->setTextAlignment(column, Qt::AlignRight | Qt::AlignVCenter);
  row->setData(kName, Qt::UserRole, ItemDataWord(program ? kProgramRow : kSampleRow, rowCount_++));
  m_names.Append(new std::string(name));
  m_sizes.Append(new uint32_t(size));
  m_rates.Append(new uint32_t(rate));
  m_loops.Append(new uint32_t(looped ? 1 : 0));
  return row;
}

uint32_t CItemView::DataWord(const QTreeWidgetItem* row) { return row->data(kName, Qt::UserRole).toUInt(); }

std::vector<QTreeWidgetItem*> CItemView::SelectedRows() const {
  std::vector<QTreeWidgetItem*> rows;
  for (int i = 0; i < topLevelItemCount(); ++i) {
    if (topLevelItem(i)->isSelected()) rows.push_back(topLevelItem(i));
  }
  return rows;
}

bool CItemView::OneSampleSelected() const {
  const std::vector<QTreeWidgetItem*> rows = SelectedRows();
  return rows.size() == 1 && ItemKind(DataWord(rows.front())) == kSampleRow;
}

// Each column sorts by its key from the per-row lists; the column's toggle chooses the
// direction ("Name" descending first, the others ascending first) and is flipped.
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
    const int position = static_cast<int>(RowNumber(DataWord(item)));
    const uint32_t size = *m_sizes.At(position);
    const uint32_t rate = *m_rates.At(position);
    const uint64_t keys[kColumns] = {0, size, ItemKind(DataWord(item)), rate, LengthKey(size, rate),
                                     *m_loops.At(position)};
    rows.push_back({item, *m_names.At(position), column >= 0 && column < kColumns ? keys[column] : 0});
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
  if (ItemKind(DataWord(rows.front())) == kSampleRow && rows.size() == 1) {
    m_contextMenu->addAction(LoadText(IDS_MENU_PLAY), &frame_, &CMainFrame::OnPlay);
    m_contextMenu->addAction(LoadText(IDS_MENU_PLAY_LOOPED), &frame_, &CMainFrame::OnPlayLooped);
    m_contextMenu->addSeparator();
  }
  m_contextMenu->addAction(LoadText(IDS_MENU_EXPORT), &frame_, &CMainFrame::ExportSelection);
  m_contextMenu->popup(globalPosition);
}

void CItemView::mouseDoubleClickEvent(QMouseEvent* event) {
  QTreeWidget::mouseDoubleClickEvent(event);
  frame_.PlayOnDoubleClick();
}
