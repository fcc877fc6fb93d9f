#include "TableManagerWindow.h"

#include "ActionState.h"
#include "ErrorReport.h"
#include "FormSupport.h"
#include "HelpTexts.h"
#include "KeyboardAccess.h"
#include "ObjectNames.h"
#include "ReportLocations.h"
#include "SessionLog.h"
#include "SettingsStore.h"
#include "StatusLine.h"
#include "TableList.h"
#include "UserDialogs.h"
#include "WindowHelpers.h"
#include "Workspace.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QSpinBox>
#include <QVBoxLayout>
#include <QWindow>

namespace {

// The window as designed: both frames with their margins, "< Back" and "Help"
// at the bottom; wider than first drawn, for the lists' columns, and as tall
// as its lists' names need.
constexpr int kDefaultWidth = 10500;
constexpr int kDefaultHeight = 5745;
constexpr int kMargin = 120;
constexpr int kButtonHeight = 405;
constexpr int kStatusHeight = 270;
constexpr int kCancelWidth = 1335;
constexpr int kNamesShownAtLeast = 12;  // per list, in the smallest window
constexpr int kSpacing = 90;            // between controls
constexpr int kFrameSideMargin = 240;   // inside a frame, left and right

// Settings key of the window's last place: "left,top,width,height".
constexpr const char* kGeometryKey = "TableManagerGeometry";

constexpr const char* kStopTransferQuestion
    = "Tables are still being sent. Stop after the current batch and end the program?";

}  // namespace

TableManagerWindow::TableManagerWindow(WindowHost& host, QWidget* parent)
        : QWidget(parent), host_(host), sessionLog_(std::make_unique<SessionLogWindow>()),
          loggingDialogs_(std::make_unique<LoggingDialogs>(host.dialogs(), *sessionLog_)), dialogs_(*loggingDialogs_)
{
    InitUiResources();
    setObjectName(QString::fromLatin1(object_name::kTableManagerWindow));
    pointer_ = new WindowPointer(this);
    buildControls();
    buildKeyboardAccess();
}

TableManagerWindow::~TableManagerWindow() = default;

QSize TableManagerWindow::defaultSize() { return {Twips(kDefaultWidth), Twips(kDefaultHeight)}; }

TableManagerWindow::SideControls TableManagerWindow::buildSide(const QString& caption, const QString& sendCaption,
                                                               const SideNames& names)
{
    SideControls side;
    side.frame = new QGroupBox(caption, this);
    side.frame->setObjectName(QString::fromLatin1(names.frame));
    side.frame->setFont(FormFont(true));
    pointer_->watchArea(side.frame);

    side.filter = new QLineEdit(side.frame);
    side.filter->setObjectName(QString::fromLatin1(names.filter));
    side.filter->setFont(FormFont());
    side.filter->setPlaceholderText(QStringLiteral("Filter"));
    side.filter->setClearButtonEnabled(true);
    pointer_->watchArea(side.filter);

    side.list = new TableList(side.frame);
    side.list->setObjectName(QString::fromLatin1(names.list));
    side.list->setFont(FormFont());
    side.list->setMinimumHeight(side.list->sizeForRows(kNamesShownAtLeast).height());
    pointer_->watchArea(side.list);
    pointer_->watchArea(side.list->viewport());
    TableList* list = side.list;
    connect(side.filter, &QLineEdit::textChanged, list, [list](const QString& text) { list->setFilter(text); });

    const auto makeButton = [&](const QString& text, const char* name, const QFont& font) {
        auto* button = new QPushButton(text, side.frame);
        button->setObjectName(QString::fromLatin1(name));
        button->setFont(font);
        button->setFixedHeight(Twips(kButtonHeight));
        pointer_->watchButton(button);
        return button;
    };
    side.selectAll = makeButton(QStringLiteral("Select All"), names.selectAll, FormFont(true));
    side.deselectAll = makeButton(QStringLiteral("Deselect All"), names.deselectAll, FormFont(true));
    side.send = makeButton(sendCaption, names.send, ButtonFont());
    side.remove = makeButton(QStringLiteral("Delete Table/s"), names.remove, ButtonFont());
    side.rename = makeButton(QStringLiteral("Rename Table"), names.rename, ButtonFont());
    side.refresh = makeButton(QStringLiteral("Refresh"), names.refresh, FormFont(true));
    side.refresh->setFixedHeight(side.filter->sizeHint().height());
    side.refresh->setToolTip(QStringLiteral("Read the list again from the database (F5)"));

    // Filter, the list (it takes the height the window gives), then Select All
    // and Deselect All side by side, send, delete, rename.
    auto* buttons = new QGridLayout;
    buttons->setSpacing(Twips(kSpacing));
    buttons->addWidget(side.selectAll, 0, 0);
    buttons->addWidget(side.deselectAll, 0, 1);
    buttons->addWidget(side.send, 1, 0, 1, 2);
    buttons->addWidget(side.remove, 2, 0, 1, 2);
    buttons->addWidget(side.rename, 3, 0, 1, 2);
    auto* layout = new QVBoxLayout(side.frame);
    layout->setContentsMargins(Twips(kFrameSideMargin), Twips(kSpacing), Twips(kFrameSideMargin), Twips(kMargin));
    layout->setSpacing(Twips(kSpacing));
    auto* filterRow = new QHBoxLayout;
    filterRow->setSpacing(Twips(kSpacing));
    filterRow->addWidget(side.filter, 1);
    filterRow->addWidget(side.refresh);
    layout->addLayout(filterRow);
    layout->addWidget(side.list, 1);
    layout->addLayout(buttons);
    return side;
}

