#include <memory>

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QTabWidget>
#include <QTest>

#include "stations/stationstore.h"

#include "gui/main/mainform.h"
#include "gui/options/optionsdialog.h"
#include "gui/options/optionsdialogs.h"
#include "support/consolefixture.h"

using namespace kestavo;
using testsupport::ConsoleFixture;

namespace {

// Main-window wiring of each input: its "?" button, numeric box, gauge and title label.
struct Wiring
{
    const char* optionsButton;
    const char* box;
    const char* bar;
    const char* title;
};
const Wiring kWiring[8] = {
    {"Command9", "Text16", "Picture8", "Label15"}, {"Command14", "Text17", "Picture9", "Label14"},
    {"Command16", "Text2", "Picture2", "Label2"},  {"Command17", "Text3", "Picture3", "Label3"},
    {"Command18", "Text4", "Picture4", "Label4"},  {"Command19", "Text5", "Picture5", "Label5"},
    {"Command20", "Text6", "Picture6", "Label6"},  {"Command21", "Text7", "Picture7", "Label7"},
};

QString qs(const char* text)
{
    return QString::fromLatin1(text);
}

// A real main window on the test console with the options dialog registered; a second station
// is selected so writes must land on the selected record, not on the first one.
struct Console
{
    Console()
    {
        options::registerOptionsDialogs(f.dialogs);
        QVERIFY(f.store.add(qs("127.0.0.2"), qs("other"), qs("Pump house")));
        form = std::make_unique<core::MainForm>(f.context, f.dialogs);
        form->loadStations();
        selectSecond();
    }
    ~Console() { core::MainForm::unloadAllForms(form.get()); }

    void selectSecond()
    {
        form->selectStation(f.store.entryAt(1));
        QCOMPARE(f.store.position(), 1);
    }

    // Writes columns of the selected station and shows them as a station selection would.
    void setRecord(const QVariantMap& values)
    {
        QVERIFY(f.store.writeCurrent(values));
        selectSecond();
    }

    QVariantMap record(int position) const
    {
        QVariantMap values;
        for (const QString& column : f.store.tableColumns())
            values.insert(column, f.store.valueAt(position, column));
        return values;
    }

    // Presses input N's "?" on the main window, as a user opens the dialog.
    options::OptionsDialog* open(int input)
    {
        auto* button = form->findChild<QPushButton*>(qs(kWiring[input - 1].optionsButton));
        if (!button)
            return nullptr;
        button->click();
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* d = qobject_cast<options::OptionsDialog*>(w); d && d->isVisible())
                return dialog = d;
        }
        return nullptr;
    }

    template <typename T> T* child(const char* name) const
    {
        return dialog ? dialog->findChild<T*>(qs(name)) : nullptr;
    }
    QWidget* mainChild(const char* name) const { return form->findChild<QWidget*>(qs(name)); }
    QString title(int input) const { return form->findChild<QLabel*>(qs(kWiring[input - 1].title))->text(); }
    void click(const char* name)
    {
        auto* b = dialog->findChild<QAbstractButton*>(qs(name));
        QVERIFY2(b, name);
        QTest::mouseClick(b, Qt::LeftButton);
    }
    void showPage(const QString& tab)
    {
        auto* tabs = child<QTabWidget>("TabStrip1");
        for (int i = 0; i < tabs->count(); ++i) {
            if (tabs->tabText(i) == tab)
                tabs->setCurrentIndex(i);
        }
    }

    ConsoleFixture f;
    std::unique_ptr<core::MainForm> form;
    QPointer<options::OptionsDialog> dialog;
};

} // namespace

class TestOptionsDialog : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void tabsFollowTheInput_data();
    void tabsFollowTheInput();
    void opensWithTheStoredSettings_data();
    void opensWithTheStoredSettings();
    void applySavesIntoTheSelectedRecord_data();
    void applySavesIntoTheSelectedRecord();
    void captionBoxFollowsTheTick_data();
    void captionBoxFollowsTheTick();
    void captionOnApply_data();
    void captionOnApply();
    void viewAppliesAtOnce_data();
    void viewAppliesAtOnce();
    void notesReadBackOnReopening_data();
    void notesReadBackOnReopening();
    void leavingWithoutApplyKeepsEverything_data();
    void leavingWithoutApplyKeepsEverything();
    void refusedWriteIsShown();
    void factoryChoosesTheInput_data();
    void factoryChoosesTheInput();
};

