#include <QTest>

#include "support/fakeprompter.h"
#include "support/fakesoundplayer.h"
#include "support/fakesystemcommands.h"
#include "support/faketrayicon.h"
#include "support/fakewebview.h"

using kestavo::platform::Prompter;
using kestavo::testsupport::FakePrompter;
using kestavo::testsupport::FakeSystemCommands;
using kestavo::testsupport::FakeTrayIcon;
using kestavo::testsupport::FakeWebView;
using Answer = Prompter::Answer;
using Buttons = Prompter::Buttons;
using Icon = Prompter::Icon;

Q_DECLARE_METATYPE(Answer)
Q_DECLARE_METATYPE(Buttons)
Q_DECLARE_METATYPE(FakePrompter::DefaultReply)

class TestSupport : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void promptAnswers_data();
    void promptAnswers();
    void promptsAreRecordedInOrder();
    void clearForgetsCallsAndScript();
    void commandsAreRecordedNotRun();
    void commandsCanFail();
    void trayIcon_data();
    void trayIcon();
    void webViewRecordsAndFires();
};

void TestSupport::promptAnswers_data()
{
    QTest::addColumn<FakePrompter::DefaultReply>("defaultReply");
    QTest::addColumn<QList<Answer>>("script");
    QTest::addColumn<QList<Buttons>>("boxes");
    QTest::addColumn<QList<Answer>>("answers");

    using Reply = FakePrompter::DefaultReply;
    const QList<Buttons> allKinds{Buttons::Ok, Buttons::OkCancel, Buttons::YesNo};
    QTest::newRow("accept by default")
        << Reply::Accept << QList<Answer>{} << allKinds << QList<Answer>{Answer::Ok, Answer::Ok, Answer::Yes};
    QTest::newRow("decline by default") << Reply::Decline << QList<Answer>{} << allKinds
                                        << QList<Answer>{Answer::Ok, Answer::Cancel, Answer::No};
    QTest::newRow("script first, then the default")
        << Reply::Accept << QList<Answer>{Answer::Cancel, Answer::No}
        << QList<Buttons>{Buttons::OkCancel, Buttons::YesNo, Buttons::YesNo}
        << QList<Answer>{Answer::Cancel, Answer::No, Answer::Yes};
    QTest::newRow("counterparts: Yes for OK/Cancel, Cancel for Yes/No")
        << Reply::Accept << QList<Answer>{Answer::Yes, Answer::Cancel}
        << QList<Buttons>{Buttons::OkCancel, Buttons::YesNo} << QList<Answer>{Answer::Ok, Answer::No};
    QTest::newRow("an OK-only box uses up a scripted answer")
        << Reply::Accept << QList<Answer>{Answer::Cancel, Answer::No}
        << QList<Buttons>{Buttons::Ok, Buttons::YesNo} << QList<Answer>{Answer::Ok, Answer::No};
}

void TestSupport::promptAnswers()
{
    QFETCH(FakePrompter::DefaultReply, defaultReply);
    QFETCH(QList<Answer>, script);
    QFETCH(QList<Buttons>, boxes);
    QFETCH(QList<Answer>, answers);

    FakePrompter prompter;
    prompter.setDefaultReply(defaultReply);
    for (Answer answer : script)
        prompter.queueAnswer(answer);
    QList<Answer> given;
    for (Buttons buttons : boxes)
        given << prompter.ask(QStringLiteral("?"), QStringLiteral("KSV172"), buttons, Icon::Question);
    QCOMPARE(given, answers);
    QCOMPARE(prompter.pendingAnswers(), 0);
}

void TestSupport::promptsAreRecordedInOrder()
{
    FakePrompter prompter;
    QVERIFY(prompter.lastText().isEmpty());
    prompter.inform(QStringLiteral("Aquire Data First!"));
    QVERIFY(prompter.confirmOkCancel(QStringLiteral("Add a route to 10.0.0.5 ?"), QStringLiteral("KSV172")));
    prompter.critical(QStringLiteral("Bad Password!"), QStringLiteral("Lameness Detected!"));

    QCOMPARE(prompter.calls().size(), 3);
    QCOMPARE(prompter.calls().at(0), (FakePrompter::Call{QStringLiteral("Aquire Data First!"),
                                                         QStringLiteral("KSV172"), Buttons::Ok, Icon::None}));
    QCOMPARE(prompter.calls().at(1).buttons, Buttons::OkCancel);
    QCOMPARE(prompter.lastCall(),
             (FakePrompter::Call{QStringLiteral("Bad Password!"), QStringLiteral("Lameness Detected!"),
                                 Buttons::Ok, Icon::Critical}));
    QCOMPARE(prompter.lastText(), QStringLiteral("Bad Password!"));
    QCOMPARE(prompter.texts(),
             (QStringList{QStringLiteral("Aquire Data First!"), QStringLiteral("Add a route to 10.0.0.5 ?"),
                          QStringLiteral("Bad Password!")}));
}

