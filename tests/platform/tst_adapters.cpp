#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "platform/effectsoundplayer.h"
#include "platform/messageboxprompter.h"
#include "platform/resourcepaths.h"
#include "platform/systemtrayicon.h"

using kestavo::platform::EffectSoundPlayer;
using kestavo::platform::MessageBoxPrompter;
using kestavo::platform::Prompter;
using kestavo::platform::SystemTrayIcon;
using Answer = Prompter::Answer;
using Buttons = Prompter::Buttons;
using Icon = Prompter::Icon;

Q_DECLARE_METATYPE(Answer)
Q_DECLARE_METATYPE(Buttons)
Q_DECLARE_METATYPE(Icon)

namespace {

// What the user saw in the box, and the button of it that was pressed (or Escape when none).
struct SeenBox
{
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    QWidget* parent = nullptr;
    bool enabled = false;
};

// Answers the next message box as soon as it is on screen.
void answerNextBox(SeenBox* seen, QMessageBox::StandardButton press)
{
    auto* poll = new QTimer;
    poll->setInterval(5);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, seen, press] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        poll->stop();
        poll->deleteLater();
        *seen = {box->windowTitle(),     box->text(),         box->icon(),
                 box->standardButtons(), box->parentWidget(), box->isEnabled()};
        if (press == QMessageBox::NoButton)
            QTest::keyClick(box, Qt::Key_Escape);
        else
            box->button(press)->click();
    });
    poll->start();
}

} // namespace

class TestAdapters : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void messageBox_data();
    void messageBox();
    void messageBoxOverItsParent();
    void messageBoxUsableWhileTheMainWindowIsDisabled();
    void soundSource_data();
    void soundSource();
    void missingSoundIsSilent();
    void trayIconWithoutTray();
};

void TestAdapters::messageBox_data()
{
    QTest::addColumn<Buttons>("buttons");
    QTest::addColumn<Icon>("icon");
    QTest::addColumn<int>("press"); // QMessageBox::StandardButton, NoButton for Escape
    QTest::addColumn<QMessageBox::StandardButtons>("shown");
    QTest::addColumn<QMessageBox::Icon>("boxIcon");
    QTest::addColumn<Answer>("answer");

    const QMessageBox::StandardButtons ok = QMessageBox::Ok;
    const QMessageBox::StandardButtons okCancel = QMessageBox::Ok | QMessageBox::Cancel;
    const QMessageBox::StandardButtons yesNo = QMessageBox::Yes | QMessageBox::No;
    QTest::newRow("ok only") << Buttons::Ok << Icon::None << int(QMessageBox::Ok) << ok << QMessageBox::NoIcon
                             << Answer::Ok;
    QTest::newRow("ok only, escape") << Buttons::Ok << Icon::Information << int(QMessageBox::NoButton) << ok
                                     << QMessageBox::Information << Answer::Ok;
    QTest::newRow("critical") << Buttons::Ok << Icon::Critical << int(QMessageBox::Ok) << ok
                              << QMessageBox::Critical << Answer::Ok;
    QTest::newRow("ok of ok/cancel") << Buttons::OkCancel << Icon::Question << int(QMessageBox::Ok)
                                     << okCancel << QMessageBox::Question << Answer::Ok;
    QTest::newRow("cancel") << Buttons::OkCancel << Icon::Question << int(QMessageBox::Cancel) << okCancel
                            << QMessageBox::Question << Answer::Cancel;
    QTest::newRow("ok/cancel, escape") << Buttons::OkCancel << Icon::Warning << int(QMessageBox::NoButton)
                                       << okCancel << QMessageBox::Warning << Answer::Cancel;
    QTest::newRow("yes") << Buttons::YesNo << Icon::Question << int(QMessageBox::Yes) << yesNo
                         << QMessageBox::Question << Answer::Yes;
    QTest::newRow("no") << Buttons::YesNo << Icon::Question << int(QMessageBox::No) << yesNo
                        << QMessageBox::Question << Answer::No;
    QTest::newRow("yes/no, escape") << Buttons::YesNo << Icon::Question << int(QMessageBox::NoButton) << yesNo
                                    << QMessageBox::Question << Answer::No;
}

