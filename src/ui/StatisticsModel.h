#pragma once

#include "core/StatisticsLog.h"

#include <QAbstractTableModel>

#include <vector>

namespace tafelix {

// The log as the table shows it: one row per record plus the empty last row. Cells are
// decoded only when the view asks for them, so a log of 100,000 drills opens at once.
class StatisticsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    const std::vector<StatisticsRecord>& records() const { return records_; }
    void setRecords(std::vector<StatisticsRecord> records);
    void append(const StatisticsRecord& record);
    void removeRecord(int index);
    void clear();
    int recordCount() const { return static_cast<int>(records_.size()); }

private:
    std::vector<StatisticsRecord> records_;
};

} // namespace tafelix
