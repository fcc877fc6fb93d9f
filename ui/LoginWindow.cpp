#include "LoginWindow.h"

#include "ActionState.h"
#include "ConnectionTest.h"
#include "ErrorReport.h"
#include "FormSupport.h"
#include "HelpTexts.h"
#include "KeyboardAccess.h"
#include "ObjectNames.h"
#include "OffGuiThread.h"
#include "ReportLocations.h"
#include "SettingsStore.h"
#include "UserDialogs.h"
#include "WindowHelpers.h"
#include "Workspace.h"

#include <QCheckBox>
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

// Rows inside a login frame: field tops 480 apart from 360, each field 345
// high, labels 255 high. The four login rows, then the connection options:
// DB2 schema, "Use an encrypted connection", the CA file; MySQL the same
// without the schema, and the client certificate and key on one row.
constexpr int kRowTops[4] = {360, 840, 1320, 1800};
constexpr int kRowPitch = 480;
constexpr int kDB2Rows = 7;
constexpr int kMySQLRows = 7;
constexpr int RowTop(int row) { return kRowTops[0] + row * kRowPitch; }
constexpr int kFieldHeight = 345;
constexpr int kLabelHeight = 255;
constexpr int kLabelLeft = 240;
constexpr int kFieldLeft = 1320;
constexpr int kLabelWidth = 1050;
constexpr int kWideFieldWidth = 6255;

// The two login frames, one above the other, and the buttons.
constexpr int kFrameLeft = 120;
constexpr int kFrameWidth = 7800;
constexpr int kButtonHeight = 405;
constexpr int FrameButtonTop(int rows) { return RowTop(rows); }  // inside a frame
constexpr int FrameHeight(int rows) { return FrameButtonTop(rows) + kButtonHeight + 180; }
constexpr int kDB2FrameTop = 120;
constexpr int kMySQLFrameTop = kDB2FrameTop + FrameHeight(kDB2Rows) + 105;
constexpr int kKeyringBoxTop = kMySQLFrameTop + FrameHeight(kMySQLRows) + 75;
constexpr int kNextButtonTop = kKeyringBoxTop + kFieldHeight + 75;
constexpr int kFrameButtonWidth = 3600;
// The option rows' labels are longer: their fields start further right.
constexpr int kOptionLabelWidth = 1920;
constexpr int kOptionFieldLeft = kLabelLeft + kOptionLabelWidth + 60;
constexpr int kFieldRight = kFieldLeft + kWideFieldWidth;

// Client area of the login form: 8040 twips wide, as high as the frames need.
constexpr int kClientWidth = 8040;
constexpr int kClientHeight = kNextButtonTop + kButtonHeight + 135;
constexpr int kTestButtonLeft = 240;
constexpr int kHelpButtonLeft = 3960;

void paintWhite(QWidget* widget)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, Qt::white);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

}  // namespace

LoginWindow::LoginWindow(WindowHost& host, QWidget* parent) : QWidget(parent), host_(host), dialogs_(host.dialogs())
{
    InitUiResources();
    setObjectName(QString::fromLatin1(object_name::kLoginWindow));
    pointer_ = new WindowPointer(this);
    buildControls();
}

LoginWindow::~LoginWindow() = default;

