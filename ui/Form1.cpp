#include "Form1.h"

#include "ConnectChecks.h"
#include "ConnectionTest.h"
#include "ErrorReport.h"
#include "Form2.h"
#include "FormSupport.h"
#include "HelpTexts.h"
#include "SettingsStore.h"
#include "TableFill.h"
#include "TableList.h"
#include "UserDialogs.h"
#include "WindowHelpers.h"

#include <QCloseEvent>
#include <QFocusEvent>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QProxyStyle>
#include <QPushButton>
#include <QTimer>

namespace {

// Password fields show one "*" per character.
class PasswordStarStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override
    {
        if (hint == SH_LineEdit_PasswordCharacter)
            return '*';
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

// Client area of the login form: 8040 by 6630 twips.
constexpr int kClientWidth = 8040;
constexpr int kClientHeight = 6630;

// Rows inside a login frame: field tops, each field 345 high, labels 255 high.
constexpr int kRowTops[4] = {360, 840, 1320, 1800};
constexpr int kFieldHeight = 345;
constexpr int kLabelHeight = 255;
constexpr int kLabelLeft = 240;
constexpr int kFieldLeft = 1320;

void paintWhite(QWidget* widget)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, Qt::white);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

}  // namespace

Form1::Form1(UserDialogs& dialogs, SettingsStore& settings, QWidget* parent)
    : QWidget(parent), dialogs_(dialogs), settings_(settings)
{
    InitUiResources();
    setObjectName(QStringLiteral("Form1"));
    pointer_ = new WindowPointer(this);
    buildControls();
}

Form1::~Form1() = default;

void Form1::buildControls()
{
    setFont(FormFont());
    setFixedSize(Twips(kClientWidth), Twips(kClientHeight));
    passwordStyle_ = new PasswordStarStyle;
    passwordStyle_->setParent(this);

    static const char* db2Fields[5] = {"Text1", "Text2", "Text3", "Text4", "Text5"};
    static const char* db2Labels[5] = {"Label2", "Label6", "Label1", "Label4", "Label3"};
    static const char* db2Buttons[2] = {"PushButton3", "PushButton5"};
    QLineEdit* db2[5];
    QPushButton* db2Push[2];
    Frame1 = buildLoginFrame("Frame1", QStringLiteral("IBM DB2 Login"), 120, db2, db2Fields, db2Labels, db2Push,
                             db2Buttons);

    static const char* mysqlFields[5] = {"Text6", "Text10", "Text7", "Text8", "Text9"};
    static const char* mysqlLabels[5] = {"Label8", "Label10", "Label9", "Label7", "Label5"};
    static const char* mysqlButtons[2] = {"PushButton1", "PushButton4"};
    QLineEdit* mysql[5];
    QPushButton* mysqlPush[2];
    Frame2 = buildLoginFrame("Frame2", QStringLiteral("MySQL Login"), 3090, mysql, mysqlFields, mysqlLabels,
                             mysqlPush, mysqlButtons);

    Text[1] = db2[0];
    Text[2] = db2[1];
    Text[3] = db2[2];
    Text[4] = db2[3];
    Text[5] = db2[4];
    Text[6] = mysql[0];
    Text[10] = mysql[1];
    Text[7] = mysql[2];
    Text[8] = mysql[3];
    Text[9] = mysql[4];
    PushButton[3] = db2Push[0];
    PushButton[5] = db2Push[1];
    PushButton[1] = mysqlPush[0];
    PushButton[4] = mysqlPush[1];

    PushButton[2] = new QPushButton(QStringLiteral("Next >"), this);
    PushButton[2]->setObjectName(QStringLiteral("PushButton2"));
    PushButton[2]->setFont(ButtonFont());
    PlaceTwips(PushButton[2], 120, 6090, 7800, 405);
    pointer_->watchButton(PushButton[2]);

    // Passwords are masked; every field writes through and selects itself on entry.
    for (int i = 1; i <= 10; ++i) {
        QLineEdit* field = Text[i];
        const QString key = QString::fromLatin1(kLoginSettings[i - 1].key);
        connect(field, &QLineEdit::textChanged, this, [this, field, key] { Field_Change(field, key); });
        field->installEventFilter(this);
        pointer_->watchArea(field);  // Text10 behaves like its nine sister fields
    }
    for (QLineEdit* password : {Text[4], Text[8]}) {
        password->setEchoMode(QLineEdit::Password);
        password->setStyle(passwordStyle_);
    }

    connect(PushButton[1], &QPushButton::clicked, this, &Form1::PushButton1_Click);
    connect(PushButton[2], &QPushButton::clicked, this, &Form1::PushButton2_Click);
    connect(PushButton[3], &QPushButton::clicked, this, &Form1::PushButton3_Click);
    connect(PushButton[4], &QPushButton::clicked, this, &Form1::PushButton4_Click);
    connect(PushButton[5], &QPushButton::clicked, this, &Form1::PushButton5_Click);

    setTabOrder();
    Text[1]->setFocus();
}

