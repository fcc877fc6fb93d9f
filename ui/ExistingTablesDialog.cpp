#include "ExistingTablesDialog.h"

#include "WindowHelpers.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

constexpr ExistingTableAnswer kAnswers[] = {ExistingTableAnswer::ReplaceTable, ExistingTableAnswer::AddRows,
                                            ExistingTableAnswer::ReplaceRows, ExistingTableAnswer::Keep};

QComboBox* answerCombo(ExistingTableAnswer chosen, QWidget* parent)
{
    auto* box = new QComboBox(parent);
    for (ExistingTableAnswer answer : kAnswers)
        box->addItem(ExistingTableAnswerText(answer), static_cast<int>(answer));
    box->setCurrentIndex(box->findData(static_cast<int>(chosen)));
    return box;
}

}  // namespace

QString ExistingTableAnswerText(ExistingTableAnswer answer)
{
    switch (answer) {
    case ExistingTableAnswer::ReplaceTable: return QStringLiteral("replace the table");
    case ExistingTableAnswer::AddRows: return QStringLiteral("add the rows");
    case ExistingTableAnswer::ReplaceRows: return QStringLiteral("replace the rows, keep the table");
    case ExistingTableAnswer::Keep: break;
    }
    return QStringLiteral("keep the table");
}

ExistingTablesDialog::ExistingTablesDialog(const std::vector<ExistingTableRow>& rows, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Existing tables"));
    auto* intro = new QLabel(
        rows.size() == 1
            ? QStringLiteral("This table exists already. What should the send do with it?")
            : QStringLiteral("These %1 tables exist already. What should the send do with each?").arg(rows.size()),
        this);

    table_ = new QTableWidget(static_cast<int>(rows.size()), 4, this);
    table_->setHorizontalHeaderLabels({QStringLiteral("Table"), QStringLiteral("On"),
                                       QStringLiteral("Estimated rows and size"), QStringLiteral("Answer")});
    table_->verticalHeader()->hide();
    table_->setSelectionMode(QAbstractItemView::NoSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    for (int i = 0; i < table_->rowCount(); ++i) {
        const ExistingTableRow& row = rows[static_cast<size_t>(i)];
        const QString cells[] = {row.table, row.database, row.estimate};
        for (int column = 0; column < 3; ++column) {
            auto* cell = new QTableWidgetItem(cells[column]);
            cell->setToolTip(cells[column]);
            table_->setItem(i, column, cell);
        }
        table_->setCellWidget(i, 3, answerCombo(row.answer, table_));
    }
    table_->resizeColumnsToContents();
    table_->horizontalHeader()->setStretchLastSection(true);

    // Setting it sets every row; it shows the rows' answer while they agree.
    sameForAll_ = new QComboBox(this);
    sameForAll_->addItem(QString());
    for (ExistingTableAnswer answer : kAnswers)
        sameForAll_->addItem(ExistingTableAnswerText(answer), static_cast<int>(answer));
    const auto showAgreement = [this] {
        const std::vector<ExistingTableAnswer> given = answers();
        const bool agree = !given.empty()
            && std::all_of(given.begin(), given.end(), [&](ExistingTableAnswer a) { return a == given.front(); });
        const QSignalBlocker quiet(sameForAll_);
        sameForAll_->setCurrentIndex(agree ? sameForAll_->findData(static_cast<int>(given.front())) : 0);
    };
    for (int i = 0; i < table_->rowCount(); ++i)
        connect(answerBox(i), &QComboBox::currentIndexChanged, this, showAgreement);
    connect(sameForAll_, &QComboBox::currentIndexChanged, this, [this] {
        const QVariant chosen = sameForAll_->currentData();
        if (!chosen.isValid())
            return;
        for (int i = 0; i < table_->rowCount(); ++i)
            answerBox(i)->setCurrentIndex(answerBox(i)->findData(chosen));
    });
    showAgreement();
    auto* sameLabel = new QLabel(QStringLiteral("The &same for all:"), this);
    sameLabel->setBuddy(sameForAll_);
    auto* sameRow = new QHBoxLayout;
    sameRow->addWidget(sameLabel);
    sameRow->addWidget(sameForAll_, 1);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* send = buttons->addButton(QStringLiteral("Send"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QDialogButtonBox::Cancel);
    send->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addWidget(table_, 1);
    layout->addLayout(sameRow);
    layout->addWidget(buttons);

    // Wide enough for every column, tall enough for a few rows without scrolling.
    int width = 0;
    for (int column = 0; column < 3; ++column)
        width += table_->columnWidth(column);
    width += answerBox(0) ? answerBox(0)->sizeHint().width() : 0;
    const int rowsShown = std::min(table_->rowCount(), 8);
    table_->setMinimumSize(width + 2 * table_->frameWidth() + 4,
                           table_->horizontalHeader()->sizeHint().height()
                               + rowsShown * table_->verticalHeader()->defaultSectionSize() + 2 * table_->frameWidth()
                               + 2);
}

QComboBox* ExistingTablesDialog::answerBox(int row) const
{
    return qobject_cast<QComboBox*>(table_->cellWidget(row, 3));
}

std::vector<ExistingTableAnswer> ExistingTablesDialog::answers() const
{
    std::vector<ExistingTableAnswer> given;
    for (int i = 0; i < table_->rowCount(); ++i)
        given.push_back(static_cast<ExistingTableAnswer>(answerBox(i)->currentData().toInt()));
    return given;
}
