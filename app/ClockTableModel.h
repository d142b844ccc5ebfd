// The table of the "Read all clocks" dialog: one row per clock that answered, the columns of
// `tavlo read --csv` (the address, then every field of the record but the passwords and
// keys). Clocks of several kinds share the table: a column of one kind only stays empty in
// the rows of the others.
#pragma once

#include <QAbstractTableModel>
#include <QStringList>
#include <string>
#include <vector>

#include "settings/FieldText.h"

namespace tavlo::app {

class ClockTableModel final : public QAbstractTableModel {
    Q_OBJECT

  public:
    // Sorts the address column by number (198.18.0.9 before 198.18.0.10).
    static constexpr int kSortRole = Qt::UserRole;

    explicit ClockTableModel(QObject* parent = nullptr);

    // Adds the columns of `names` not there yet, after the others.
    void addColumns(const std::vector<std::string>& names);
    // A row for one clock's record (workflow::ClockRecord); its fields go to the columns of
    // their names. Rows stay in the order of their `position` (the clock's place in the
    // tree), whatever the order they come in.
    void addRow(std::size_t position, const std::vector<settings::FieldText>& record);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // The table as CSV (RFC 4180, lines ending in CR LF): the header, then the rows in the
    // order given.
    std::string csv(const std::vector<int>& rowOrder) const;

  private:
    std::vector<std::string> columns_;
    std::vector<std::vector<std::string>> rows_;
    std::vector<std::size_t> positions_;
};

}  // namespace tavlo::app