QGroupBox* Form1::buildLoginFrame(const char* name, const QString& caption, int top, QLineEdit* fields[5],
                                  const char* fieldNames[5], const char* labelNames[5], QPushButton* buttons[2],
                                  const char* buttonNames[2])
{
    auto* frame = new QGroupBox(caption, this);
    frame->setObjectName(QString::fromLatin1(name));
    frame->setFont(FormFont(true));
    PlaceTwips(frame, 120, top, 7800, 2865);
    paintWhite(frame);
    pointer_->watchArea(frame);

    static const char* captions[5] = {"Server:", "Port:", "Username:", "Password:", "Database:"};
    // Field placement in the frame: server and port share row 1.
    struct Place {
        int labelLeft, labelWidth, fieldLeft, fieldWidth, row;
    };
    static const Place places[5] = {
        {kLabelLeft, 1050, kFieldLeft, 4575, 0}, {6000, 480, 6480, 1095, 0}, {kLabelLeft, 1050, kFieldLeft, 6255, 1},
        {kLabelLeft, 1050, kFieldLeft, 6255, 2}, {kLabelLeft, 1050, kFieldLeft, 6255, 3},
    };
    for (int i = 0; i < 5; ++i) {
        const Place& p = places[i];
        auto* label = new QLabel(QString::fromLatin1(captions[i]), frame);
        label->setObjectName(QString::fromLatin1(labelNames[i]));
        label->setFont(FormFont(true));
        const int rowTop = kRowTops[p.row];
        PlaceTwips(label, p.labelLeft, rowTop + (kFieldHeight - kLabelHeight) / 2, p.labelWidth, kLabelHeight);
        label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

        auto* field = new QLineEdit(frame);
        field->setObjectName(QString::fromLatin1(fieldNames[i]));
        field->setFont(FormFont(true));
        PlaceTwips(field, p.fieldLeft, rowTop, p.fieldWidth, kFieldHeight);
        label->setBuddy(field);
        fields[i] = field;
    }
    static const char* buttonCaptions[2] = {"Test Connection", "Help"};
    for (int i = 0; i < 2; ++i) {
        auto* button = new QPushButton(QString::fromLatin1(buttonCaptions[i]), frame);
        button->setObjectName(QString::fromLatin1(buttonNames[i]));
        button->setFont(ButtonFont());
        PlaceTwips(button, i == 0 ? 240 : 3960, 2280, 3600, 405);
        pointer_->watchButton(button);
        buttons[i] = button;
    }
    return frame;
}

void Form1::setTabOrder()
{
    // DB2 fields, DB2 buttons, MySQL fields (server, port, user, password,
    // database), MySQL buttons, "Next >".
    QWidget* order[] = {Text[1], Text[2], Text[3],        Text[4],        Text[5],        PushButton[3],
                        PushButton[5], Text[6], Text[10], Text[7],        Text[8],        Text[9],
                        PushButton[1], PushButton[4], PushButton[2]};
    for (size_t i = 0; i + 1 < std::size(order); ++i)
        QWidget::setTabOrder(order[i], order[i + 1]);
}

ConnectionProfile Form1::CurrentMySQLProfile() const
{
    return {Text[6]->text().toStdString(), Text[10]->text().toStdString(), Text[7]->text().toStdString(),
            Text[8]->text().toStdString(), Text[9]->text().toStdString()};
}

ConnectionProfile Form1::CurrentDB2Profile() const
{
    return {Text[1]->text().toStdString(), Text[2]->text().toStdString(), Text[3]->text().toStdString(),
            Text[4]->text().toStdString(), Text[5]->text().toStdString()};
}

int Form1::mousePointer() const
{
    return pointer_->value();
}

void Form1::setMousePointer(int value)
{
    pointer_->set(value);
}

void Form1::startUp()
{
    Form_Load();
    if (!form2_ || !form2_->isVisible())
        show();
}

// Start-up sequence
void Form1::Form_Load()
{
    HandlerTrap trap(dialogs_, QStringLiteral("Form1.Form_Load"));
    trap.step(100, [&] { ApplySkin(this); });
    trap.step(104, [&] {
        setWindowTitle(QString::fromLatin1(kProductName));
        setWindowIcon(QIcon(QStringLiteral(":/tablehop.png")));
        SetApplicationTitle();
    });
    const QString cursorFile = ProgramFile(QString::fromLatin1(kHandCursorFile));
    if (trap.test(124, [&] { return FileExists(cursorFile); }))
        trap.step(126, [&] { pointer_->setCustomCursor(LoadHandCursor(cursorFile)); });

    // Steps 128 to 146: the ten fields from the store, in the store's key order;
    // each fill writes back through the field's change handler.
    // The store's key order is the field order: Text1 to Text10.
    for (int i = 0; i < 10; ++i) {
        const SettingKey& setting = kLoginSettings[i];
        trap.step(128 + 2 * i, [&] {
            Text[i + 1]->setText(
                settings_.read(QString::fromLatin1(setting.key), QString::fromLatin1(setting.defaultValue)));
        });
    }
    if (!trap.test(148, [&] { return CanConnectDB2(CurrentDB2Profile()); }))
        return;
    if (!trap.test(150, [&] { return CanConnectMySQL(CurrentMySQLProfile()); }))
        return;
    trap.step(152, [&] { PushButton2_Click(); });
}

