#include "TableList.h"

#include "TableFill.h"
#include "TableNames.h"

#include <QItemSelectionModel>

namespace {

// Where an item keeps its estimate; an invalid value is an unknown figure.
constexpr int kRowsRole = Qt::UserRole + 1;
constexpr int kBytesRole = Qt::UserRole + 2;
constexpr int kViewRole = Qt::UserRole + 3;

QVariant figure(const std::optional<long long>& value) { return value ? QVariant(*value) : QVariant(); }

std::optional<long long> figure(const QVariant& value)
{
    return value.isValid() ? std::optional<long long>(value.toLongLong()) : std::nullopt;
}

}  // namespace

TableList::TableList(QWidget* parent) : QListWidget(parent)
{
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSortingEnabled(false);  // the list sorts itself in add()
    setUniformItemSizes(true);
    // Ctrl+A and range selections reach hidden rows too; they leave again at
    // once. A click that clears the selection leaves the hidden names picked.
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this](const QItemSelection& selected, const QItemSelection& deselected) {
                keepHiddenSelection(selected, deselected);
            });
}

int TableList::currentIndex() const { return currentRow(); }

void TableList::setCurrentIndex(int index)
{
    const QModelIndex modelIndex = (index >= 0 && index < count()) ? model()->index(index, 0) : QModelIndex();
    selectionModel()->setCurrentIndex(modelIndex, QItemSelectionModel::NoUpdate);
}

QString TableList::text(int index) const
{
    const QListWidgetItem* it = item(index);
    return it ? it->text() : QString();
}

bool TableList::isSelected(int index) const
{
    const QListWidgetItem* it = item(index);
    return it && it->isSelected();
}

void TableList::setSelected(int index, bool selected)
{
    QListWidgetItem* it = item(index);
    if (!it || (selected && isRowHidden(index)))
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
        setRowHidden(i, !passesFilter(item(i)->text()));
}

bool TableList::isShown(int index) const { return index >= 0 && index < count() && !isRowHidden(index); }

void TableList::keepHiddenSelection(const QItemSelection& selected, const QItemSelection& deselected)
{
    if (adjusting_)
        return;
    adjusting_ = true;
    for (const QModelIndex& index : selected.indexes())
        if (isRowHidden(index.row()))
            selectionModel()->select(index, QItemSelectionModel::Deselect);
    if (!deselectingOnPurpose_)
        for (const QModelIndex& index : deselected.indexes())
            if (isRowHidden(index.row()))
                selectionModel()->select(index, QItemSelectionModel::Select);
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
    // Upper bound: the first item that sorts after the new name.
    int low = 0;
    int high = count();
    while (low < high) {
        const int middle = (low + high) / 2;
        if (!TableNameBefore(text, item(middle)->text()))
            low = middle + 1;
        else
            high = middle;
    }
    keepingRowsInView([&] {
        insertItem(low, text);
        setRowHidden(low, !passesFilter(text));
    });
    return low;
}

void TableList::remove(int index)
{
    if (index < 0 || index >= count())
        return;
    const bool wasCurrent = index == currentIndex();
    keepingRowsInView([&] { delete takeItem(index); });
    if (wasCurrent)
        setCurrentIndex(-1);
}

void TableList::clear()
{
    deselectingOnPurpose_ = true;
    QListWidget::clear();
    deselectingOnPurpose_ = false;
    setCurrentIndex(-1);
}

QStringList TableList::texts() const
{
    QStringList all;
    for (int i = 0; i < count(); ++i)
        all << item(i)->text();
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
        if (item(i)->text() == text)
            return i;
    return -1;
}

void TableList::setEstimate(int index, const TableEstimate& estimate)
{
    QListWidgetItem* it = item(index);
    if (!it)
        return;
    it->setData(kRowsRole, figure(estimate.rows));
    it->setData(kBytesRole, figure(estimate.bytes));
    it->setData(kViewRole, estimate.view);
    it->setToolTip(EstimateText(estimate));
}

TableEstimate TableList::estimate(int index) const
{
    const QListWidgetItem* it = item(index);
    if (!it)
        return {};
    return {figure(it->data(kRowsRole)), figure(it->data(kBytesRole)), it->data(kViewRole).toBool()};
}

QStringList TableList::selectedViews() const
{
    QStringList views;
    for (int i = 0; i < count(); ++i)
        if (isSelected(i) && isView(i))
            views << text(i);
    return views;
}
