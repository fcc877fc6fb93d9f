#include "TableList.h"

#include "TableFill.h"
#include "TableNames.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLocale>

namespace {

// Where a row keeps its estimate; an invalid value is an unknown figure.
constexpr int kRowsRole = Qt::UserRole + 1;
constexpr int kBytesRole = Qt::UserRole + 2;
constexpr int kViewRole = Qt::UserRole + 3;

QVariant figure(const std::optional<long long>& value) { return value ? QVariant(*value) : QVariant(); }

std::optional<long long> figure(const QVariant& value)
{
    return value.isValid() ? std::optional<long long>(value.toLongLong()) : std::nullopt;
}

// One table's row. Ordered by the list's sort column; rows equal there go by
// name, and names equal but for case keep the order they came in.
class TableRow : public QTreeWidgetItem {
public:
    explicit TableRow(const QString& name) : QTreeWidgetItem(QStringList {name}) { setToolTip(0, name); }

    bool operator<(const QTreeWidgetItem& other) const override
    {
        const int column = treeWidget() ? treeWidget()->sortColumn() : 0;
        if (column == TableList::KindColumn || column == TableList::RowsColumn || column == TableList::SizeColumn) {
            const int role = column == TableList::KindColumn ? kViewRole
                : column == TableList::RowsColumn            ? kRowsRole
                                                             : kBytesRole;
            // An unknown figure sorts below every known one.
            const long long mine = data(0, role).isValid() ? data(0, role).toLongLong() : -1;
            const long long theirs = other.data(0, role).isValid() ? other.data(0, role).toLongLong() : -1;
            if (mine != theirs)
                return mine < theirs;
        }
        return TableNameBefore(text(0), other.text(0));
    }
};

}  // namespace

TableList::TableList(QWidget* parent) : QTreeWidget(parent)
{
    setColumnCount(4);
    setHeaderLabels({QStringLiteral("Name"), QStringLiteral("Type"), QStringLiteral("Rows"), QStringLiteral("Size")});
    headerItem()->setToolTip(RowsColumn, QStringLiteral("The server's estimate"));
    headerItem()->setToolTip(SizeColumn, QStringLiteral("The server's estimate"));
    headerItem()->setTextAlignment(RowsColumn, Qt::AlignRight | Qt::AlignVCenter);
    headerItem()->setTextAlignment(SizeColumn, Qt::AlignRight | Qt::AlignVCenter);
    // A first click on a figure's header shows the biggest tables first.
    for (int column : {RowsColumn, SizeColumn})
        headerItem()->setData(column, Qt::InitialSortOrderRole, static_cast<int>(Qt::DescendingOrder));
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setIndentation(0);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setUniformRowHeights(true);
    setTextElideMode(Qt::ElideRight);
    // The list sorts itself: in add(), and when a header is clicked.
    setSortingEnabled(false);
    QHeaderView* columns = header();
    columns->setSectionsClickable(true);
    columns->setSortIndicatorShown(true);
    columns->setSortIndicator(NameColumn, Qt::AscendingOrder);
    columns->setStretchLastSection(false);
    columns->setSectionResizeMode(NameColumn, QHeaderView::Stretch);
    for (int column : {KindColumn, RowsColumn, SizeColumn})
        columns->setSectionResizeMode(column, QHeaderView::ResizeToContents);
    connect(columns, &QHeaderView::sortIndicatorChanged, this, [this] { resort(); });
    // Ctrl+A and range selections reach hidden rows too; they leave again at
    // once. A click that clears the selection leaves the hidden names picked.
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this](const QItemSelection& selected, const QItemSelection& deselected) {
                keepHiddenSelection(selected, deselected);
            });
}

QSize TableList::sizeForRows(int rows) const
{
    const int rowHeight = std::max(fontMetrics().height() + 4, sizeHintForRow(0) > 0 ? sizeHintForRow(0) : 0);
    return {sizeHint().width(), header()->sizeHint().height() + rows * rowHeight + 2 * frameWidth()};
}