void LoginWindow::buildControls()
{
    setFont(FormFont());
    setFixedSize(Twips(kClientWidth), Twips(kClientHeight));
    passwordStyle_ = new PasswordStarStyle;
    passwordStyle_->setParent(this);

    static const char* const db2FieldNames[5] = {"Text1", "Text2", "Text3", "Text4", "Text5"};
    static const char* const db2LabelNames[5] = {"Label2", "Label6", "Label1", "Label4", "Label3"};
    db2Frame_ = buildLoginFrame(object_name::kDB2LoginFrame, QStringLiteral("IBM DB2 Login"), kDB2FrameTop, db2Fields_,
                                db2FieldNames, db2LabelNames, testDB2Button_, object_name::kTestDB2Connection,
                                db2HelpButton_, object_name::kDB2Help);

    static const char* const mysqlFieldNames[5] = {"Text6", "Text10", "Text7", "Text8", "Text9"};
    static const char* const mysqlLabelNames[5] = {"Label8", "Label10", "Label9", "Label7", "Label5"};
    mysqlFrame_ = buildLoginFrame(object_name::kMySQLLoginFrame, QStringLiteral("MySQL Login"), kMySQLFrameTop,
                                  mysqlFields_, mysqlFieldNames, mysqlLabelNames, testMySQLButton_,
                                  object_name::kTestMySQLConnection, mysqlHelpButton_, object_name::kMySQLHelp);

    keyringBox_ = new QCheckBox(QStringLiteral("Keep passwords in the system keyring"), this);
    keyringBox_->setObjectName(QString::fromLatin1(kPasswordsInKeyringSetting.key));
    keyringBox_->setFont(FormFont(true));
    PlaceTwips(keyringBox_, kFrameLeft + kLabelLeft, kKeyringBoxTop, kFrameWidth - kLabelLeft, kFieldHeight);
    connect(keyringBox_, &QCheckBox::toggled, this, &LoginWindow::keepPasswordsInKeyring);
    pointer_->watchArea(keyringBox_);

    nextButton_ = new QPushButton(QStringLiteral("Next >"), this);
    nextButton_->setObjectName(QString::fromLatin1(object_name::kNext));
    nextButton_->setFont(ButtonFont());
    PlaceTwips(nextButton_, kFrameLeft, kNextButtonTop, kFrameWidth, kButtonHeight);
    pointer_->watchButton(nextButton_);

    // Passwords are masked; every field writes through and selects itself on entry.
    const auto fields = fieldsInSettingsOrder();
    for (size_t i = 0; i < fields.size(); ++i) {
        QLineEdit* field = fields[i];
        const QString key = QString::fromLatin1(kLoginSettings[i].key);
        connect(field, &QLineEdit::textChanged, this, [this, field, key] { writeFieldToSettings(field, key); });
        field->installEventFilter(this);
        pointer_->watchArea(field);  // the MySQL port field behaves like its nine sister fields
    }
    for (QLineEdit* password : {db2Fields_.password, mysqlFields_.password}) {
        password->setEchoMode(QLineEdit::Password);
        password->setStyle(passwordStyle_);
    }

    connectOptionsToSettings(DatabaseSide::DB2, db2Fields_);
    connectOptionsToSettings(DatabaseSide::MySQL, mysqlFields_);

    connect(testMySQLButton_, &QPushButton::clicked, this, &LoginWindow::testMySQLConnection);
    connect(nextButton_, &QPushButton::clicked, this, &LoginWindow::openTableManager);
    connect(testDB2Button_, &QPushButton::clicked, this, &LoginWindow::testDB2Connection);
    connect(mysqlHelpButton_, &QPushButton::clicked, this, &LoginWindow::showMySQLHelp);
    connect(db2HelpButton_, &QPushButton::clicked, this, &LoginWindow::showDB2Help);

    setTabOrder();
    db2Fields_.server->setFocus();
    buildKeyboardAccess();
}

// Access keys on the buttons. Enter in a field moves on, as "Next >" is the
// default button; on a focused button Enter presses that button.
void LoginWindow::buildKeyboardAccess()
{
    ApplyAccessKeys(this, kLoginAccessKeys);
    for (QPushButton* button : {testDB2Button_, db2HelpButton_, testMySQLButton_, mysqlHelpButton_})
        button->setAutoDefault(true);
    nextButton_->setDefault(true);
    for (QLineEdit* field : fieldsInSettingsOrder())
        connect(field, &QLineEdit::returnPressed, nextButton_, &QPushButton::click);
}

