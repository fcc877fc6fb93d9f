#include "Form2.h"

#include "DataConnection.h"
#include "ErrorReport.h"
#include "Form1.h"
#include "FormSupport.h"
#include "HelpTexts.h"
#include "SettingsStore.h"
#include "TableActions.h"
#include "TableList.h"
#include "UserDialogs.h"
#include "WindowHelpers.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include <memory>
#include <optional>

namespace {

// Client width of the table manager: both frames with their margins.
constexpr int kClientWidth = 8040;
// The transfer options and the status line under the progress bar push
// "< Back" and "Help" down.
constexpr int kOptionsTop = 4890;
constexpr int kOptionsHeight = 270;
constexpr int kStatusTop = 5190;
constexpr int kStatusHeight = 270;
constexpr int kBottomRowTop = 5520;
constexpr int kBottomRowHeight = 405;
constexpr int kCancelWidth = 1335;

}  // namespace

Form2::Form2(Form1& login, UserDialogs& dialogs, QWidget* parent)
    : QWidget(parent), login_(login), dialogs_(dialogs)
{
    InitUiResources();
    setObjectName(QStringLiteral("Form2"));
    pointer_ = new WindowPointer(this);
    buildControls();
}

Form2::~Form2() = default;

QGroupBox* Form2::buildSide(const char* frameName, const QString& caption, int left, TableList*& list,
                            const char* listName, const int buttonNumbers[5], const char* const captions[5])
{
    auto* frame = new QGroupBox(caption, this);
    frame->setObjectName(QString::fromLatin1(frameName));
    frame->setFont(FormFont(true));
    PlaceTwips(frame, left, 120, 3840, 4215);
    pointer_->watchArea(frame);

    list = new TableList(frame);
    list->setObjectName(QString::fromLatin1(listName));
    list->setFont(FormFont());
    PlaceTwips(list, 240, 360, 3330, 1635);
    pointer_->watchArea(list);
    pointer_->watchArea(list->viewport());

    // Select All, Deselect All side by side, then send, delete, rename.
    static const QRect places[5] = {TwipsRect(240, 2100, 1600, 405), TwipsRect(1960, 2100, 1610, 405),
                                    TwipsRect(240, 2600, 3330, 405), TwipsRect(240, 3100, 3330, 405),
                                    TwipsRect(240, 3600, 3330, 405)};
    for (int i = 0; i < 5; ++i) {
        auto* push = new QPushButton(QString::fromLatin1(captions[i]), frame);
        push->setObjectName(QStringLiteral("PushButton%1").arg(buttonNumbers[i]));
        push->setFont(i < 2 ? FormFont(true) : ButtonFont());
        push->setGeometry(places[i]);
        pointer_->watchButton(push);
        PushButton[buttonNumbers[i]] = push;
    }
    return frame;
}

