#pragma once

#include "TableEstimate.h"

#include <QTreeWidget>

// The table list of either side of the table manager: one row per table with
// its name, whether it is a table or a view and the server's estimate of its
// rows and size. Rows are sorted by name without regard to case until the
// user clicks another column's header (a second click turns the order
// round); extended multiple selection, a current item that is distinct from
// the selection (-1 when there is none), and a filter that narrows what is
// shown. The table operations see it only through the members below, top
// to bottom as the rows stand, and they see the whole list whatever the
// filter shows.
class TableList : public QTreeWidget {
    Q_OBJECT
public:
    enum Column { NameColumn, KindColumn, RowsColumn, SizeColumn };

    explicit TableList(QWidget* parent = nullptr);

    // The current item's index, -1 when there is none.
    int currentIndex() const;
    // Makes the item current without selecting it; -1 leaves no current item.
    void setCurrentIndex(int index);

    int count() const { return topLevelItemCount(); }
    QTreeWidgetItem* item(int index) const { return topLevelItem(index); }
    QString text(int index) const;
    bool isSelected(int index) const;
    // Selecting an item the filter hides does nothing; deselecting it does.
    void setSelected(int index, bool selected);
    int selectedCount() const;
    // The item an action on one table works on: the current item when it is
    // selected, else the only selected item; -1 when none or several are selected.
    int singleTargetIndex() const;

    // Shows only the names that contain the text, case ignored (an empty text
    // shows all). Names it hides keep their selection, so names picked under
    // one filter stay picked under the next: only setSelected (Deselect All)
    // unpicks a hidden name; a click, Ctrl+A or a range never picks one.
    void setFilter(const QString& text);
    bool isShown(int index) const;

    // Adds a name at its sorted place (by name: case-insensitive, names equal
    // but for case keep the order they came in). Returns its index. A name
    // the list shows already is not added again: its index is returned. The
    // rows in view stay where they are, as do the selection and the current item.
    int add(const QString& text);
    // Removes the item at index. When it was the current item, no item is
    // current afterwards. The other rows in view stay where they are.
    void remove(int index);
    void clear();

    // The index of the name, exactly as listed; -1 when the list lacks it.
    int indexOf(const QString& text) const;
    // The server's estimate of an item's rows and size, as the listing read
    // it; shown in the row and its tooltip. Rows sorted by these columns take
    // their new place, the rows in view staying where they are.
    void setEstimate(int index, const TableEstimate& estimate);
    void setEstimates(const TableEstimates& estimates);
    TableEstimate estimate(int index) const;
    bool isView(int index) const { return estimate(index).view; }
    // The selected items that are views, top to bottom.
    QStringList selectedViews() const;

    // Every item's text, top to bottom.
    QStringList texts() const;
    // The selected items' texts, top to bottom.
    QStringList selectedTexts() const;

    // Sorts the rows by a column, as a click on its header does.
    void sortByColumn(Column column, Qt::SortOrder order);

    // Tall enough for this many rows and the header.
    QSize sizeForRows(int rows) const;

private:
    // Runs a change of the items, lays them out and scrolls back to the row
    // that was at the top of the view, so the rows under the mouse do not move.
    template <class Change> void keepingRowsInView(Change&& change);
    bool passesFilter(const QString& text) const;
    void keepHiddenSelection(const QItemSelection& selected, const QItemSelection& deselected);
    void showEstimate(QTreeWidgetItem& item, const TableEstimate& estimate) const;
    void resort();

    QString filter_;
    bool deselectingOnPurpose_ = false;
    bool adjusting_ = false;
};

// Removes the items whose text equals the text exactly (case-sensitive),
// walking the positions 0 .. count-1 taken once at the start: the item that
// moves up into a freed position is not examined, positions past the end are
// skipped.
void RemoveListItem(TableList& list, const QString& text);