void TestAdapters::messageBox()
{
    QFETCH(Buttons, buttons);
    QFETCH(Icon, icon);
    QFETCH(int, press);
    QFETCH(QMessageBox::StandardButtons, shown);
    QFETCH(QMessageBox::Icon, boxIcon);
    QFETCH(Answer, answer);

    MessageBoxPrompter prompter;
    SeenBox seen;
    answerNextBox(&seen, QMessageBox::StandardButton(press));
    QCOMPARE(
        prompter.ask(QStringLiteral("Add a route to 10.0.0.5 ?"), QStringLiteral("KSV172"), buttons, icon),
        answer);
    QCOMPARE(seen.text, QStringLiteral("Add a route to 10.0.0.5 ?"));
    QCOMPARE(seen.title, QStringLiteral("KSV172"));
    QCOMPARE(seen.buttons, shown);
    QCOMPARE(seen.icon, boxIcon);
}

void TestAdapters::messageBoxOverItsParent()
{
    QWidget window;
    window.show();
    MessageBoxPrompter prompter;
    prompter.setParentWidget(&window);
    SeenBox seen;
    answerNextBox(&seen, QMessageBox::Ok);
    prompter.inform(QStringLiteral("Aquire Data First!"));
    QCOMPARE(seen.parent, &window);
    QCOMPARE(seen.title, Prompter::appTitle());
    QCOMPARE(seen.icon, QMessageBox::NoIcon);
}

// Dialogs disable the main window while they are open and report their refusals through the
// prompter: a box parented to the disabled window would come up disabled and freeze the console.
void TestAdapters::messageBoxUsableWhileTheMainWindowIsDisabled()
{
    QWidget window;
    window.show();
    QWidget dialog;
    dialog.show();
    window.setEnabled(false);
    MessageBoxPrompter prompter;
    prompter.setParentWidget(&window);
    SeenBox seen;
    answerNextBox(&seen, QMessageBox::Ok);
    prompter.inform(QStringLiteral("Lame IP Address Detected!"));
    QVERIFY(seen.enabled);
    QVERIFY(seen.parent != &window);
}

void TestAdapters::soundSource_data()
{
    QTest::addColumn<QString>("directory");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QUrl>("source");

    QTest::newRow("compiled-in copy") << kestavo::platform::resources::soundsDirectory() << "siren.wav"
                                      << QUrl(QStringLiteral("qrc:/sounds/siren.wav"));
    QTest::newRow("missing file") << kestavo::platform::resources::soundsDirectory() << "alarm.wav" << QUrl();
    QTest::newRow("missing folder") << "/nonexistent/kestavo"
                                    << "siren.wav" << QUrl();
}

void TestAdapters::soundSource()
{
    QFETCH(QString, directory);
    QFETCH(QString, fileName);
    QFETCH(QUrl, source);

    const EffectSoundPlayer player(directory, fileName);
    QCOMPARE(player.fileName(), fileName);
    QCOMPARE(player.source(), source);
}

void TestAdapters::missingSoundIsSilent()
{
    QTemporaryDir dir;
    QFile::copy(kestavo::platform::resources::soundPath(QStringLiteral("burgular2.wav")),
                dir.filePath(QStringLiteral("burgular2.wav")));
    EffectSoundPlayer present(dir.path(), QStringLiteral("burgular2.wav"));
    QCOMPARE(present.source(), QUrl::fromLocalFile(dir.filePath(QStringLiteral("burgular2.wav"))));

    // A missing file never opens the sound device; replaying it repeatedly is harmless.
    EffectSoundPlayer missing(dir.path(), QStringLiteral("siren.wav"));
    missing.replay();
    missing.replay();
    QVERIFY(missing.source().isEmpty());
}

void TestAdapters::trayIconWithoutTray()
{
    // The offscreen platform has no system tray, like a bare X server.
    SystemTrayIcon tray(&kestavo::platform::resources::applicationIcon, QStringLiteral("Kestavo"));
    QVERIFY(!tray.isAvailable());
    int activations = 0;
    tray.setActivationHandler([&activations] { ++activations; });
    tray.show();
    QVERIFY(!tray.isShown());
    tray.remove();
    QVERIFY(!tray.isShown());
    QCOMPARE(activations, 0);
}

QTEST_MAIN(TestAdapters)
#include "tst_adapters.moc"
