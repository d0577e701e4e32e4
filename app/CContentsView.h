#pragma once
// The left pane: every volume of the open disc in one flat list, with the letter of the
// partition that holds it. The selected row decides what the item view lists and where
// play and export look; choosing a row says so through volumeSelected.

#include <QTreeWidget>
#include <cstdint>
#include <string>

#include "common/ChainedList.h"

// One per column, flipped after every sort on it and never reset.
extern int g_contentsSortToggle[2];

class CContentsView : public QTreeWidget {
  Q_OBJECT

 public:
  static constexpr uint8_t kNoSelection = 255;

  explicit CContentsView(QWidget* parent = nullptr);

  // Deletes every row and the names kept for them.
  void DeleteAllRows();
  // Appends the row of volume `volume` of partition `partition`.
  void AddVolume(uint16_t partition, uint16_t volume, const std::string& name);

  // 255 unless exactly one row is selected.
  uint8_t GetSelectedPartition() const;
  uint8_t GetSelectedVolume() const;

  void SortByColumn(int column);

  static uint32_t DataWord(const QTreeWidgetItem* row);

 signals:
  void volumeSelected(uint16_t partition, uint16_t volume);

 private:
  void OnSelectionChanged();

  ChainedList<std::string> m_names;
  int rowCount_ = 0;
};