void Form2::buildControls()
{
    setFont(FormFont());
    static const int mysqlButtons[5] = {10, 11, 3, 1, 6};
    static const char* const mysqlCaptions[5] = {"Select All", "Deselect All", "Send Table/s To IBM DB2",
                                                 "Delete Table/s", "Rename Table"};
    Frame1 = buildSide("Frame1", QStringLiteral("MySQL Tables"), 120, List1_, "List1", mysqlButtons, mysqlCaptions);
    static const int db2Buttons[5] = {8, 9, 4, 5, 7};
    static const char* const db2Captions[5] = {"Select All", "Deselect All", "Send Table/s To MySQL",
                                               "Delete Table/s", "Rename Table"};
    Frame2 = buildSide("Frame2", QStringLiteral("IBM DB2 Tables"), 4080, List2_, "List2", db2Buttons, db2Captions);

    ProgressBar1_ = new QProgressBar(this);
    ProgressBar1_->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1_->setRange(0, 100);
    ProgressBar1_->setValue(0);
    ProgressBar1_->setTextVisible(false);
    PlaceTwips(ProgressBar1_, 120, 4460, 7800, 405);
    pointer_->watchArea(ProgressBar1_);

    cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    cancel_->setObjectName(QStringLiteral("CancelButton"));
    cancel_->setFont(FormFont(true));
    PlaceTwips(cancel_, 120 + 7800 - kCancelWidth, 4460, kCancelWidth, 405);
    cancel_->hide();
    pointer_->watchButton(cancel_);
    connect(cancel_, &QPushButton::clicked, this, &Form2::cancelRequested);

    buildOptionChecks();

    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("StatusLabel"));
    status_->setFont(FormFont());
    PlaceTwips(status_, 120, kStatusTop, 7800, kStatusHeight);
    status_->setTextFormat(Qt::PlainText);

    PushButton[2] = new QPushButton(QStringLiteral("< Back"), this);
    PushButton[2]->setObjectName(QStringLiteral("PushButton2"));
    PushButton[12] = new QPushButton(QStringLiteral("Help"), this);
    PushButton[12]->setObjectName(QStringLiteral("PushButton12"));
    PlaceTwips(PushButton[2], 120, kBottomRowTop, 3840, kBottomRowHeight);
    PlaceTwips(PushButton[12], 4080, kBottomRowTop, 3840, kBottomRowHeight);
    for (int number : {2, 12}) {
        PushButton[number]->setFont(ButtonFont());
        pointer_->watchButton(PushButton[number]);
    }

    connect(PushButton[1], &QPushButton::clicked, this, &Form2::PushButton1_Click);
    connect(PushButton[2], &QPushButton::clicked, this, &Form2::PushButton2_Click);
    connect(PushButton[3], &QPushButton::clicked, this, &Form2::PushButton3_Click);
    connect(PushButton[4], &QPushButton::clicked, this, &Form2::PushButton4_Click);
    connect(PushButton[5], &QPushButton::clicked, this, &Form2::PushButton5_Click);
    connect(PushButton[6], &QPushButton::clicked, this, &Form2::PushButton6_Click);
    connect(PushButton[7], &QPushButton::clicked, this, &Form2::PushButton7_Click);
    connect(PushButton[8], &QPushButton::clicked, this, &Form2::PushButton8_Click);
    connect(PushButton[9], &QPushButton::clicked, this, &Form2::PushButton9_Click);
    connect(PushButton[10], &QPushButton::clicked, this, &Form2::PushButton10_Click);
    connect(PushButton[11], &QPushButton::clicked, this, &Form2::PushButton11_Click);
    connect(PushButton[12], &QPushButton::clicked, this, &Form2::PushButton12_Click);

    // Tab order: the MySQL side top to bottom, the DB2 side, then the bottom row.
    QWidget* order[] = {List1_,         PushButton[10], PushButton[11], PushButton[3], PushButton[1],
                        PushButton[6],  List2_,         PushButton[8],  PushButton[9], PushButton[4],
                        PushButton[5],  PushButton[7],  cancel_,        matchingTypes_, copyKeys_,
                        PushButton[2],  PushButton[12]};
    for (size_t i = 0; i + 1 < std::size(order); ++i)
        QWidget::setTabOrder(order[i], order[i + 1]);

    setFixedWidth(Twips(kClientWidth));
    setFixedHeight(Twips(kBottomRowTop + kBottomRowHeight + 120));
}

// Two options beside the logins in the store; each change is written at once.
void Form2::buildOptionChecks()
{
    SettingsStore& settings = login_.settings();
    const auto stored = [&](const SettingKey& setting) {
        return settings.read(QString::fromLatin1(setting.key), QString::fromLatin1(setting.defaultValue));
    };
    matchingTypes_ = new QCheckBox(QStringLiteral("Matching column types on DB2"), this);
    matchingTypes_->setObjectName(QStringLiteral("matchingDb2TypesCheck"));
    matchingTypes_->setToolTip(QStringLiteral("Columns get the nearest type holding all their values "
                                              "(INTEGER, DECIMAL, VARCHAR, TIMESTAMP...) instead of LONG VARCHAR"));
    matchingTypes_->setChecked(stored(kDb2ColumnTypesSetting) == QLatin1String("matching"));
    PlaceTwips(matchingTypes_, 120, kOptionsTop, 3840, kOptionsHeight);
    connect(matchingTypes_, &QCheckBox::toggled, this, [&settings](bool on) {
        settings.write(QString::fromLatin1(kDb2ColumnTypesSetting.key), on ? QStringLiteral("matching") : QStringLiteral("text"));
    });

    copyKeys_ = new QCheckBox(QStringLiteral("Copy primary keys"), this);
    copyKeys_->setObjectName(QStringLiteral("copyPrimaryKeysCheck"));
    copyKeys_->setToolTip(QStringLiteral("The new table gets the primary key of the source table"));
    copyKeys_->setChecked(stored(kCopyPrimaryKeysSetting) == QLatin1String("1"));
    PlaceTwips(copyKeys_, 4080, kOptionsTop, 3840, kOptionsHeight);
    connect(copyKeys_, &QCheckBox::toggled, this, [&settings](bool on) {
        settings.write(QString::fromLatin1(kCopyPrimaryKeysSetting.key), on ? QStringLiteral("1") : QStringLiteral("0"));
    });
    for (QCheckBox* check : {matchingTypes_, copyKeys_}) {
        check->setFont(FormFont());
        pointer_->watchButton(check);
    }
}