int TableList::currentIndex() const
{
    const QModelIndex current = QTreeWidget::currentIndex();
    return current.isValid() ? current.row() : -1;
}

void TableList::setCurrentIndex(int index)
{
    const QModelIndex modelIndex = (index >= 0 && index < count()) ? model()->index(index, 0) : QModelIndex();
    selectionModel()->setCurrentIndex(modelIndex, QItemSelectionModel::NoUpdate);
}

QString TableList::text(int index) const
{
    const QTreeWidgetItem* it = item(index);
    return it ? it->text(NameColumn) : QString();
}

bool TableList::isSelected(int index) const
{
    const QTreeWidgetItem* it = item(index);
    return it && it->isSelected();
}

void TableList::setSelected(int index, bool selected)
{
    QTreeWidgetItem* it = item(index);
    if (!it || (selected && isRowHidden(index, QModelIndex())))
        return;
    const bool before = deselectingOnPurpose_;
    deselectingOnPurpose_ = true;
    it->setSelected(selected);
    deselectingOnPurpose_ = before;
}

int TableList::singleTargetIndex() const
{
    const int current = currentIndex();
    if (current >= 0 && isSelected(current))
        return current;
    int found = -1;
    for (int i = 0; i < count(); ++i) {
        if (!isSelected(i))
            continue;
        if (found >= 0)
            return -1;
        found = i;
    }
    return found;
}

bool TableList::passesFilter(const QString& text) const
{
    return filter_.isEmpty() || text.contains(filter_, Qt::CaseInsensitive);
}

void TableList::setFilter(const QString& text)
{
    filter_ = text;
    for (int i = 0; i < count(); ++i)
        setRowHidden(i, QModelIndex(), !passesFilter(item(i)->text(NameColumn)));
}

bool TableList::isShown(int index) const { return index >= 0 && index < count() && !isRowHidden(index, QModelIndex()); }

void TableList::keepHiddenSelection(const QItemSelection& selected, const QItemSelection& deselected)
{
    if (adjusting_)
        return;
    adjusting_ = true;
    const auto rowsOf = [](const QItemSelection& selection) {
        QList<int> rows;
        for (const QModelIndex& index : selection.indexes())
            if (!rows.contains(index.row()))
                rows << index.row();
        return rows;
    };
    const auto wholeRow
        = [this](int row) { return QItemSelection(model()->index(row, 0), model()->index(row, columnCount() - 1)); };
    for (int row : rowsOf(selected))
        if (isRowHidden(row, QModelIndex()))
            selectionModel()->select(wholeRow(row), QItemSelectionModel::Deselect);
    if (!deselectingOnPurpose_)
        for (int row : rowsOf(deselected))
            if (isRowHidden(row, QModelIndex()))
                selectionModel()->select(wholeRow(row), QItemSelectionModel::Select);
    adjusting_ = false;
}

int TableList::selectedCount() const { return static_cast<int>(selectedItems().size()); }

template <class Change> void TableList::keepingRowsInView(Change&& change)
{
    if (!isVisible()) {  // nothing in view: "Next >" fills the list before it is shown
        change();
        return;
    }
    const QPersistentModelIndex top = indexAt(QPoint(1, 1));
    const int topRow = top.row();
    change();
    // Laid out at once: until the view's own delayed layout runs, a repaint
    // draws the list empty.
    executeDelayedItemsLayout();
    if (top.isValid() && top.row() != topRow)
        scrollTo(top, QAbstractItemView::PositionAtTop);
}

int TableList::add(const QString& text)
{
    // A name is one table: a list that shows it already keeps its one entry.
    if (const int listed = indexOf(text); listed >= 0)
        return listed;
    auto* row = new TableRow(text);
    // Until the next listing reads its statistics, a new name is a table of unknown size.
    showEstimate(*row, TableEstimate {});
    // Upper bound: the first row that sorts after the new one.
    const bool ascending = header()->sortIndicatorOrder() == Qt::AscendingOrder;
    int low = 0;
    int high = count();
    while (low < high) {
        const int middle = (low + high) / 2;
        const QTreeWidgetItem& there = *item(middle);
        if (ascending ? !(*row < there) : !(there < *row))
            low = middle + 1;
        else
            high = middle;
    }
    keepingRowsInView([&] {
        insertTopLevelItem(low, row);
        setRowHidden(low, QModelIndex(), !passesFilter(text));
    });
    return low;
}