void TestOptionsDialog::tabsFollowTheInput_data()
{
    QTest::addColumn<int>("input");
    QTest::addColumn<QStringList>("tabs");
    QTest::addColumn<QString>("jumperQuestion");

    const QStringList two{qs("Notes"), qs("Views")};
    QTest::newRow("input 1 adds JP6")
        << 1 << (two + QStringList{qs("JP6")}) << qs("On the KSV board, Jumper 6 is:");
    QTest::newRow("input 2 adds JP7")
        << 2 << (two + QStringList{qs("JP7")}) << qs("On the KSV board, Jumper 7 is:");
    for (int input = 3; input <= 8; ++input)
        QTest::addRow("input %d has two tabs", input) << input << two << QString();
}

void TestOptionsDialog::tabsFollowTheInput()
{
    QFETCH(int, input);
    QFETCH(QStringList, tabs);
    QFETCH(QString, jumperQuestion);
    Console c;
    QVERIFY(c.open(input));

    QCOMPARE(c.dialog->objectName(), qs("options"));
    QCOMPARE(c.dialog->windowTitle(), QStringLiteral("    Voltage %1 Options").arg(input));
    auto* strip = c.child<QTabWidget>("TabStrip1");
    QVERIFY(strip);
    QStringList shown;
    for (int i = 0; i < strip->count(); ++i)
        shown << strip->tabText(i);
    QCOMPARE(shown, tabs);
    QCOMPARE(strip->currentIndex(), 0);
    QVERIFY(c.child<QWidget>("Frame1")->isVisible());
    QVERIFY(!c.child<QWidget>("Frame2")->isVisible());
    QCOMPARE(c.child<QLabel>("Label1")->text(),
             qs("Enter a brief description of what this voltage represents."));

    auto* question = c.child<QLabel>("Label3");
    QCOMPARE(question != nullptr, !jumperQuestion.isEmpty());
    if (question) {
        QCOMPARE(question->text(), jumperQuestion);
        QCOMPARE(c.child<QRadioButton>("Option3")->text(), qs("Installed, 0 to 30 volt operation."));
        QCOMPARE(c.child<QRadioButton>("Option4")->text(), qs("Not Installed, 0 to 60 volt operation."));
        // A tab click shows its page and hides the others.
        strip->setCurrentIndex(2);
        QVERIFY(c.child<QWidget>("Frame3")->isVisible());
        QVERIFY(!c.child<QWidget>("Frame1")->isVisible());
    }
    // Every page has its own Apply and Exit.
    const QStringList pages = question ? QStringList{qs("Notes"), qs("Views"), qs("Jumper")}
                                       : QStringList{qs("Notes"), qs("Views")};
    for (const QString& page : pages) {
        QVERIFY(c.dialog->findChild<QPushButton*>(qs("Apply") + page));
        QVERIFY(c.dialog->findChild<QPushButton*>(qs("Exit") + page));
    }
    QCOMPARE(int(c.dialog->findChildren<QPushButton*>().size()), 2 * int(pages.size()));
    QVERIFY(!c.form->isEnabled());
}