TransferOptions Form2::transferOptions() const
{
    TransferOptions options;
    options.columnTypes = matchingTypes_->isChecked() ? Db2ColumnTypes::Matching : Db2ColumnTypes::Text;
    options.copyPrimaryKeys = copyKeys_->isChecked();
    return options;
}

void Form2::setStatusText(const QString& text)
{
    status_->setText(text);
    status_->setToolTip(text);  // notes can run past the window's width
}

QString Form2::statusText() const
{
    return status_->text();
}

void Form2::setBusy(bool busy)
{
    busy_ = busy;
    for (int number = 1; number <= 12; ++number)
        PushButton[number]->setEnabled(!busy);
    matchingTypes_->setEnabled(!busy);
    copyKeys_->setEnabled(!busy);
    setMousePointer(busy ? kPointerBusy : kPointerDefault);
}

int Form2::mousePointer() const
{
    return pointer_->value();
}

void Form2::setMousePointer(int value)
{
    pointer_->set(value);
}

// Table manager load
void Form2::Form_Load()
{
    HandlerTrap trap(dialogs_, QStringLiteral("Form2.Form_Load"));
    trap.step(100, [&] { ApplyFormColors(this); });
    trap.step(102, [&] { setWindowIcon(QIcon(QStringLiteral(":/tablehop.png"))); });
    const QString cursorFile = ProgramFile(QString::fromLatin1(kHandCursorFile));
    if (trap.test(106, [&] { return FileExists(cursorFile); }))
        trap.step(108, [&] { pointer_->setCustomCursor(LoadHandCursor(cursorFile)); });
    trap.step(110, [&] { setWindowTitle(QString::fromLatin1(kProductName)); });
    // Step 112: the height follows from the bottom row; the layout above sets it.
    trap.step(112, [&] { setFixedHeight(PushButton[2]->geometry().bottom() + 1 + Twips(120)); });
}

// "< Back"
void Form2::PushButton2_Click()
{
    HandlerTrap trap(dialogs_, QStringLiteral("Form2.PushButton2_Click"));
    trap.step(100, [&] { login_.show(); });
    trap.step(102, [&] { hide(); });
}


namespace {

void markAll(UserDialogs& dialogs, const char* handler, TableList& list, bool selected)
{
    HandlerTrap trap(dialogs, QString::fromLatin1(handler));
    int count = 0;
    trap.step(100, [&] { count = list.count(); });
    for (int i = 0; i < count; ++i) {
        trap.step(102, [&] { list.setSelected(i, selected); });
        // 104: next index
    }
}

}  // namespace

// "Select All" (IBM DB2)
void Form2::PushButton8_Click()
{
    markAll(dialogs_, "Form2.PushButton8_Click", *List2_, true);
}

// "Deselect All" (IBM DB2)
void Form2::PushButton9_Click()
{
    markAll(dialogs_, "Form2.PushButton9_Click", *List2_, false);
}

// "Select All" (MySQL)
void Form2::PushButton10_Click()
{
    markAll(dialogs_, "Form2.PushButton10_Click", *List1_, true);
}

// "Deselect All" (MySQL)
void Form2::PushButton11_Click()
{
    markAll(dialogs_, "Form2.PushButton11_Click", *List1_, false);
}

// "Help"
void Form2::PushButton12_Click()
{
    HandlerTrap trap(dialogs_, QStringLiteral("Form2.PushButton12_Click"));
    trap.step(100, [&] {
        dialogs_.message(QString::fromLatin1(help::kTableManagerHelp) + QString::fromLatin1(help::kContactAddress));
    });
}

void Form2::closeEvent(QCloseEvent* event)
{
    Form_Unload();
    event->accept();
}

void Form2::Form_Unload()
{
    login_.endProgram();
}