void TableList::remove(int index)
{
    if (index < 0 || index >= count())
        return;
    const bool wasCurrent = index == currentIndex();
    keepingRowsInView([&] { delete takeTopLevelItem(index); });
    if (wasCurrent)
        setCurrentIndex(-1);
}

void TableList::clear()
{
    deselectingOnPurpose_ = true;
    QTreeWidget::clear();
    deselectingOnPurpose_ = false;
    setCurrentIndex(-1);
}

QStringList TableList::texts() const
{
    QStringList all;
    for (int i = 0; i < count(); ++i)
        all << item(i)->text(NameColumn);
    return all;
}

void RemoveListItem(TableList& list, const QString& text)
{
    const int count = list.count();
    for (int i = 0; i < count; ++i) {
        if (i >= list.count())
            continue;  // past the current end: nothing there
        if (list.text(i) == text)
            list.remove(i);
    }
}

QStringList TableList::selectedTexts() const
{
    QStringList names;
    for (int i = 0; i < count(); ++i)
        if (isSelected(i))
            names << text(i);
    return names;
}

int TableList::indexOf(const QString& text) const
{
    for (int i = 0; i < count(); ++i)
        if (item(i)->text(NameColumn) == text)
            return i;
    return -1;
}

void TableList::showEstimate(QTreeWidgetItem& row, const TableEstimate& estimate) const
{
    const QLocale locale;
    row.setData(0, kRowsRole, figure(estimate.rows));
    row.setData(0, kBytesRole, figure(estimate.bytes));
    row.setData(0, kViewRole, estimate.view);
    row.setText(KindColumn, estimate.view ? QStringLiteral("view") : QStringLiteral("table"));
    row.setText(RowsColumn, estimate.rows ? locale.toString(*estimate.rows) : QStringLiteral("?"));
    row.setText(SizeColumn,
                estimate.bytes ? locale.formattedDataSize(*estimate.bytes, *estimate.bytes < 1024 * 1024 ? 0 : 1,
                                                          QLocale::DataSizeTraditionalFormat)
                               : QStringLiteral("?"));
    for (int column : {RowsColumn, SizeColumn})
        row.setTextAlignment(column, Qt::AlignRight | Qt::AlignVCenter);
    // The whole name, however narrow its column, and what the figures mean.
    const QString tip = row.text(NameColumn) + QLatin1Char('\n') + EstimateText(estimate);
    for (int column = 0; column < columnCount(); ++column)
        row.setToolTip(column, tip);
}

void TableList::setEstimate(int index, const TableEstimate& estimate)
{
    if (QTreeWidgetItem* it = item(index)) {
        showEstimate(*it, estimate);
        if (sortColumn() != NameColumn)
            resort();
    }
}

void TableList::setEstimates(const TableEstimates& estimates)
{
    for (int i = 0; i < count(); ++i) {
        const auto found = estimates.find(text(i).toStdString());
        showEstimate(*item(i), found == estimates.end() ? TableEstimate {} : found->second);
    }
    if (sortColumn() != NameColumn)
        resort();
}

TableEstimate TableList::estimate(int index) const
{
    const QTreeWidgetItem* it = item(index);
    if (!it)
        return {};
    return {figure(it->data(0, kRowsRole)), figure(it->data(0, kBytesRole)), it->data(0, kViewRole).toBool()};
}

QStringList TableList::selectedViews() const
{
    QStringList views;
    for (int i = 0; i < count(); ++i)
        if (isSelected(i) && isView(i))
            views << text(i);
    return views;
}

void TableList::sortByColumn(Column column, Qt::SortOrder order) { header()->setSortIndicator(column, order); }

void TableList::resort()
{
    keepingRowsInView([&] { sortItems(header()->sortIndicatorSection(), header()->sortIndicatorOrder()); });
}