void TestOptionsDialog::opensWithTheStoredSettings_data()
{
    QTest::addColumn<int>("input");
    QTest::addColumn<QVariantMap>("stored");
    QTest::addColumn<QString>("notes");
    QTest::addColumn<bool>("graphic");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<int>("jumperRemoved"); // -1: no jumper page

    // Decoys in the columns of neighbouring inputs and in the unused VoltageNNotes columns catch a
    // dialog that reads the wrong column.
    QVariantMap decoys{{qs("Voltage2Notes"), qs("unused 2")},   {qs("Voltage3Notes"), qs("unused 3")},
                       {qs("Voltage4Notes"), qs("unused 4")},   {qs("Voltage5Notes"), qs("unused 5")},
                       {qs("Alarm3smtp"), qs("input 3 notes")}, {qs("JP7"), 1}};
    auto with = [&decoys](const QVariantMap& values) {
        QVariantMap all = decoys;
        all.insert(values);
        return all;
    };
    QTest::newRow("input 1, jumper removed, graphic") << 1
                                                      << with({{qs("Voltage1Notes"), qs("Battery bank")},
                                                               {qs("Voltage1View"), 1},
                                                               {qs("JP6"), 1},
                                                               {qs("Label1voltage"), qs("Battery")}})
                                                      << qs("Battery bank") << true << qs("Battery") << 1;
    QTest::newRow("input 2 reads Alarm3Recip")
        << 2
        << with({{qs("Alarm3Recip"), qs("Solar panel")}, {qs("Label2voltage"), qs("Solar")}, {qs("JP7"), 0}})
        << qs("Solar panel") << false << qs("Solar") << 0;
    QTest::newRow("input 4 reads Alarm4Recip")
        << 4 << with({{qs("Alarm4Recip"), qs("Tank level\nsecond line")}, {qs("Voltage4View"), 1}})
        << qs("Tank level\nsecond line") << true << QString() << -1;
    QTest::newRow("input 5 reads Alarm4smtp") << 5 << with({{qs("Alarm4smtp"), qs("Door sensor")}})
                                              << qs("Door sensor") << false << QString() << -1;
    QTest::newRow("input 7 plain, nothing stored") << 7 << with({}) << QString() << false << QString() << -1;
}

void TestOptionsDialog::opensWithTheStoredSettings()
{
    QFETCH(int, input);
    QFETCH(QVariantMap, stored);
    QFETCH(QString, notes);
    QFETCH(bool, graphic);
    QFETCH(QString, caption);
    QFETCH(int, jumperRemoved);
    Console c;
    c.setRecord(stored);
    QVERIFY(c.open(input));

    QCOMPARE(c.child<QPlainTextEdit>("Text1")->toPlainText(), notes);
    QCOMPARE(c.child<QPlainTextEdit>("Text1")->placeholderText(), qs("Quick Notes"));
    QCOMPARE(c.child<QRadioButton>("Option1")->isChecked(), !graphic);
    QCOMPARE(c.child<QRadioButton>("Option2")->isChecked(), graphic);
    QCOMPARE(c.child<QRadioButton>("Option1")->text(), qs("View this Voltage as plain text"));
    QCOMPARE(c.child<QRadioButton>("Option2")->text(), qs("View this Voltage in graphical format"));
    QCOMPARE(c.child<QLineEdit>("Text2")->text(), qs("24.564876"));
    QCOMPARE(c.child<QLineEdit>("Text3")->text(), qs("Graphical"));
    QCOMPARE(c.child<QLineEdit>("Text4")->text(), caption);
    QVERIFY(!c.child<QCheckBox>("Check1")->isChecked());
    QCOMPARE(c.child<QCheckBox>("Check1")->text(), qs("Change the label of this voltage."));
    if (jumperRemoved < 0) {
        QVERIFY(!c.child<QRadioButton>("Option3"));
    } else {
        QCOMPARE(c.child<QRadioButton>("Option3")->isChecked(), jumperRemoved == 0);
        QCOMPARE(c.child<QRadioButton>("Option4")->isChecked(), jumperRemoved == 1);
    }
}

