#pragma once
// The right pane: the programs and samples of one volume, with size, type, rate,
// length, loop and root key, narrowed by a filter on their names. It shows the rows it
// is given and asks for play, export and drags through its signals.

#include <QMenu>
#include <QTreeWidget>
#include <cstdint>
#include <memory>
#include <vector>

#include "akai/VolumeItems.h"

// One per column, flipped after every sort on it and never reset.
extern int g_itemSortToggle[7];

class CItemView : public QTreeWidget {
  Q_OBJECT

 public:
  enum Column { kName, kSize, kType, kFreq, kLength, kLoop, kKey, kColumns };

  explicit CItemView(QWidget* parent = nullptr);
  ~CItemView() override;

  // Shows `items` in their order, the filter applied.
  void SetItems(std::vector<VolumeItem> items);
  void DeleteAllRows() { SetItems({}); }
  // Hides the rows whose names do not contain `text` (case ignored) and unselects them.
  void SetFilter(const QString& text);

  void SortByColumn(int column);

  // The selected rows in ascending row order.
  std::vector<QTreeWidgetItem*> SelectedRows() const;
  // What the selected rows show, in the same order.
  std::vector<VolumeItem> SelectedItems() const;
  // Exactly one row is selected and it is a sample.
  bool OneSampleSelected() const;
  static uint32_t DataWord(const QTreeWidgetItem* row);

  // The popup of the last right-click (null before the first).
  QMenu* contextMenu() const { return m_contextMenu.get(); }
  void ShowContextMenu(const QPoint& globalPosition);

 signals:
  void playRequested(bool looped);
  // A double-click on a row: the frame plays by the user's choice.
  void rowDoubleClicked();
  void exportRequested();
  // The user starts dragging the selected rows out of the view.
  void dragRequested();

 protected:
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void startDrag(Qt::DropActions supportedActions) override;

 private:
  // Drawn once: a listing shows them on every row.
  const QIcon sampleIcon_;
  const QIcon programIcon_;
  QString filter_;
  std::unique_ptr<QMenu> m_contextMenu;
};