void TestSupport::clearForgetsCallsAndScript()
{
    FakePrompter prompter;
    prompter.queueAnswer(Answer::No);
    prompter.inform(QStringLiteral("one"));
    prompter.queueAnswer(Answer::No);
    prompter.clear();
    QVERIFY(prompter.calls().isEmpty());
    QVERIFY(prompter.lastText().isEmpty());
    QVERIFY(prompter.confirmYesNo(QStringLiteral("two"), QStringLiteral("KSV172")));
}

void TestSupport::commandsAreRecordedNotRun()
{
    FakeSystemCommands commands; // the console's original command lines
    QString error;
    QVERIFY(commands.run(commands.addRouteCommand(QStringLiteral("10.0.0.5"), QStringLiteral("10.0.0.1")),
                         &error));
    QVERIFY(commands.run(commands.pingCommand(QStringLiteral("10.0.0.5")), &error));
    QVERIFY(error.isEmpty());
    QCOMPARE(commands.commandLines(),
             (QStringList{QStringLiteral("route add 10.0.0.5 mask 255.255.255.255 10.0.0.1"),
                          QStringLiteral("ping 10.0.0.5 -t")}));
    QVERIFY(commands.ran().at(1).visible);

    FakeSystemCommands onLinux(FakeSystemCommands::Flavour::Linux);
    onLinux.setInterfaceLookup([](const QString&) { return QStringLiteral("eth1"); });
    onLinux.run(onLinux.addRouteCommand(QStringLiteral("10.0.0.5"), QStringLiteral("10.0.0.1")), nullptr);
    QCOMPARE(onLinux.commandLines(),
             QStringList{QStringLiteral("ip route add 10.0.0.5/32 dev eth1 src 10.0.0.1")});
    onLinux.clear();
    QVERIFY(onLinux.ran().isEmpty());
}

void TestSupport::commandsCanFail()
{
    FakeSystemCommands commands;
    commands.failWith(QStringLiteral("No rights."));
    QString error;
    QVERIFY(!commands.run(commands.arpDeleteCommand(QStringLiteral("10.0.0.5")), &error));
    QCOMPARE(error, QStringLiteral("No rights."));
    QCOMPARE(commands.commandLines(), QStringList{QStringLiteral("arp -d 10.0.0.5")});
    commands.failWith(QString());
    QVERIFY(commands.run(commands.arpDeleteCommand(QStringLiteral("10.0.0.5")), nullptr));
}

void TestSupport::trayIcon_data()
{
    QTest::addColumn<bool>("available");
    QTest::newRow("desktop with a tray") << true;
    QTest::newRow("no tray") << false;
}

void TestSupport::trayIcon()
{
    QFETCH(bool, available);

    FakeTrayIcon tray;
    tray.setAvailable(available);
    int activations = 0;
    tray.setActivationHandler([&activations] { ++activations; });
    tray.activate(); // not shown yet: nothing to click
    QCOMPARE(activations, 0);
    tray.show();
    QCOMPARE(tray.isShown(), available);
    tray.activate();
    QCOMPARE(activations, available ? 1 : 0);
    tray.remove();
    QVERIFY(!tray.isShown());
    QCOMPARE(tray.showCalls(), 1);
    QCOMPARE(tray.removeCalls(), 1);
}

void TestSupport::webViewRecordsAndFires()
{
    FakeWebView view;
    QVERIFY(view.widget());
    int navigations = 0;
    int downloads = 0;
    view.setNavigationCompleteHandler([&] { ++navigations; });
    view.setDownloadCompleteHandler([&] { ++downloads; });

    view.navigate(QUrl(QStringLiteral("http://127.0.0.1/")));
    view.back();
    view.forward();
    view.reload();
    view.stop();
    QCOMPARE(view.calls(),
             (QStringList{QStringLiteral("navigate http://127.0.0.1/"), QStringLiteral("back"),
                          QStringLiteral("forward"), QStringLiteral("reload"), QStringLiteral("stop")}));
    QVERIFY(view.locationUrl().isEmpty()); // only the test moves the view

    view.setBusy(true);
    view.completeNavigation(QUrl(QStringLiteral("http://127.0.0.1/")), QStringLiteral("KSV Status"));
    QVERIFY(!view.isBusy());
    QCOMPARE(view.locationName(), QStringLiteral("KSV Status"));
    QCOMPARE(navigations, 1);
    view.fireDownloadComplete();
    QCOMPARE(downloads, 1);
}

QTEST_MAIN(TestSupport)
#include "tst_testsupport.moc"
