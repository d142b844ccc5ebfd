#include "app/ClockTableModel.h"

#include <algorithm>

#include "platform/Ipv4.h"
#include "workflow/ClockRecord.h"

namespace tavlo::app {

ClockTableModel::ClockTableModel(QObject* parent) : QAbstractTableModel(parent) {}

void ClockTableModel::addColumns(const std::vector<std::string>& names) {
    for (const std::string& name : names) {
        if (std::find(columns_.begin(), columns_.end(), name) != columns_.end()) {
            continue;
        }
        const int column = static_cast<int>(columns_.size());
        beginInsertColumns({}, column, column);
        columns_.push_back(name);
        for (std::vector<std::string>& row : rows_) {
            row.emplace_back();
        }
        endInsertColumns();
    }
}

void ClockTableModel::addRow(std::size_t position, const std::vector<settings::FieldText>& record) {
    std::vector<std::string> row(columns_.size());
    for (const settings::FieldText& field : record) {
        const auto column = std::find(columns_.begin(), columns_.end(), field.name);
        if (column != columns_.end()) {
            row[static_cast<std::size_t>(column - columns_.begin())] = field.value;
        }
    }
    const auto at =
        std::lower_bound(positions_.begin(), positions_.end(), position) - positions_.begin();
    beginInsertRows({}, static_cast<int>(at), static_cast<int>(at));
    positions_.insert(positions_.begin() + at, position);
    rows_.insert(rows_.begin() + at, std::move(row));
    endInsertRows();
}

int ClockTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int ClockTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

QVariant ClockTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || (role != Qt::DisplayRole && role != kSortRole)) {
        return {};
    }
    const std::string& cell =
        rows_[static_cast<std::size_t>(index.row())][static_cast<std::size_t>(index.column())];
    if (role == kSortRole &&
        columns_[static_cast<std::size_t>(index.column())] == workflow::kAddressKey) {
        const std::optional<platform::Ipv4> address = platform::ParseDottedAddress(cell);
        return address ? QVariant::fromValue(platform::NetworkToHost32(*address)) : QVariant();
    }
    return QString::fromStdString(cell);
}

QVariant ClockTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= columnCount()) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    return QString::fromStdString(columns_[static_cast<std::size_t>(section)]);
}

std::string ClockTableModel::csv(const std::vector<int>& rowOrder) const {
    std::string text = workflow::CsvLine(columns_);
    for (const int row : rowOrder) {
        text += workflow::CsvLine(rows_.at(static_cast<std::size_t>(row)));
    }
    return text;
}

}  // namespace tavlo::app
