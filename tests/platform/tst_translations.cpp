#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QTest>

#include "platform/translations.h"

using kestavo::platform::Translations;

class TestTranslations : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void loaderFollowsTheLocale_data();
    void loaderFollowsTheLocale();
    void catalogueFoundBesideTheExecutable();
};

void TestTranslations::loaderFollowsTheLocale_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("language");

    QTest::newRow("German") << "de_DE"
                            << "de_DE";
    QTest::newRow("Austrian German takes the German catalogue") << "de_AT"
                                                                << "de_DE";
    QTest::newRow("English: the texts as written") << "en_US" << QString();
    QTest::newRow("no catalogue for French") << "fr_FR" << QString();
    QTest::newRow("C locale") << "C" << QString();
}

void TestTranslations::loaderFollowsTheLocale()
{
    QFETCH(QString, locale);
    QFETCH(QString, language);
    const QString probe = QStringLiteral("&Trends");
    const QString context = QStringLiteral("kestavo::core::MainForm");
    {
        const Translations translations(QLocale(locale), QStringLiteral(KESTAVO_CATALOGUE_DIR));
        QCOMPARE(translations.consoleLanguage(), language);
        const QString shown = QCoreApplication::translate(qPrintable(context), qPrintable(probe));
        if (language.isEmpty())
            QCOMPARE(shown, probe);
        else
            QCOMPARE(shown, QStringLiteral("&Verläufe"));
    }
    // Gone with the object: the texts are as written again.
    QCOMPARE(QCoreApplication::translate(qPrintable(context), qPrintable(probe)), probe);
}

void TestTranslations::catalogueFoundBesideTheExecutable()
{
    // The build tree's layout: the console's folder holds translations/kestavo_de.qm.
    const QString catalogues = QStringLiteral(KESTAVO_CATALOGUE_DIR);
    QCOMPARE(Translations::catalogueDirectory(QFileInfo(catalogues).path()), QDir(catalogues).absolutePath());
    QVERIFY(QFileInfo::exists(catalogues + QStringLiteral("/kestavo_de.qm")));
}

QTEST_GUILESS_MAIN(TestTranslations)
#include "tst_translations.moc"
