#pragma once

#include "UserDialogs.h"

#include <QDialog>

#include <vector>

class QComboBox;
class QTableWidget;

// The one question a send asks before it starts when the user wants to be
// asked first: every table the target has already, with its database and
// its estimated rows and size, and what to do with each (replace the table,
// add the rows, replace the rows, keep it), plus one choice for all of them.
// "Send" and Cancel; Escape is Cancel.
class ExistingTablesDialog : public QDialog {
    Q_OBJECT
public:
    explicit ExistingTablesDialog(const std::vector<ExistingTableRow>& rows, QWidget* parent = nullptr);

    // The answers as they stand, one per row, in the order given.
    std::vector<ExistingTableAnswer> answers() const;
    QComboBox* answerBox(int row) const;
    QComboBox* sameForAllBox() const { return sameForAll_; }
    QTableWidget* table() const { return table_; }

private:
    QTableWidget* table_ = nullptr;
    QComboBox* sameForAll_ = nullptr;
};

// The answers' words in the boxes: "replace the table", "add the rows",
// "replace the rows, keep the table", "keep the table".
QString ExistingTableAnswerText(ExistingTableAnswer answer);
