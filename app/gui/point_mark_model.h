#pragma once

#include <QAbstractTableModel>
#include <functional>
#include <string>
#include <string_view>

#include "app/field_checks.h"
#include "app/point_mark_table.h"

// Adapts the point-mark table to Qt's item views. While the table has its header row, row 0 is
// shown as the horizontal header and model row r is table row r + 1; without it, model row r is
// table row r and the header is blank. The model reads the table directly and turns its change
// notifications into the smallest Qt signals; edits go back through the table.
class TPointMarkModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit TPointMarkModel(TPointMarkTable& table, QObject* parent = nullptr);
    ~TPointMarkModel() override;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // Stores the text as code page 932 bytes through OnEdit (straight into the table without it).
    // An unchanged text keeps the cell's bytes as they are, so cells holding bytes that do not
    // decode survive an edit that was not one.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

    // The problems of the cells, shown as a background colour and a tooltip; none when null.
    const TTableChecks* Checks = nullptr;

    // An edit of the cell (column, table row) to the given bytes, for the editor's commands.
    std::function<void(int column, int row, const std::string& cell)> OnEdit;

    // Table row of a model row and back.
    int tableRow(int modelRow) const { return modelRow + table_.fixedRows(); }
    int modelRow(int tableRow) const { return tableRow - table_.fixedRows(); }

private:
    void cellsChanged(int firstColumn, int firstRow, int lastColumn, int lastRow);
    void rowCountChanged(int oldCount, int newCount);
    void rowsInserted(int first, int count);
    void rowsRemoved(int first, int count);
    void reset();

    TPointMarkTable& table_;
    int rows_ = 0; // the row count the views know
};

// Cells are code page 932 bytes; the views show and edit them as UTF-16.
QString cellToQString(std::string_view cell);
std::string qStringToCell(const QString& text);