void TestOptionsDialog::applySavesIntoTheSelectedRecord_data()
{
    QTest::addColumn<int>("input");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("graphic");
    QTest::addColumn<QString>("caption");   // null: box left unticked
    QTest::addColumn<int>("jumperRemoved"); // -1: no jumper page
    QTest::addColumn<QVariantMap>("expected");
    QTest::addColumn<int>("writes");

    QTest::newRow("input 1, all four settings") << 1 << qs("Mains") << true << qs("Mains in") << 1
                                                << QVariantMap{{qs("Voltage1Notes"), qs("Mains")},
                                                               {qs("Label1voltage"), qs("Mains in")},
                                                               {qs("Voltage1View"), 1},
                                                               {qs("JP6"), 1}}
                                                << 4;
    QTest::newRow("input 2, jumper back in")
        << 2 << qs("Generator") << false << QString() << 0
        << QVariantMap{{qs("Alarm3Recip"), qs("Generator")}, {qs("Voltage2View"), 0}, {qs("JP7"), 0}} << 3;
    QTest::newRow("input 3 graphical")
        << 3 << qs("Fence") << true << QString() << -1
        << QVariantMap{{qs("Alarm3smtp"), qs("Fence")}, {qs("Voltage3View"), 1}} << 2;
    QTest::newRow("input 5 with caption") << 5 << QString() << false << qs("Door") << -1
                                          << QVariantMap{{qs("Alarm4smtp"), QString()},
                                                         {qs("Label5voltage"), qs("Door")},
                                                         {qs("Voltage5View"), 0}}
                                          << 3;
    QTest::newRow("input 6, caption emptied") << 6 << qs("Probe") << true << qs("") << -1
                                              << QVariantMap{{qs("Voltage6Notes"), qs("Probe")},
                                                             {qs("Label6voltage"), QString()},
                                                             {qs("Voltage6View"), 1}}
                                              << 3;
    QTest::newRow("input 8 plain") << 8 << qs("Light") << false << QString() << -1
                                   << QVariantMap{{qs("Voltage8Notes"), qs("Light")}, {qs("Voltage8View"), 0}}
                                   << 2;
}

void TestOptionsDialog::applySavesIntoTheSelectedRecord()
{
    QFETCH(int, input);
    QFETCH(QString, typed);
    QFETCH(bool, graphic);
    QFETCH(QString, caption);
    QFETCH(int, jumperRemoved);
    QFETCH(QVariantMap, expected);
    QFETCH(int, writes);
    Console c;
    // Start from the opposite of what the row applies, so every setting has to change.
    c.setRecord({{QStringLiteral("Voltage%1View").arg(input), graphic ? 0 : 1},
                 {QStringLiteral("Label%1voltage").arg(input), qs("Before")},
                 {qs("JP6"), jumperRemoved == 1 ? 0 : 1},
                 {qs("JP7"), jumperRemoved == 1 ? 0 : 1}});
    const QVariantMap firstBefore = c.record(0);
    QVariantMap expectedRecord = c.record(1);
    expectedRecord.insert(expected);
    int written = 0;
    QObject::connect(&c.f.store, &stations::StationStore::changed, [&written] { ++written; });

    QVERIFY(c.open(input));
    QTest::keyClicks(c.child<QPlainTextEdit>("Text1"), typed);
    c.showPage(qs("Views"));
    c.click(graphic ? "Option2" : "Option1");
    if (!caption.isNull()) {
        c.click("Check1");
        c.child<QLineEdit>("Text4")->selectAll();
        QTest::keyClick(c.child<QLineEdit>("Text4"), Qt::Key_Delete);
        QTest::keyClicks(c.child<QLineEdit>("Text4"), caption);
    }
    if (jumperRemoved >= 0) {
        c.showPage(input == 1 ? qs("JP6") : qs("JP7"));
        c.click(jumperRemoved == 1 ? "Option4" : "Option3");
    }
    // Any page's Apply does the same; use the one of the page on show.
    c.click(jumperRemoved >= 0 ? "ApplyJumper" : "ApplyViews");

    QCOMPARE(written, writes);
    QVERIFY(c.f.prompter.calls().isEmpty());
    QCOMPARE(c.f.store.position(), 1);
    QCOMPARE(c.record(1), expectedRecord);
    QCOMPARE(c.record(0), firstBefore);
    QVERIFY(c.dialog);
    QVERIFY(c.dialog->isVisible());
    QVERIFY(!c.form->isEnabled());
}

void TestOptionsDialog::captionBoxFollowsTheTick_data()
{
    QTest::addColumn<int>("clicks");
    QTest::addColumn<bool>("skinned"); // the console's default skin is applied
    QTest::addColumn<bool>("editable");
    QTest::newRow("at opening") << 0 << false << false;
    QTest::newRow("ticked") << 1 << false << true;
    QTest::newRow("ticked then unticked") << 2 << false << false;
    QTest::newRow("ticked again") << 3 << false << true;
    QTest::newRow("at opening, skinned") << 0 << true << false;
    QTest::newRow("ticked, skinned") << 1 << true << true;
}

