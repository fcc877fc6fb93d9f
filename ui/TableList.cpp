#include "TableList.h"

#include "TableNames.h"

#include <QItemSelectionModel>

TableList::TableList(QWidget* parent) : QListWidget(parent)
{
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSortingEnabled(false);  // the list sorts itself in add()
    setUniformItemSizes(true);
    // Ctrl+A and range selections reach hidden rows too; they leave again at once.
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this](const QItemSelection& selected, const QItemSelection&) { deselectHidden(selected); });
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
    if (QListWidgetItem* it = item(index))
        it->setSelected(selected && !isRowHidden(index));
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
    for (int i = 0; i < count(); ++i) {
        const bool hidden = !passesFilter(item(i)->text());
        setRowHidden(i, hidden);
        if (hidden)
            item(i)->setSelected(false);
    }
}

bool TableList::isShown(int index) const { return index >= 0 && index < count() && !isRowHidden(index); }

void TableList::deselectHidden(const QItemSelection& selected)
{
    for (const QModelIndex& index : selected.indexes())
        if (isRowHidden(index.row()))
            selectionModel()->select(index, QItemSelectionModel::Deselect);
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
    QListWidget::clear();
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
