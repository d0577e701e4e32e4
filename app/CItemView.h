#pragma once
// The right pane: the programs and samples of the volume selected in the contents view,
// with size, type, rate, length and loop. Play and export act on its selection; a
// double-click plays, a right-click offers play and export.

#include <QMenu>
#include <QTreeWidget>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/ChainedList.h"

class CMainFrame;

// One per column, flipped after every sort on it and never reset.
extern int g_itemSortToggle[6];

class CItemView : public QTreeWidget {
  Q_OBJECT

 public:
  enum Column { kName, kSize, kType, kFreq, kLength, kLoop, kColumns };

  explicit CItemView(CMainFrame& frame);
  ~CItemView() override;

  // Lists the programs and samples of a volume, in directory order. Stops playback
  // first: the sample being played may be replaced.
  void ListVolume(uint16_t partition, uint16_t volume);
  // Deletes the rows (the per-row lists are emptied by the next listing).
  void DeleteAllRows() { clear(); }

  void SortByColumn(int column);

  // The selected rows in ascending row order.
  std::vector<QTreeWidgetItem*> SelectedRows() const;
  // Exactly one row is selected and it is a sample.
  bool OneSampleSelected() const;
  static uint32_t DataWord(const QTreeWidgetItem* row);

  // The popup of the last right-click (null before the first).
  QMenu* contextMenu() const { return m_contextMenu.get(); }
  void ShowContextMenu(const QPoint& globalPosition);

 protected:
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  void ClearLists();
  // A row, its data word and its entries in the per-row lists.
  QTreeWidgetItem* MakeRow(const std::string& name, bool program, uint32_t size, uint32_t rate, bool looped,
                           bool headerRead);

  CMainFrame& frame_;
  // Drawn once: a listing shows them on every row.
  const QIcon sampleIcon_;
  const QIcon programIcon_;
  ChainedList<std::string> m_names;
  ChainedList<uint32_t> m_sizes;
  ChainedList<uint32_t> m_rates;
  ChainedList<uint32_t> m_loops;
  std::unique_ptr<QMenu> m_contextMenu;
  uint32_t rowCount_ = 0;
};
