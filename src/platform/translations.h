#pragma once

#include <QLocale>
#include <QString>
#include <QTranslator>

namespace kestavo::platform {

/// The console's catalogue (kestavo_LANG.qm from catalogueDirectory) and Qt's own (standard buttons,
/// file dialogs) for one locale, installed on the application for as long as this object lives.
/// A locale without a catalogue leaves the texts as written, in English.
class Translations final
{
public:
    Translations(const QLocale& locale, const QString& catalogueDirectory);
    ~Translations();
    Translations(const Translations&) = delete;
    Translations& operator=(const Translations&) = delete;

    /// The language of the console's catalogue in use ("de"), empty when none was found.
    QString consoleLanguage() const;

    /// Where the console's catalogues are for an executable in applicationDir: a "translations"
    /// folder beside it (build tree) or in the installed data folder.
    static QString catalogueDirectory(const QString& applicationDir);

private:
    QTranslator m_console;
    QTranslator m_qt;
    bool m_consoleInstalled = false;
    bool m_qtInstalled = false;
};

} // namespace kestavo::platform