QGroupBox* LoginWindow::buildLoginFrame(const char* frameName, const QString& caption, int top, ProfileFields& fields,
                                        const char* const fieldNames[5], const char* const labelNames[5],
                                        QPushButton*& testButton, const char* testName, QPushButton*& helpButton,
                                        const char* helpName)
{
    auto* frame = new QGroupBox(caption, this);
    frame->setObjectName(QString::fromLatin1(frameName));
    frame->setFont(FormFont(true));
    const DatabaseSide side = &fields == &db2Fields_ ? DatabaseSide::DB2 : DatabaseSide::MySQL;
    const int rows = side == DatabaseSide::DB2 ? kDB2Rows : kMySQLRows;
    PlaceTwips(frame, kFrameLeft, top, kFrameWidth, FrameHeight(rows));
    paintWhite(frame);
    pointer_->watchArea(frame);

    static const char* captions[5] = {"Server:", "Port:", "Username:", "Password:", "Database:"};
    // Field placement in the frame: server and port share row 1.
    struct Place {
        int labelLeft, labelWidth, fieldLeft, fieldWidth, row;
    };
    static const Place places[5] = {
        {kLabelLeft, kLabelWidth, kFieldLeft, 4575, 0},
        {6000, 480, 6480, 1095, 0},
        {kLabelLeft, kLabelWidth, kFieldLeft, kWideFieldWidth, 1},
        {kLabelLeft, kLabelWidth, kFieldLeft, kWideFieldWidth, 2},
        {kLabelLeft, kLabelWidth, kFieldLeft, kWideFieldWidth, 3},
    };
    QLineEdit** targets[5] = {&fields.server, &fields.port, &fields.user, &fields.password, &fields.database};
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
        *targets[i] = field;
    }
    buildOptionRows(frame, side, 4, fields);
    const auto makeButton = [&](const char* text, const char* name, int left) {
        auto* button = new QPushButton(QString::fromLatin1(text), frame);
        button->setObjectName(QString::fromLatin1(name));
        button->setFont(ButtonFont());
        PlaceTwips(button, left, FrameButtonTop(rows), kFrameButtonWidth, kButtonHeight);
        pointer_->watchButton(button);
        return button;
    };
    testButton = makeButton("Test Connection", testName, kTestButtonLeft);
    helpButton = makeButton("Help", helpName, kHelpButtonLeft);
    return frame;
}

int LoginWindow::buildOptionRows(QGroupBox* frame, DatabaseSide side, int row, ProfileFields& fields)
{
    const int firstRow = row;
    const auto keyOf = [side](ConnectionOption option) {
        for (const ConnectionOptionSetting& setting : kConnectionOptionSettings)
            if (setting.side == side && setting.option == option)
                return QString::fromLatin1(setting.key);
        return QString();
    };
    const auto addLabel = [&](const char* caption, int left, int width, QWidget* buddy) {
        auto* label = new QLabel(QString::fromLatin1(caption), frame);
        label->setFont(FormFont(true));
        PlaceTwips(label, left, RowTop(row) + (kFieldHeight - kLabelHeight) / 2, width, kLabelHeight);
        label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        label->setBuddy(buddy);
    };
    const auto addField = [&](ConnectionOption option, int left, int width, const char* placeholder) {
        auto* field = new QLineEdit(frame);
        field->setObjectName(keyOf(option));
        field->setFont(FormFont(true));
        field->setPlaceholderText(QString::fromLatin1(placeholder));
        PlaceTwips(field, left, RowTop(row), width, kFieldHeight);
        return field;
    };
    if (side == DatabaseSide::DB2) {
        fields.schema = addField(ConnectionOption::Schema, kFieldLeft, kWideFieldWidth, "the login's own when empty");
        addLabel("Schema:", kLabelLeft, kLabelWidth, fields.schema);
        ++row;
    }
    fields.encrypted = new QCheckBox(QStringLiteral("Use an encrypted connection"), frame);
    fields.encrypted->setObjectName(keyOf(ConnectionOption::Encrypted));
    fields.encrypted->setFont(FormFont(true));
    PlaceTwips(fields.encrypted, kLabelLeft, RowTop(row), kFieldRight - kLabelLeft, kFieldHeight);
    ++row;
    fields.caCertificate = addField(ConnectionOption::CaCertificate, kOptionFieldLeft, kFieldRight - kOptionFieldLeft,
                                    "the client's trusted CAs when empty");
    addLabel("CA certificate file:", kLabelLeft, kOptionLabelWidth, fields.caCertificate);
    ++row;
    if (side == DatabaseSide::MySQL) {
        constexpr int kKeyLabelWidth = 420, kGap = 90;
        const int certificateWidth = (kFieldRight - kOptionFieldLeft - kKeyLabelWidth - 2 * kGap) / 2;
        fields.clientCertificate
            = addField(ConnectionOption::ClientCertificate, kOptionFieldLeft, certificateWidth, "if the server asks");
        addLabel("Client certificate:", kLabelLeft, kOptionLabelWidth, fields.clientCertificate);
        const int keyLabelLeft = kOptionFieldLeft + certificateWidth + kGap;
        const int keyLeft = keyLabelLeft + kKeyLabelWidth + kGap;
        fields.clientKey = addField(ConnectionOption::ClientKey, keyLeft, kFieldRight - keyLeft, "");
        addLabel("Key:", keyLabelLeft, kKeyLabelWidth, fields.clientKey);
        ++row;
    }
    // The certificate files count only with encryption: shown, but not editable without it.
    const auto enableFiles = [fields](bool on) {
        for (QLineEdit* file : {fields.caCertificate, fields.clientCertificate, fields.clientKey})
            if (file)
                file->setEnabled(on);
    };
    connect(fields.encrypted, &QCheckBox::toggled, this, enableFiles);
    enableFiles(false);
    return row - firstRow;
}