void TableManagerWindow::buildControls()
{
    setFont(FormFont());
    using namespace object_name;
    mysql_
        = buildSide(QStringLiteral("MySQL Tables"), QStringLiteral("Send Table/s To IBM DB2"),
                    {kMySQLTablesFrame, kMySQLTablesFilter, kMySQLTables, kSelectAllMySQLTables,
                     kDeselectAllMySQLTables, kSendToDB2, kDeleteMySQLTables, kRenameMySQLTable, kRefreshMySQLTables});
    db2_ = buildSide(QStringLiteral("IBM DB2 Tables"), QStringLiteral("Send Table/s To MySQL"),
                     {kDB2TablesFrame, kDB2TablesFilter, kDB2Tables, kSelectAllDB2Tables, kDeselectAllDB2Tables,
                      kSendToMySQL, kDeleteDB2Tables, kRenameDB2Table, kRefreshDB2Tables});

    options_ = new QWidget(this);
    options_->setObjectName(QString::fromLatin1(kOptions));
    auto* optionRows = new QVBoxLayout(options_);
    optionRows->setContentsMargins(0, 0, 0, 0);
    optionsLayout_ = new QHBoxLayout;
    optionRows->addLayout(optionsLayout_);
    optionsLayout_->addStretch(1);
    options_->hide();

    progressBar_ = new QProgressBar(this);
    progressBar_->setObjectName(QString::fromLatin1(kProgressBar));
    progressBar_->setRange(0, 100);
    progressBar_->setValue(0);
    progressBar_->setTextVisible(false);
    progressBar_->setFormat(QStringLiteral("%p%"));
    progressBar_->setFixedHeight(Twips(kButtonHeight));
    pointer_->watchArea(progressBar_);

    cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    cancel_->setObjectName(QString::fromLatin1(kCancel));
    cancel_->setFont(FormFont(true));
    cancel_->setFixedSize(Twips(kCancelWidth), Twips(kButtonHeight));
    cancel_->hide();
    pointer_->watchButton(cancel_);
    connect(cancel_, &QPushButton::clicked, this, &TableManagerWindow::cancelRequested);

    status_ = new StatusLine(this);
    status_->setObjectName(QString::fromLatin1(kStatusLine));
    status_->setFont(FormFont());
    status_->setFixedHeight(Twips(kStatusHeight));

    logButton_ = new QPushButton(QStringLiteral("Lo&g"), this);
    logButton_->setObjectName(QString::fromLatin1(kSessionLog));
    logButton_->setFont(FormFont(true));
    logButton_->setFixedHeight(Twips(kStatusHeight + kSpacing));
    logButton_->setToolTip(QStringLiteral("What this session did: summaries, deletes, renames and errors"));
    pointer_->watchButton(logButton_);
    connect(logButton_, &QPushButton::clicked, this, [this] {
        sessionLog_->winId();  // its window exists from here, to be kept above this one
        sessionLog_->windowHandle()->setTransientParent(window()->windowHandle());
        sessionLog_->show();
        sessionLog_->raise();
        sessionLog_->activateWindow();
    });

    backButton_ = new QPushButton(QStringLiteral("< Back"), this);
    backButton_->setObjectName(QString::fromLatin1(kBack));
    helpButton_ = new QPushButton(QStringLiteral("Help"), this);
    helpButton_->setObjectName(QString::fromLatin1(kTableManagerHelp));
    for (QPushButton* button : {backButton_, helpButton_}) {
        button->setFont(ButtonFont());
        button->setFixedHeight(Twips(kButtonHeight));
        pointer_->watchButton(button);
    }

    auto* sides = new QHBoxLayout;
    sides->setSpacing(Twips(kMargin));
    sides->addWidget(mysql_.frame);
    sides->addWidget(db2_.frame);
    auto* progressRow = new QHBoxLayout;
    progressRow->setSpacing(0);
    progressRow->addWidget(progressBar_, 1);
    progressRow->addWidget(cancel_);
    auto* bottomRow = new QHBoxLayout;
    bottomRow->setSpacing(Twips(kMargin));
    bottomRow->addWidget(backButton_);
    bottomRow->addWidget(helpButton_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(Twips(kMargin), Twips(kMargin), Twips(kMargin), Twips(kMargin));
    layout->setSpacing(Twips(kSpacing));
    layout->addLayout(sides, 1);
    layout->addLayout(progressRow);
    layout->addWidget(options_);
    auto* statusRow = new QHBoxLayout;
    statusRow->setSpacing(Twips(kSpacing));
    statusRow->addWidget(status_, 1);
    statusRow->addWidget(logButton_);
    layout->addLayout(statusRow);
    layout->addLayout(bottomRow);

    connect(mysql_.send, &QPushButton::clicked, this, &TableManagerWindow::sendToDb2);
    connect(db2_.send, &QPushButton::clicked, this, &TableManagerWindow::sendToMySQL);
    connect(mysql_.remove, &QPushButton::clicked, this, &TableManagerWindow::deleteSelectedMySQLTables);
    connect(db2_.remove, &QPushButton::clicked, this, &TableManagerWindow::deleteSelectedDB2Tables);
    connect(mysql_.rename, &QPushButton::clicked, this, &TableManagerWindow::renameMySQLTable);
    connect(db2_.rename, &QPushButton::clicked, this, &TableManagerWindow::renameDB2Table);
    connect(mysql_.selectAll, &QPushButton::clicked, this, &TableManagerWindow::selectAllMySQLTables);
    connect(mysql_.deselectAll, &QPushButton::clicked, this, &TableManagerWindow::deselectAllMySQLTables);
    connect(db2_.selectAll, &QPushButton::clicked, this, &TableManagerWindow::selectAllDB2Tables);
    connect(db2_.deselectAll, &QPushButton::clicked, this, &TableManagerWindow::deselectAllDB2Tables);
    connectRefresh(mysql_, &TableManagerWindow::refreshMySQLTables);
    connectRefresh(db2_, &TableManagerWindow::refreshDB2Tables);
    connect(backButton_, &QPushButton::clicked, this, &TableManagerWindow::goBack);
    connect(helpButton_, &QPushButton::clicked, this, &TableManagerWindow::showHelp);

    // Tab order: the MySQL side top to bottom, the DB2 side, then the bottom rows.
    QWidget* order[]
        = {mysql_.filter, mysql_.list, mysql_.selectAll, mysql_.deselectAll, mysql_.send,      mysql_.remove,
           mysql_.rename, db2_.filter, db2_.list,        db2_.selectAll,     db2_.deselectAll, db2_.send,
           db2_.remove,   db2_.rename, cancel_,          backButton_,        helpButton_};
    for (size_t i = 0; i + 1 < std::size(order); ++i)
        QWidget::setTabOrder(order[i], order[i + 1]);
    QWidget::setTabOrder(helpButton_, logButton_);

    resize(defaultSize());
    buildOptionChecks();
}

// Access keys on the buttons; Delete and F2 in a list, and its context menu,
// do what the side's buttons do; Escape is Cancel while a transfer runs.
void TableManagerWindow::buildKeyboardAccess()
{
    ApplyAccessKeys(this, kTableManagerAccessKeys);
    for (const SideControls* side : {&mysql_, &db2_})
        AddListActions(side->list,
                       {{side->send, {}},
                        {side->remove, QKeySequence::Delete},
                        {side->rename, Qt::Key_F2},
                        {side->refresh, Qt::Key_F5}});
    connect(new QShortcut(Qt::Key_Escape, this), &QShortcut::activated, this, [this] {
        if (transferRunning_)
            cancel_->click();
    });
}

// Eight options beside the logins in the store; each change is written at once.
void TableManagerWindow::buildOptionChecks()
{
    SettingsStore& settings = host_.settings();
    matchingTypes_ = new QCheckBox(QStringLiteral("Matching column types on DB2"));
    matchingTypes_->setObjectName(QString::fromLatin1(object_name::kMatchingDB2Types));
    matchingTypes_->setToolTip(QStringLiteral("Columns get the nearest type holding all their values "
                                              "(INTEGER, DECIMAL, VARCHAR, TIMESTAMP...) instead of LONG VARCHAR"));
    matchingTypes_->setChecked(settings.read(kDb2ColumnTypesSetting) == QLatin1String("matching"));
    connect(matchingTypes_, &QCheckBox::toggled, this, [&settings](bool on) {
        settings.write(kDb2ColumnTypesSetting, on ? QStringLiteral("matching") : QStringLiteral("text"));
    });

    // A check box remembered as "1" (on) or "0".
    const auto onOffCheck = [this, &settings](const char* caption, const char* name, const char* tip, SettingKey key) {
        auto* check = new QCheckBox(QString::fromUtf8(caption));
        check->setObjectName(QString::fromLatin1(name));
        check->setToolTip(QString::fromUtf8(tip));
        check->setChecked(settings.read(key) == QLatin1String("1"));
        connect(check, &QCheckBox::toggled, this,
                [&settings, key](bool on) { settings.write(key, on ? QStringLiteral("1") : QStringLiteral("0")); });
        return check;
    };
    copyKeys_ = onOffCheck("Copy primary keys", object_name::kCopyPrimaryKeys,
                           "The new table gets the primary key of the source table", kCopyPrimaryKeysSetting);
    upperCaseNames_ = onOffCheck("Upper-case names on DB2", object_name::kUpperCaseDB2Names,
                                 "Tables and columns sent to DB2 are named ORDERS, not \"orders\", so they need no "
                                 "quotes; names sent to MySQL keep their case",
                                 kUpperCaseDb2NamesSetting);
    for (QCheckBox* check : {matchingTypes_, copyKeys_, upperCaseNames_}) {
        if (check == upperCaseNames_)
            startTransferOptionRow();  // one row of them all would widen the window beyond its design
        addTransferOption(check);
        pointer_->watchButton(check);
    }

    // What a send does with a table the target has; the stored word per item.
    static const QString words[]
        = {QStringLiteral("replace"), QStringLiteral("append"), QStringLiteral("replace-rows")};
    auto* existingLabel = new QLabel(QStringLiteral("Existing tables:"));
    existingTables_ = new QComboBox;
    existingTables_->setObjectName(QString::fromLatin1(object_name::kExistingTables));
    existingTables_->addItems({QStringLiteral("replace the table (ask)"), QStringLiteral("add the rows"),
                               QStringLiteral("replace the rows, keep the table")});
    // Its longest item must not widen the window beyond its designed width.
    existingTables_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    existingTables_->setMinimumContentsLength(8);
    existingTables_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    existingTables_->setToolTip(QStringLiteral("Adding or replacing rows keeps the table, its indexes and permissions, "
                                               "and loads each table all or nothing"));
    existingLabel->setBuddy(existingTables_);
    const QString stored = settings.read(kExistingTablesSetting);
    for (int i = 0; i < 3; ++i)
        if (stored == words[i])
            existingTables_->setCurrentIndex(i);
    connect(existingTables_, &QComboBox::currentIndexChanged, this,
            [&settings](int index) { settings.write(kExistingTablesSetting, words[std::max(index, 0)]); });
    addTransferOption(existingLabel);
    addTransferOption(existingTables_);
    // Wider windows show the whole item, no wider.
    optionsLayout_->setStretchFactor(existingTables_, 100);
    existingTables_->setMaximumWidth(existingTables_->fontMetrics().horizontalAdvance(existingTables_->itemText(2))
                                     + Twips(600));
    allowRounding_ = onOffCheck("Allow rounding", object_name::kAllowRounding,
                                "Adding or replacing rows: a value its column would round (a DECIMAL into a DOUBLE, "
                                "fractions of seconds into a DATETIME) goes in rounded and is counted; without it, "
                                "the row is refused. Other changes are always refused",
                                kAllowRoundingSetting);
    addTransferOption(allowRounding_);
    pointer_->watchButton(allowRounding_);
    askFirst_ = onOffCheck("Ask about existing tables before sending", object_name::kAskExistingFirst,
                           "Every question about tables the target has comes in one box before the first row "
                           "moves; then the send goes on without asking",
                           kAskExistingFirstSetting);
    verifyAfter_ = onOffCheck("Verify after sending", object_name::kVerifyAfterSending,
                              "Each table sent is compared with its source, row by row and value by value; "
                              "the verdict goes to the status line and the Log",
                              kVerifyAfterSendingSetting);
    startTransferOptionRow();
    for (QCheckBox* check : {askFirst_, verifyAfter_}) {
        addTransferOption(check);
        pointer_->watchButton(check);
    }

    // Streams per large keyed table; 1, the default, reads each table in one snapshot.
    auto* parallelLabel = new QLabel(QStringLiteral("Parallel streams:"));
    parallelStreams_ = new QSpinBox;
    parallelStreams_->setObjectName(QString::fromLatin1(object_name::kParallelStreams));
    parallelStreams_->setRange(1, kMaxParallelStreams);
    parallelStreams_->setToolTip(
        QStringLiteral("Up to this many tables go at once, sharing this many streams: a table of 50000 rows or "
                       "more with a key is copied in ranges of its key at once, each on its own connections; each "
                       "range is read in its own snapshot, so a table written meanwhile is not copied as of one "
                       "instant. 1 sends the tables one after the other, each in one stream"));
    parallelLabel->setBuddy(parallelStreams_);
    parallelStreams_->setValue(std::clamp(settings.read(kParallelStreamsSetting).toInt(), 1, kMaxParallelStreams));
    connect(parallelStreams_, &QSpinBox::valueChanged, this,
            [&settings](int streams) { settings.write(kParallelStreamsSetting, QString::number(streams)); });
    addTransferOption(parallelLabel);
    addTransferOption(parallelStreams_);
    QWidget::setTabOrder(cancel_, matchingTypes_);
    QWidget::setTabOrder(matchingTypes_, copyKeys_);
    QWidget::setTabOrder(copyKeys_, upperCaseNames_);
    QWidget::setTabOrder(upperCaseNames_, existingTables_);
    QWidget::setTabOrder(existingTables_, allowRounding_);
    QWidget::setTabOrder(allowRounding_, askFirst_);
    QWidget::setTabOrder(askFirst_, verifyAfter_);
    QWidget::setTabOrder(verifyAfter_, parallelStreams_);
    QWidget::setTabOrder(parallelStreams_, backButton_);
}

TransferOptions TableManagerWindow::transferOptions() const
{
    TransferOptions options;
    options.columnTypes = matchingTypes_->isChecked() ? Db2ColumnTypes::Matching : Db2ColumnTypes::Text;
    options.copyPrimaryKeys = copyKeys_->isChecked();
    static constexpr ExistingTables modes[]
        = {ExistingTables::ReplaceTable, ExistingTables::AddRows, ExistingTables::ReplaceRows};
    options.existingTables = modes[std::clamp(existingTables_->currentIndex(), 0, 2)];
    options.upperCaseNamesOnDB2 = upperCaseNames_->isChecked();
    options.allowRounding = allowRounding_->isChecked();
    options.verifyAfterSending = verifyAfter_->isChecked();
    options.parallelStreams = parallelStreams_->value();
    return options;
}

void TableManagerWindow::addTransferOption(QWidget* option)
{
    // The row adds to the window's height rather than taking it from the
    // lists, and so does a taller option joining it.
    const int rowBefore = options_->isHidden() ? -layout()->spacing() : options_->sizeHint().height();
    option->setParent(options_);
    option->setFont(FormFont());
    optionsLayout_->insertWidget(optionsLayout_->count() - 1, option);
    options_->show();
    if (!isVisible())
        resize(width(), height() + options_->sizeHint().height() - rowBefore);
}

void TableManagerWindow::startTransferOptionRow()
{
    optionsLayout_ = new QHBoxLayout;
    optionsLayout_->addStretch(1);
    static_cast<QBoxLayout*>(options_->layout())->addLayout(optionsLayout_);
}

QList<QPushButton*> TableManagerWindow::actionButtons() const
{
    QList<QPushButton*> buttons;
    for (const SideControls* side : {&mysql_, &db2_})
        buttons << side->selectAll << side->deselectAll << side->send << side->remove << side->rename << side->refresh;
    buttons << backButton_ << helpButton_;
    return buttons;
}

void TableManagerWindow::setStatusText(const QString& text) { status_->setFullText(text); }

QString TableManagerWindow::statusText() const { return status_->fullText(); }

void TableManagerWindow::showOutcome(const QString& text)
{
    setStatusText(text);
    sessionLog_->add(text);
}

void TableManagerWindow::setBusy(bool busy)
{
    // A disabled button hands the keyboard focus on; it comes back to where
    // the user acted, so the next key goes where it was meant to.
    if (busy && !focusBeforeBusy_)
        focusBeforeBusy_ = focusWidget();
    for (QPushButton* button : actionButtons())
        button->setEnabled(!busy);
    options_->setEnabled(!busy);  // a run keeps the options it started with
    if (!busy && focusBeforeBusy_) {
        if (focusBeforeBusy_->isEnabled() && focusBeforeBusy_->isVisible())
            focusBeforeBusy_->setFocus(Qt::OtherFocusReason);
        focusBeforeBusy_.clear();
    }
    setPointer(busy ? Pointer::Busy : Pointer::Default);
    host_.actions().setRunning(busy);
    if (busy)
        return;
    // Said once; the actions go on without the log.
    if (const auto problem = host_.workspace().takeActivityLogProblem())
        dialogs_.message(
            QStringLiteral("The activity log could not be written: %1").arg(QString::fromStdString(*problem)));
}

bool TableManagerWindow::beginAction()
{
    if (host_.actions().running())
        return false;
    setStatusText(QString());
    return true;
}

void TableManagerWindow::waitForUser(const std::function<void()>& box)
{
    QElapsedTimer waited;
    waited.start();
    box();
    secondsWithUser_ += static_cast<double>(waited.nsecsElapsed()) / 1e9;
}

int TableManagerWindow::mousePointer() const { return MousePointerValue(pointer_->pointer()); }

void TableManagerWindow::setPointer(Pointer pointer) { pointer_->set(pointer); }

void TableManagerWindow::load()
{
    HandlerTrap trap(dialogs_, QString::fromLatin1(report_location::kTableManagerLoad));
    trap.step(100, [&] { ApplyFormColors(this); });
    trap.step(102, [&] { setWindowIcon(QIcon(QStringLiteral(":/tablehop.png"))); });
    const QString cursorFile = ProgramFile(QString::fromLatin1(kHandCursorFile));
    if (trap.test(106, [&] { return FileExists(cursorFile); }))
        trap.step(108, [&] { pointer_->setCustomCursor(LoadHandCursor(cursorFile)); });
    trap.step(110, [&] { setWindowTitle(QString::fromLatin1(kProductName)); });
    // Step 112: the size and place the user left the window in; the designed size otherwise.
    trap.step(112, [&] { restoreRememberedGeometry(); });
}

void TableManagerWindow::restoreRememberedGeometry()
{
    const QStringList parts
        = host_.settings().read(QString::fromLatin1(kGeometryKey), QString()).split(QLatin1Char(','));
    int values[4] = {};
    bool valid = parts.size() == 4;
    for (int i = 0; valid && i < 4; ++i)
        values[i] = parts[i].trimmed().toInt(&valid);
    if (!valid || values[2] <= 0 || values[3] <= 0)
        return;
    resize(QSize(values[2], values[3]).expandedTo(minimumSizeHint()));
    move(values[0], values[1]);
    KeepOnScreen(this);
}

void TableManagerWindow::rememberGeometry()
{
    if (isMinimized() || isMaximized() || isFullScreen())
        return;
    host_.settings().write(QString::fromLatin1(kGeometryKey),
                           QStringLiteral("%1,%2,%3,%4").arg(x()).arg(y()).arg(width()).arg(height()));
}

void TableManagerWindow::hideEvent(QHideEvent* event)
{
    if (!event->spontaneous()) {
        rememberGeometry();
        sessionLog_->hide();
    }
    QWidget::hideEvent(event);
}

void TableManagerWindow::goBack()
{
    if (!beginAction())
        return;
    HandlerTrap trap(dialogs_, QString::fromLatin1(report_location::kBack));
    trap.step(100, [&] { host_.showLogin(); });
    trap.step(102, [&] { hide(); });
}

void TableManagerWindow::selectAll(const char* location, TableList& list, bool selected)
{
    HandlerTrap trap(dialogs_, QString::fromLatin1(location));
    int count = 0;
    trap.step(100, [&] { count = list.count(); });
    for (int i = 0; i < count; ++i) {
        // Select All picks the names shown; Deselect All unpicks hidden ones too.
        trap.step(102, [&] { list.setSelected(i, selected); });
        // 104: next index
    }
}

void TableManagerWindow::selectAllDB2Tables() { selectAll(report_location::kSelectAllDB2Tables, *db2_.list, true); }

void TableManagerWindow::deselectAllDB2Tables()
{
    selectAll(report_location::kDeselectAllDB2Tables, *db2_.list, false);
}

void TableManagerWindow::selectAllMySQLTables()
{
    selectAll(report_location::kSelectAllMySQLTables, *mysql_.list, true);
}

void TableManagerWindow::deselectAllMySQLTables()
{
    selectAll(report_location::kDeselectAllMySQLTables, *mysql_.list, false);
}

void TableManagerWindow::showHelp()
{
    HandlerTrap trap(dialogs_, QString::fromLatin1(report_location::kTableManagerHelp));
    trap.step(100, [&] {
        dialogs_.message(QString::fromLatin1(help::kTableManagerHelp) + QString::fromLatin1(help::kContactAddress));
    });
}

void TableManagerWindow::closeEvent(QCloseEvent* event)
{
    ActionState& actions = host_.actions();
    if (actions.closeIfIdle()) {
        event->accept();
        return;
    }
    event->ignore();
    if (actions.endsWhenIdle())
        return;
    if (!transferRunning_) {
        actions.endWhenIdle();  // a delete or rename is quick: let it finish
        return;
    }
    Answer answer = Answer::No;
    waitForUser([&] { answer = dialogs_.question(QString::fromLatin1(kStopTransferQuestion), QString()); });
    if (answer == Answer::Yes && transferRunning_) {
        actions.endWhenIdle();
        emit cancelRequested();
    }
}
