#include "TableList.h"

#include "TableNames.h"

#include <QItemSelectionModel>

TableList::TableList(QWidget* parent) : QListWidget(parent)
{
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSortingEnabled(false);  // the list sorts itself in add()
    setUniformItemSizes(true);
}

int TableList::currentIndex() const
{
    return currentRow();
}

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
        it->setSelected(selected);
}

int TableList::selectedCount() const
{
    return static_cast<int>(selectedItems().size());
}

int TableList::add(const QString& text)
{
    // Upper bound: the first item that sorts after the new name.
    int low = 0;
    int high = count();
    while (low < high) {
        const int middle = (low + high) / 2;
        if (QString::compare(item(middle)->text(), text, Qt::CaseInsensitive) <= 0)
            low = middle + 1;
        else
            high = middle;
    }
    insertItem(low, text);
    return low;
}

void TableList::remove(int index)
{
    if (index < 0 || index >= count())
        return;
    const bool wasCurrent = index == currentIndex();
    delete takeItem(index);
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

bool ListContainsText(const TableList& list, const QString& text)
{
    bool found = false;
    for (int i = 0; i < list.count(); ++i)
        if (SameTableName(list.text(i), text))
            found = true;
    return found;
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