void LoginWindow::connectOptionsToSettings(DatabaseSide side, ProfileFields& fields)
{
    for (const ConnectionOptionSetting& setting : kConnectionOptionSettings) {
        if (setting.side != side)
            continue;
        const QString key = QString::fromLatin1(setting.key);
        if (setting.option == ConnectionOption::Encrypted) {
            connect(fields.encrypted, &QCheckBox::toggled, this,
                    [this, key](bool on) { settings().write(key, on ? QStringLiteral("1") : QStringLiteral("0")); });
            pointer_->watchArea(fields.encrypted);
            continue;
        }
        QLineEdit* field = setting.option == ConnectionOption::Schema ? fields.schema
            : setting.option == ConnectionOption::CaCertificate       ? fields.caCertificate
            : setting.option == ConnectionOption::ClientCertificate   ? fields.clientCertificate
                                                                      : fields.clientKey;
        connect(field, &QLineEdit::textChanged, this, [this, field, key] { writeFieldToSettings(field, key); });
        connect(field, &QLineEdit::returnPressed, nextButton_, &QPushButton::click);
        field->installEventFilter(this);
        pointer_->watchArea(field);
    }
}

void LoginWindow::keepPasswordsInKeyring(bool on)
{
    settings().setPasswordsInKeyring(on);
    tellKeyringProblem();
}

void LoginWindow::tellKeyringProblem()
{
    if (const auto problem = settings().takeKeyringProblem())
        dialogs_.message(QStringLiteral("The system keyring could not be used (%1). The passwords are kept in the "
                                        "settings file %2, readable by you only, as before.")
                             .arg(*problem, settings().fileName()));
}

void LoginWindow::fillOptionsFromSettings()
{
    // A password still in the file moves into the keyring now.
    keyringBox_->setChecked(settings().passwordsInKeyring());
    settings().movePasswordsToKeyring();
    tellKeyringProblem();
    for (auto [side, fields] : {std::pair(DatabaseSide::DB2, &db2Fields_), std::pair(DatabaseSide::MySQL, &mysqlFields_)}) {
        ConnectionProfile stored;
        ReadConnectionOptions(settings(), side, stored);
        if (fields->schema)
            fields->schema->setText(QString::fromStdString(stored.schema));
        fields->encrypted->setChecked(stored.encrypted);
        fields->caCertificate->setText(QString::fromStdString(stored.caCertificate));
        if (fields->clientCertificate) {
            fields->clientCertificate->setText(QString::fromStdString(stored.clientCertificate));
            fields->clientKey->setText(QString::fromStdString(stored.clientKey));
        }
    }
}

