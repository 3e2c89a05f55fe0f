#include "platform/translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>

#include "platform/resourcepaths.h"

namespace kestavo::platform {

Translations::Translations(const QLocale& locale, const QString& catalogueDirectory)
{
    // load() walks the locale's UI languages (de-AT, de, ...) and takes the first catalogue found.
    if (m_console.load(locale, QStringLiteral("kestavo"), QStringLiteral("_"), catalogueDirectory))
        m_consoleInstalled = QCoreApplication::installTranslator(&m_console);
    // Qt's texts only beside a translated console: a German "Ja" under English messages would
    // be worse than English throughout.
    if (m_consoleInstalled && m_qt.load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                                        QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        m_qtInstalled = QCoreApplication::installTranslator(&m_qt);
}

Translations::~Translations()
{
    if (m_qtInstalled)
        QCoreApplication::removeTranslator(&m_qt);
    if (m_consoleInstalled)
        QCoreApplication::removeTranslator(&m_console);
}

QString Translations::consoleLanguage() const
{
    return m_consoleInstalled ? m_console.language() : QString();
}

QString Translations::catalogueDirectory(const QString& applicationDir)
{
    const QString folder = QStringLiteral("translations");
    return resources::runtimeDirectoryHolding(applicationDir, folder) + QLatin1Char('/') + folder;
}

} // namespace kestavo::platform