// "Next >"
void Form1::PushButton2_Click()
{
    HandlerTrap trap(dialogs_, QStringLiteral("Form1.PushButton2_Click"));
    trap.step(100, [&] { setMousePointer(kPointerBusy); });
    if (trap.test(102, [&] { return CanConnectDB2(CurrentDB2Profile()); })
        && trap.test(104, [&] { return CanConnectMySQL(CurrentMySQLProfile()); })) {
        Form2& manager = ensureTableManager();
        trap.step(106, [&] { FillMySQLList(*manager.List1(), CurrentMySQLProfile(), dialogs_); });
        trap.step(108, [&] { FillDB2List(*manager.List2(), CurrentDB2Profile(), dialogs_); });
        trap.step(110, [&] { manager.show(); });
        trap.step(112, [&] { hide(); });
    }
    trap.step(114, [&] { setMousePointer(kPointerDefault); });
}

Form2& Form1::ensureTableManager()
{
    if (!form2_) {
        form2_ = std::make_unique<Form2>(*this, dialogs_);
        form2_->Form_Load();
    }
    return *form2_;
}

// "Test Connection" (MySQL)
void Form1::PushButton1_Click()
{
    RunConnectionTest(DatabaseSide::MySQL, [this] { return CurrentMySQLProfile(); }, dialogs_,
                      [this](int value) { setMousePointer(value); });
}

// "Test Connection" (IBM DB2)
void Form1::PushButton3_Click()
{
    RunConnectionTest(DatabaseSide::DB2, [this] { return CurrentDB2Profile(); }, dialogs_,
                      [this](int value) { setMousePointer(value); });
}

// "Help" (MySQL)
void Form1::PushButton4_Click()
{
    HandlerTrap trap(dialogs_, QStringLiteral("Form1.PushButton4_Click"));
    QString separator;
    QString opening, address, paragraph1, paragraph2, paragraph3;
    trap.step(100, [&] { separator = QLatin1Char('\r'); });
    trap.step(102, [&] { separator += QLatin1Char('\r'); });
    trap.step(104, [&] { opening = QString::fromLatin1(help::kMySQLOpening) + separator; });
    trap.step(106, [&] { address = QString::fromLatin1(help::kMySQLGuiToolsAddress) + separator; });
    trap.step(108, [&] { paragraph1 = QString::fromLatin1(help::kMySQLParagraph1); });
    trap.step(110, [&] { paragraph2 = QString::fromLatin1(help::kMySQLParagraph2); });
    trap.step(112, [&] { paragraph3 = QString::fromLatin1(help::kMySQLParagraph3); });
    trap.step(114, [&] {
        dialogs_.message(opening + address + paragraph1 + paragraph2 + paragraph3 + separator
                         + QString::fromLatin1(help::kMySQLClosing));
    });
}

// "Help" (IBM DB2)
void Form1::PushButton5_Click()
{
    HandlerTrap trap(dialogs_, QStringLiteral("Form1.PushButton5_Click"));
    QString separator;
    QString lines[10];
    trap.step(100, [&] { separator = QLatin1Char('\r'); });
    trap.step(102, [&] { separator += QLatin1Char('\r'); });
    for (int i = 0; i < 10; ++i)
        trap.step(104 + 2 * i, [&] { lines[i] = QString::fromLatin1(help::kDB2Lines[i]) + separator; });
    trap.step(124, [&] {
        QString text;
        for (const QString& line : lines)
            text += line;
        dialogs_.message(text);
    });
}

void Form1::Field_Change(QLineEdit* field, const QString& key)
{
    settings_.write(key, field->text());
}

void Form1::Field_GotFocus(QLineEdit* field)
{
    field->setSelection(0, static_cast<int>(field->text().size()));
}

bool Form1::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusIn) {
        if (auto* field = qobject_cast<QLineEdit*>(watched)) {
            Field_GotFocus(field);
            // A click places the caret after the focus arrives: select again once it has.
            if (static_cast<QFocusEvent*>(event)->reason() == Qt::MouseFocusReason)
                QTimer::singleShot(0, field, [this, field] { Field_GotFocus(field); });
        }
    }
    return QWidget::eventFilter(watched, event);
}

void Form1::closeEvent(QCloseEvent* event)
{
    Form_Unload();
    event->accept();
}

void Form1::Form_Unload()
{
    endProgram();
}

void Form1::endProgram()
{
    if (ending_)
        return;
    ending_ = true;
    if (form2_)
        form2_->hide();
    hide();
    emit programEnd();
}