void TestOptionsDialog::captionBoxFollowsTheTick()
{
    QFETCH(int, clicks);
    QFETCH(bool, skinned);
    QFETCH(bool, editable);
    QFile skin(qs(":/skins/Default.qss"));
    QVERIFY(skin.open(QIODevice::ReadOnly));
    qApp->setStyleSheet(skinned ? QString::fromUtf8(skin.readAll()) : QString());
    auto unskin = qScopeGuard([] { qApp->setStyleSheet(QString()); });
    Console c;
    QVERIFY(c.open(3));
    c.showPage(qs("Views"));
    for (int i = 0; i < clicks; ++i)
        c.click("Check1");

    auto* box = c.child<QLineEdit>("Text4");
    QCOMPARE(c.child<QCheckBox>("Check1")->isChecked(), editable);
    QCOMPARE(box->isEnabled(), editable);
    const QColor expected = editable ? QColor(255, 255, 255) : QColor(192, 192, 192);
    QCOMPARE(box->palette().color(QPalette::Active, QPalette::Base), expected);
    QCOMPARE(box->palette().color(QPalette::Disabled, QPalette::Base), expected);
    // What is painted, skin or not (the box is empty, so its middle is background).
    const QImage painted = box->grab().toImage();
    QCOMPARE(QColor(painted.pixel(painted.width() * 3 / 4, painted.height() / 2)), expected);
    if (editable)
        QCOMPARE(c.dialog->focusWidget(), box);
    else
        QVERIFY(c.dialog->focusWidget() != box);
}

void TestOptionsDialog::captionOnApply_data()
{
    QTest::addColumn<int>("input");
    QTest::addColumn<bool>("ticked");
    QTest::addColumn<QString>("expected");

    QTest::newRow("input 4 unticked keeps the old caption") << 4 << false << qs("Tank");
    QTest::newRow("input 4 ticked shows the new caption") << 4 << true << qs("Tank level");
    QTest::newRow("input 1 unticked") << 1 << false << qs("Tank");
    QTest::newRow("input 1 ticked") << 1 << true << qs("Tank level");
}

void TestOptionsDialog::captionOnApply()
{
    QFETCH(int, input);
    QFETCH(bool, ticked);
    QFETCH(QString, expected);
    Console c;
    const QString column = QStringLiteral("Label%1voltage").arg(input);
    const int other = input == 1 ? 2 : 1;
    c.setRecord({{column, qs("Tank")}, {QStringLiteral("Label%1voltage").arg(other), qs("Other input")}});
    QCOMPARE(c.title(input), qs("Tank"));

    QVERIFY(c.open(input));
    c.showPage(qs("Views"));
    c.click("Check1");
    auto* box = c.child<QLineEdit>("Text4");
    box->end(false);
    QTest::keyClicks(box, qs(" level"));
    if (!ticked)
        c.click("Check1"); // typed, then changed their mind
    QCOMPARE(box->text(), qs("Tank level"));
    c.click("ApplyViews");

    QCOMPARE(c.f.store.value(column).toString(), expected);
    QCOMPARE(c.title(input), expected);
    QCOMPARE(c.title(other), qs("Other input"));
}

void TestOptionsDialog::viewAppliesAtOnce_data()
{
    QTest::addColumn<int>("input");
    QTest::addColumn<int>("storedView");
    QTest::addColumn<bool>("graphic");

    QTest::newRow("input 4 to graphical") << 4 << 0 << true;
    QTest::newRow("input 4 back to plain") << 4 << 1 << false;
    QTest::newRow("input 1 to graphical") << 1 << 0 << true;
    QTest::newRow("input 8 to graphical") << 8 << 0 << true;
    QTest::newRow("input 6 stays graphical") << 6 << 1 << true;
}

