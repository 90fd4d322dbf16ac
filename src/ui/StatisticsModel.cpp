#include "StatisticsModel.h"

#include "platform/Cp1252Text.h"

namespace tafelix {

namespace {
const char* const kTitles[] = {"Vokabeldatei", "Datum",  "bearbeitet", "Zeit",
                               "richtig",      "falsch", "gelöst[%]"};
}

int StatisticsModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(records_.size()) + 1;
}

int StatisticsModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : StatisticsColumnCount;
}

QVariant StatisticsModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= recordCount())
        return {};
    if (role == Qt::DisplayRole)
        return fromCp1252(
            statisticsCell(records_[static_cast<std::size_t>(index.row())], index.column()));
    if (role == Qt::TextAlignmentRole && index.column() >= ColumnAnswers)
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

QVariant StatisticsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
        section < StatisticsColumnCount)
        return QString::fromUtf8(kTitles[section]);
    return QAbstractTableModel::headerData(section, orientation, role);
}

void StatisticsModel::setRecords(std::vector<StatisticsRecord> records)
{
    beginResetModel();
    records_ = std::move(records);
    endResetModel();
}

void StatisticsModel::append(const StatisticsRecord& record)
{
    const int row = recordCount();
    beginInsertRows({}, row, row);
    records_.push_back(record);
    endInsertRows();
}

void StatisticsModel::removeRecord(int index)
{
    if (index < 0 || index >= recordCount())
        return;
    beginRemoveRows({}, index, index);
    records_.erase(records_.begin() + index);
    endRemoveRows();
}

void StatisticsModel::clear()
{
    setRecords({});
}

} // namespace tafelix