void LoginWindow::setTabOrder()
{
    // DB2 fields, DB2 buttons, MySQL fields (server, port, user, password,
    // database), MySQL buttons, "Next >".
    // Each side's connection options follow its database field.
    QWidget* order[] = {db2Fields_.server,
                        db2Fields_.port,
                        db2Fields_.user,
                        db2Fields_.password,
                        db2Fields_.database,
                        db2Fields_.schema,
                        db2Fields_.encrypted,
                        db2Fields_.caCertificate,
                        testDB2Button_,
                        db2HelpButton_,
                        mysqlFields_.server,
                        mysqlFields_.port,
                        mysqlFields_.user,
                        mysqlFields_.password,
                        mysqlFields_.database,
                        mysqlFields_.encrypted,
                        mysqlFields_.caCertificate,
                        mysqlFields_.clientCertificate,
                        mysqlFields_.clientKey,
                        testMySQLButton_,
                        mysqlHelpButton_,
                        keyringBox_,
                        nextButton_};
    for (size_t i = 0; i + 1 < std::size(order); ++i)
        QWidget::setTabOrder(order[i], order[i + 1]);
}

std::array<QLineEdit*, 10> LoginWindow::fieldsInSettingsOrder() const
{
    return {db2Fields_.server,   db2Fields_.port,   db2Fields_.user,       db2Fields_.password,   db2Fields_.database,
            mysqlFields_.server, mysqlFields_.user, mysqlFields_.password, mysqlFields_.database, mysqlFields_.port};
}

ConnectionProfile LoginWindow::profileOf(const ProfileFields& fields)
{
    ConnectionProfile profile {fields.server->text().toStdString(), fields.port->text().toStdString(),
                               fields.user->text().toStdString(), fields.password->text().toStdString(),
                               fields.database->text().toStdString()};
    const auto textOf = [](const QLineEdit* field) { return field ? field->text().toStdString() : std::string(); };
    profile.schema = textOf(fields.schema);
    profile.encrypted = fields.encrypted->isChecked();
    profile.caCertificate = textOf(fields.caCertificate);
    profile.clientCertificate = textOf(fields.clientCertificate);
    profile.clientKey = textOf(fields.clientKey);
    return profile;
}

ConnectionProfile LoginWindow::currentMySQLProfile() const { return profileOf(mysqlFields_); }

ConnectionProfile LoginWindow::currentDB2Profile() const { return profileOf(db2Fields_); }

ConnectionProfile LoginWindow::currentProfile(DatabaseSide side) const
{
    return side == DatabaseSide::MySQL ? currentMySQLProfile() : currentDB2Profile();
}

bool LoginWindow::loginWorks(DatabaseSide side) const
{
    const Workspace& workspace = host_.workspace();
    return OffGuiThread([&] { return !workspace.testLogin(side); });
}

int LoginWindow::mousePointer() const { return MousePointerValue(pointer_->pointer()); }

void LoginWindow::setPointer(Pointer pointer) { pointer_->set(pointer); }

void LoginWindow::setBusy(bool busy)
{
    for (QPushButton* button : {testDB2Button_, db2HelpButton_, testMySQLButton_, mysqlHelpButton_, nextButton_})
        button->setEnabled(!busy);
    host_.actions().setRunning(busy);
}

