#include "SiteTreeModel.h"

#include <QColor>
#include <QFont>

#include "UiText.h"

namespace kelvane {

namespace {

// Alarms cells sort by kind first: no codes, trips only ("AL??"), then code lists.
int AlarmRank(const std::string& text) {
    if (text == "none") return 0;
    if (text == "AL??") return 1;
    return 2;
}

}  // namespace

SiteTreeModel::SiteTreeModel(QObject* parent) : QAbstractItemModel(parent) {}

void SiteTreeModel::SetRows(std::vector<TreeRow> rows) {
    beginResetModel();
    sites_.clear();
    for (TreeRow& row : rows) {
        if (row.level == 0 || sites_.empty()) {
            sites_.push_back(SiteNode{std::move(row), {}});
        } else {
            sites_.back().units.push_back(std::move(row));
        }
    }
    endResetModel();
}

QModelIndex SiteTreeModel::index(int row, int column, const QModelIndex& parent) const {
    if (row < 0 || column < 0 || column >= ColumnCount) return {};
    if (!parent.isValid()) {
        if (row >= static_cast<int>(sites_.size())) return {};
        return createIndex(row, column, quintptr(0));
    }
    if (parent.internalId() != 0) return {};  // unit rows have no children
    const auto& site = sites_[static_cast<std::size_t>(parent.row())];
    if (row >= static_cast<int>(site.units.size())) return {};
    return createIndex(row, column, quintptr(parent.row()) + 1);
}

QModelIndex SiteTreeModel::parent(const QModelIndex& child) const {
    if (!child.isValid() || child.internalId() == 0) return {};
    return createIndex(static_cast<int>(child.internalId() - 1), 0, quintptr(0));
}

int SiteTreeModel::rowCount(const QModelIndex& parent) const {
    if (!parent.isValid()) return static_cast<int>(sites_.size());
    if (parent.internalId() != 0 || parent.column() != 0) return 0;
    return static_cast<int>(sites_[static_cast<std::size_t>(parent.row())].units.size());
}

int SiteTreeModel::columnCount(const QModelIndex&) const { return ColumnCount; }

const TreeRow* SiteTreeModel::RowAt(const QModelIndex& index) const {
    if (!index.isValid()) return nullptr;
    if (index.internalId() == 0) return &sites_[static_cast<std::size_t>(index.row())].row;
    return &sites_[static_cast<std::size_t>(index.internalId() - 1)].units[static_cast<std::size_t>(index.row())];
}

QVariant SiteTreeModel::data(const QModelIndex& index, int role) const {
    const TreeRow* row = RowAt(index);
    if (!row) return {};
    const std::string& text = row->texts[static_cast<std::size_t>(index.column())];
    switch (role) {
        case Qt::DisplayRole:
        case Qt::ToolTipRole:
            return ShowText(text);
        case Qt::TextAlignmentRole:
            if (index.column() == Conns || index.column() == Mins) return int(Qt::AlignRight | Qt::AlignVCenter);
            return int(Qt::AlignLeft | Qt::AlignVCenter);
        case Qt::ForegroundRole:
            if (row->grey) return QColor(128, 128, 128);
            return {};
        case Qt::FontRole:
            if (row->grey) {
                QFont font;
                font.setItalic(true);
                font.setBold(false);
                font.setUnderline(false);
                font.setStrikeOut(false);
                return font;
            }
            return {};
        case SortRole:
            switch (index.column()) {
                case Conns:
                case Mins: {
                    // Numbers sort as numbers, whatever the decimal separator; unit rows have none.
                    if (text.empty()) return -1.0;
                    QByteArray number = QByteArray::fromStdString(text);
                    for (char& c : number) {
                        if (c < '0' || c > '9') c = '.';
                    }
                    return number.toDouble();
                }
                case Alarms:
                    return QString::number(AlarmRank(text)) + ShowText(text);
                default:
                    return ShowText(text).toCaseFolded();
            }
        case SiteRole:
            return QVariant::fromValue(static_cast<void*>(row->site));
        case UnitRole:
            return QVariant::fromValue(static_cast<void*>(row->unit));
        case GreyRole:
            return row->grey;
        default:
            return {};
    }
}

QVariant SiteTreeModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal) return {};
    if (role == Qt::DisplayRole) {
        static const char* const captions[ColumnCount] = {"Site/Unit", "Date/Time", "Alarms", "Conns", "Mins"};
        if (section >= 0 && section < ColumnCount) return QString::fromLatin1(captions[section]);
    }
    if (role == Qt::TextAlignmentRole && (section == Conns || section == Mins)) {
        return int(Qt::AlignRight | Qt::AlignVCenter);
    }
    return {};
}

SiteSortProxy::SiteSortProxy(QObject* parent) : QSortFilterProxyModel(parent) {
    setSortRole(SiteTreeModel::SortRole);
}

bool SiteSortProxy::lessThan(const QModelIndex& left, const QModelIndex& right) const {
    const QVariant a = left.data(SiteTreeModel::SortRole);
    const QVariant b = right.data(SiteTreeModel::SortRole);
    if (a.typeId() == QMetaType::Double && b.typeId() == QMetaType::Double) return a.toDouble() < b.toDouble();
    return a.toString() < b.toString();
}

}  // namespace kelvane