void TestOptionsDialog::viewAppliesAtOnce()
{
    QFETCH(int, input);
    QFETCH(int, storedView);
    QFETCH(bool, graphic);
    Console c;
    c.setRecord({{QStringLiteral("Voltage%1View").arg(input), storedView}});
    const Wiring& w = kWiring[input - 1];
    QCOMPARE(c.mainChild(w.box)->isVisibleTo(c.form.get()), storedView == 0);
    // A neighbour the user swapped by clicking its box goes back to its stored view with the
    // others, as a station selection would do.
    const Wiring& neighbour = kWiring[input % 8];
    c.form->show();
    QTest::mouseClick(c.mainChild(neighbour.box), Qt::LeftButton);
    QVERIFY(c.mainChild(neighbour.bar)->isVisibleTo(c.form.get()));

    QVERIFY(c.open(input));
    c.showPage(qs("Views"));
    c.click(graphic ? "Option2" : "Option1");
    // Choosing alone changes nothing on the main window.
    QCOMPARE(c.mainChild(w.box)->isVisibleTo(c.form.get()), storedView == 0);
    c.click("ApplyViews");

    QCOMPARE(c.mainChild(w.box)->isVisibleTo(c.form.get()), !graphic);
    QCOMPARE(c.mainChild(w.bar)->isVisibleTo(c.form.get()), graphic);
    QCOMPARE(c.mainChild(neighbour.box)->isVisibleTo(c.form.get()), true);
    QCOMPARE(c.mainChild(neighbour.bar)->isVisibleTo(c.form.get()), false);
    QCOMPARE(c.f.store.value(QStringLiteral("Voltage%1View").arg(input)).toInt(), graphic ? 1 : 0);
}

void TestOptionsDialog::notesReadBackOnReopening_data()
{
    QTest::addColumn<int>("input");
    QTest::addColumn<QString>("column");
    QTest::addColumn<QString>("unused");
    QTest::newRow("input 2 in Alarm3Recip") << 2 << qs("Alarm3Recip") << qs("Voltage2Notes");
    QTest::newRow("input 3 in Alarm3smtp") << 3 << qs("Alarm3smtp") << qs("Voltage3Notes");
    QTest::newRow("input 5 in Alarm4smtp") << 5 << qs("Alarm4smtp") << qs("Voltage5Notes");
    QTest::newRow("input 7 in its own column") << 7 << qs("Voltage7Notes") << qs("Voltage2Notes");
}

void TestOptionsDialog::notesReadBackOnReopening()
{
    QFETCH(int, input);
    QFETCH(QString, column);
    QFETCH(QString, unused);
    Console c;
    QVERIFY(c.open(input));
    QTest::keyClicks(c.child<QPlainTextEdit>("Text1"), qs("Feeds the west pump"));
    c.click("ApplyNotes");
    c.click("ExitNotes");
    QTRY_VERIFY_WITH_TIMEOUT(c.dialog.isNull(), 1000);
    QVERIFY(c.form->isEnabled());
    QCOMPARE(c.f.store.value(column).toString(), qs("Feeds the west pump"));
    QCOMPARE(c.f.store.value(unused).toString(), QString());

    // From the file, not only from memory.
    const QString path = c.f.store.path();
    c.f.store.close();
    QVERIFY(c.f.store.open(path).ok);
    c.selectSecond();
    QVERIFY(c.open(input));
    QCOMPARE(c.child<QPlainTextEdit>("Text1")->toPlainText(), qs("Feeds the west pump"));
    c.click("ExitNotes");
    QTRY_VERIFY_WITH_TIMEOUT(c.dialog.isNull(), 1000);

    // Another input shows its own notes, not these.
    QVERIFY(c.open(input == 8 ? 1 : input + 1));
    QCOMPARE(c.child<QPlainTextEdit>("Text1")->toPlainText(), QString());
}

void TestOptionsDialog::leavingWithoutApplyKeepsEverything_data()
{
    QTest::addColumn<int>("input");
    QTest::addColumn<QString>("how");
    QTest::newRow("Exit on Notes") << 3 << qs("ExitNotes");
    QTest::newRow("Exit on Views") << 4 << qs("ExitViews");
    QTest::newRow("Exit on JP6") << 1 << qs("ExitJumper");
    QTest::newRow("Exit on JP7") << 2 << qs("ExitJumper");
    QTest::newRow("close box") << 2 << qs("close");
    QTest::newRow("Escape") << 6 << qs("Escape");
}