void LoginWindow::runStartUpSequence()
{
    HandlerTrap trap(dialogs_, QString::fromLatin1(report_location::kStartUp));
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
    const auto fields = fieldsInSettingsOrder();
    for (size_t i = 0; i < fields.size(); ++i) {
        const SettingKey& setting = kLoginSettings[i];
        trap.step(128 + 2 * static_cast<int>(i), [&] { fields[i]->setText(settings().read(setting)); });
    }
    // Step 147: the connection options below the fields (schema, encryption).
    trap.step(147, [&] { fillOptionsFromSettings(); });
    if (!trap.test(148, [&] { return loginWorks(DatabaseSide::DB2); }))
        return;
    if (!trap.test(150, [&] { return loginWorks(DatabaseSide::MySQL); }))
        return;
    trap.step(152, [&] { openTableManager(); });
}

void LoginWindow::openTableManager()
{
    // The lists fill with a yield per name: a second click meanwhile must not
    // start a second fill inside the first.
    if (host_.actions().running())
        return;
    setBusy(true);
    HandlerTrap trap(dialogs_, QString::fromLatin1(report_location::kOpenTableManager));
    trap.step(100, [&] { setPointer(Pointer::Busy); });
    if (trap.test(102, [&] { return loginWorks(DatabaseSide::DB2); })
        && trap.test(104, [&] { return loginWorks(DatabaseSide::MySQL); })) {
        trap.step(106, [&] { host_.fillTableList(DatabaseSide::MySQL); });
        trap.step(108, [&] { host_.fillTableList(DatabaseSide::DB2); });
        if (!host_.actions().endsWhenIdle()) {  // the window was closed while the lists filled
            trap.step(110, [&] { host_.showTableManager(); });
            trap.step(112, [&] { hide(); });
        }
    }
    trap.step(114, [&] { setPointer(Pointer::Default); });
    setBusy(false);
}

void LoginWindow::testMySQLConnection() { testConnection(DatabaseSide::MySQL); }

void LoginWindow::testDB2Connection() { testConnection(DatabaseSide::DB2); }

void LoginWindow::testConnection(DatabaseSide side)
{
    if (host_.actions().running())
        return;
    setBusy(true);
    const LoginFault fault = RunConnectionTest(
        side, [this]() -> const Workspace& { return host_.workspace(); }, dialogs_,
        [this](Pointer pointer) { setPointer(pointer); });
    setBusy(false);
    // The field the failure points at takes the focus, its text selected.
    const ProfileFields& fields = side == DatabaseSide::MySQL ? mysqlFields_ : db2Fields_;
    QLineEdit* wrong = nullptr;
    switch (fault) {
    case LoginFault::UserOrPassword: wrong = fields.password; break;
    case LoginFault::ServerName: wrong = fields.server; break;
    case LoginFault::Port: wrong = fields.port; break;
    case LoginFault::Database: wrong = fields.database; break;
    case LoginFault::Unknown: break;
    }
    if (wrong) {
        wrong->setFocus(Qt::OtherFocusReason);
        wrong->selectAll();
    }
}

void LoginWindow::showMySQLHelp()
{
    HandlerTrap trap(dialogs_, QString::fromLatin1(report_location::kMySQLHelp));
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

void LoginWindow::showDB2Help()
{
    HandlerTrap trap(dialogs_, QString::fromLatin1(report_location::kDB2Help));
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

void LoginWindow::writeFieldToSettings(QLineEdit* field, const QString& key) { settings().write(key, field->text()); }

void LoginWindow::selectWholeText(QLineEdit* field) { field->setSelection(0, static_cast<int>(field->text().size())); }

bool LoginWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusIn) {
        if (auto* field = qobject_cast<QLineEdit*>(watched)) {
            selectWholeText(field);
            // A click places the caret after the focus arrives: select again once it has.
            if (static_cast<QFocusEvent*>(event)->reason() == Qt::MouseFocusReason)
                QTimer::singleShot(0, field, [this, field] { selectWholeText(field); });
        }
    }
    return QWidget::eventFilter(watched, event);
}

void LoginWindow::closeEvent(QCloseEvent* event)
{
    if (host_.actions().closeIfIdle()) {
        event->accept();
        return;
    }
    // The action in hand ends first; the program ends right after it.
    host_.actions().endWhenIdle();
    event->ignore();
}
