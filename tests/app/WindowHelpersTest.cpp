#include "WindowSkin.h"
#include "WindowHelpers.h"

#include <QCheckBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <QtTest>

class WindowHelpersTest : public QObject {
    Q_OBJECT
private slots:
    void cutTitle_data();
    void cutTitle();
    void fileExists();
    void skinAbsentLeavesFormAlone();
    void skinPresentRecoloursAndAppliesInOrder();
    void formColoursOnlyStaticControls();

private:
    static QWidget* makeForm();
};

void WindowHelpersTest::cutTitle_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("title");
    QTest::newRow("product name loses its last word") << "Tablehop Dual Server Table Copy & Move Software"
                                                      << "Tablehop Dual Server Table Copy & Move";
    QTest::newRow("a name that fits still loses its last word") << "Short name"
                                                                << "Short";
    // 60 characters; each cut removes one short word until 40 or fewer remain.
    QTest::newRow("words go one at a time") << "Alpha Beta Gamma Delta Epsilon Zeta Eta Theta Iota Kappa Mu"
                                            << "Alpha Beta Gamma Delta Epsilon Zeta Eta";
    QTest::newRow("exactly forty after one cut") << QString(40, 'x') + " tail" << QString(40, 'x');
}

void WindowHelpersTest::cutTitle()
{
    QFETCH(QString, name);
    QFETCH(QString, title);
    QCOMPARE(CutTitle(name), title);
    QVERIFY(CutTitle(name).size() <= 40);
}

void WindowHelpersTest::fileExists()
{
    QTemporaryDir dir;
    QFile file(dir.filePath("HAND-M.CUR"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("x");
    file.close();
    QVERIFY(FileExists(dir.filePath("HAND-M.CUR")));
    QVERIFY(!FileExists(dir.filePath("missing.cur")));
    QVERIFY(!FileExists(dir.filePath("no-such-folder/HAND-M.CUR")));
    QVERIFY(!FileExists(QString()));
    SetApplicationTitle();
    QCOMPARE(ApplicationTitle(), QStringLiteral("Tablehop Dual Server Table Copy & Move"));
}

QWidget* WindowHelpersTest::makeForm()
{
    auto* form = new QWidget;
    auto* layout = new QVBoxLayout(form);
    auto* frame = new QGroupBox(QStringLiteral("IBM DB2 Login"), form);
    layout->addWidget(frame);
    auto* frameLayout = new QVBoxLayout(frame);
    auto* label = new QLabel(QStringLiteral("Server:"), frame);
    label->setObjectName("Label2");
    frameLayout->addWidget(label);
    auto* text = new QLineEdit(frame);
    text->setObjectName("Text1");
    frameLayout->addWidget(text);
    auto* check = new QCheckBox(form);
    check->setObjectName("Check1");
    layout->addWidget(check);
    auto* button = new QPushButton(QStringLiteral("Next >"), form);
    button->setObjectName("PushButton2");
    layout->addWidget(button);
    // Designed colours: white behind frames and labels, yellow text field.
    for (QWidget* w : {static_cast<QWidget*>(frame), static_cast<QWidget*>(label), static_cast<QWidget*>(check)}) {
        QPalette p = w->palette();
        p.setColor(w->backgroundRole(), Qt::white);
        w->setPalette(p);
    }
    QPalette p = text->palette();
    p.setColor(QPalette::Base, Qt::yellow);
    text->setPalette(p);
    return form;
}

void WindowHelpersTest::skinAbsentLeavesFormAlone()
{
    QTemporaryDir programFolder;
    std::unique_ptr<QWidget> form(makeForm());
    QVERIFY(!ApplySkin(form.get(), programFolder.path()));
    QCOMPARE(form->findChild<QLabel*>("Label2")->palette().color(QPalette::Window), QColor(Qt::white));
    QVERIFY(!form->findChild<WindowSkin*>());
    QVERIFY(form->styleSheet().isEmpty());
}

void WindowHelpersTest::skinPresentRecoloursAndAppliesInOrder()
{
    QTemporaryDir programFolder;
    QVERIFY(QDir(programFolder.path()).mkdir("x"));
    QFile skin(programFolder.filePath("x/o.cjs"));
    QVERIFY(skin.open(QIODevice::WriteOnly));
    skin.write("QGroupBox { font-weight: bold; }");
    skin.close();

    std::unique_ptr<QWidget> form(makeForm());
    WindowSkin* component = WindowSkin::of(form.get());
    component->setOptions(6);
    QVERIFY(ApplySkin(form.get(), programFolder.path()));
    const QColor buttonFace = QApplication::palette().color(QPalette::Button);
    QCOMPARE(form->findChild<QLabel*>("Label2")->palette().color(QPalette::Window), buttonFace);
    QCOMPARE(form->findChild<QGroupBox*>()->palette().color(QPalette::Window), buttonFace);
    QCOMPARE(form->findChild<QLineEdit*>("Text1")->palette().color(QPalette::Base), QColor(Qt::yellow));
    QCOMPARE(component->calls(),
             QStringList({"options", "loadSkin", "options", "applyFrames", "applyDialogs", "applyWindow"}));
    QCOMPARE(component->options(), 7);
    QCOMPARE(form->styleSheet(), QStringLiteral("QGroupBox { font-weight: bold; }"));
}

void WindowHelpersTest::formColoursOnlyStaticControls()
{
    std::unique_ptr<QWidget> form(makeForm());
    ApplyFormColors(form.get());
    const QColor buttonFace = QApplication::palette().color(QPalette::Button);
    QCOMPARE(form->palette().color(QPalette::Window), buttonFace);
    QCOMPARE(form->findChild<QCheckBox*>("Check1")->palette().color(QPalette::Window), buttonFace);
    QCOMPARE(form->findChild<QLineEdit*>("Text1")->palette().color(QPalette::Base), QColor(Qt::yellow));
}

QTEST_MAIN(WindowHelpersTest)
#include "WindowHelpersTest.moc"
