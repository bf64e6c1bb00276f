#pragma once

#include <QAbstractItemModel>
#include <QSortFilterProxyModel>

#include <vector>

#include "model/SiteTree.h"

namespace kelvane {

// The site tree's rows for the view: sites at the top level, their units below.
class SiteTreeModel : public QAbstractItemModel {
    Q_OBJECT
public:
    enum Columns { SiteUnit, DateTime, Alarms, Conns, Mins, ColumnCount };
    enum Roles { SortRole = Qt::UserRole, SiteRole, UnitRole, GreyRole };

    explicit SiteTreeModel(QObject* parent = nullptr);

    // Replaces every row by the rows given (the core's tree rows, sites each followed by their units).
    void SetRows(std::vector<TreeRow> rows);
    // Removes every row.
    void Clear() { SetRows({}); }

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    struct SiteNode {
        TreeRow row;
        std::vector<TreeRow> units;
    };
    const TreeRow* RowAt(const QModelIndex& index) const;

    std::vector<SiteNode> sites_;
};

// Sorts the tree by each column's sort key: numbers as numbers, and in the Alarms column code
// lists above "AL??" above "none".
class SiteSortProxy : public QSortFilterProxyModel {
    Q_OBJECT
public:
    explicit SiteSortProxy(QObject* parent = nullptr);

protected:
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;
};

}  // namespace kelvane