void TestOptionsDialog::leavingWithoutApplyKeepsEverything()
{
    QFETCH(int, input);
    QFETCH(QString, how);
    Console c;
    c.setRecord({{QStringLiteral("Label%1voltage").arg(input), qs("Kept")}});
    const QVariantMap before = c.record(1);
    const Wiring& w = kWiring[input - 1];
    int written = 0;
    QObject::connect(&c.f.store, &stations::StationStore::changed, [&written] { ++written; });

    QVERIFY(c.open(input));
    QTest::keyClicks(c.child<QPlainTextEdit>("Text1"), qs("not kept"));
    c.showPage(qs("Views"));
    c.click("Option2");
    c.click("Check1");
    QTest::keyClicks(c.child<QLineEdit>("Text4"), qs(" changed"));
    if (input <= 2) {
        c.showPage(input == 1 ? qs("JP6") : qs("JP7"));
        c.click("Option4");
    }
    if (how == qs("close"))
        c.dialog->close();
    else if (how == qs("Escape"))
        QTest::keyClick(c.dialog, Qt::Key_Escape);
    else
        c.click(how.toLatin1().constData());

    QTRY_VERIFY_WITH_TIMEOUT(c.dialog.isNull(), 1000);
    QCOMPARE(written, 0);
    QCOMPARE(c.record(1), before);
    QVERIFY(c.form->isEnabled());
    QCOMPARE(c.title(input), qs("Kept"));
    QVERIFY(c.mainChild(w.box)->isVisibleTo(c.form.get()));
    QVERIFY(c.f.prompter.calls().isEmpty());
}

void TestOptionsDialog::refusedWriteIsShown()
{
    Console c;
    QVERIFY(c.open(2));
    QTest::keyClicks(c.child<QPlainTextEdit>("Text1"), qs("cannot be kept"));
    c.f.store.close(); // nothing can be written now
    c.click("ApplyNotes");

    QCOMPARE(c.f.prompter.calls().size(), 1);
    QVERIFY(!c.f.prompter.lastText().isEmpty());
    QVERIFY(c.dialog);
    QVERIFY(c.dialog->isVisible());
    QCOMPARE(c.child<QPlainTextEdit>("Text1")->toPlainText(), qs("cannot be kept"));
    QVERIFY(!c.form->isEnabled());
}

void TestOptionsDialog::factoryChoosesTheInput_data()
{
    QTest::addColumn<int>("stateInput");
    QTest::addColumn<int>("argument");
    QTest::addColumn<int>("opened"); // 0: nothing opens

    QTest::newRow("state wins") << 5 << 2 << 5;
    QTest::newRow("argument when state unset") << 0 << 7 << 7;
    QTest::newRow("neither") << 0 << 0 << 0;
    QTest::newRow("out of range") << 9 << 12 << 0;
}

void TestOptionsDialog::factoryChoosesTheInput()
{
    QFETCH(int, stateInput);
    QFETCH(int, argument);
    QFETCH(int, opened);
    Console c;
    c.f.state.setOptionsInput(stateInput);
    QPointer<QWidget> w = c.f.dialogs.open(core::DialogId::Options, c.f.context, argument);
    auto* dialog = qobject_cast<options::OptionsDialog*>(w.data());
    QCOMPARE(dialog != nullptr, opened != 0);
    if (dialog) {
        QCOMPARE(dialog->input(), opened);
        QCOMPARE(dialog->windowTitle(), QStringLiteral("    Voltage %1 Options").arg(opened));
        QVERIFY(!c.form->isEnabled());
        dialog->close();
        QTRY_VERIFY_WITH_TIMEOUT(w.isNull(), 1000);
    }
    QVERIFY(c.form->isEnabled());
}

QTEST_MAIN(TestOptionsDialog)
#include "tst_optionsdialog.moc"
