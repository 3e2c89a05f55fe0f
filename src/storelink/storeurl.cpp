#include "storelink/storeurl.h"

#include <arpa/inet.h>

#include <QByteArray>
#include <QCoreApplication>
#include <QRegularExpression>
#include <QSet>
#include <QStringList>
#include <QUrl>

namespace kestavo::store {

namespace {

const QStringList& sslModes()
{
    static const QStringList modes = {QStringLiteral("disable"),   QStringLiteral("allow"),
                                      QStringLiteral("prefer"),    QStringLiteral("require"),
                                      QStringLiteral("verify-ca"), QStringLiteral("verify-full")};
    return modes;
}

QString passwordRefusal()
{
    return QCoreApplication::translate(
        "kestavo::store::StoreUrl",
        "A store address never holds a password: give it to libpq instead, in ~/.pgpass, in the "
        "file PGPASSFILE names, or in PGPASSWORD.");
}

// Percent-decoding that refuses what it cannot read back unchanged: a stray '%', an encoded NUL,
// bytes that are not UTF-8.
bool decode(const QString& text, QString* out)
{
    static const QRegularExpression badEscape(QStringLiteral("%(?![0-9A-Fa-f]{2})"));
    if (badEscape.match(text).hasMatch())
        return false;
    const QByteArray bytes = QByteArray::fromPercentEncoding(text.toUtf8());
    if (bytes.contains('\0'))
        return false;
    const QString decoded = QString::fromUtf8(bytes);
    if (decoded.toUtf8() != bytes)
        return false;
    *out = decoded;
    return true;
}

StoreUrlParse fail(const QString& error)
{
    return StoreUrlParse{StoreUrl{}, error};
}

bool isHostName(const QString& host)
{
    static const QRegularExpression name(QStringLiteral(
        "^[A-Za-z0-9]([A-Za-z0-9-]{0,61}[A-Za-z0-9])?(\\.[A-Za-z0-9]([A-Za-z0-9-]{0,61}[A-Za-z0-9])?)*$"));
    return host.size() <= 253 && name.match(host).hasMatch();
}

// libpq's conninfo quoting: single quotes, with backslash and quote escaped.
QString quotedValue(const QString& value)
{
    QString escaped = value;
    escaped.replace(u'\\', QStringLiteral("\\\\"));
    escaped.replace(u'\'', QStringLiteral("\\'"));
    return u'\'' + escaped + u'\'';
}

} // namespace

bool isStoreAddress(const QString& location)
{
    return location.startsWith(QStringLiteral("postgresql://"), Qt::CaseInsensitive) ||
           location.startsWith(QStringLiteral("postgres://"), Qt::CaseInsensitive);
}

StoreUrlParse parseStoreUrl(const QString& text)
{
    const QString example = QStringLiteral("postgresql://USER@HOST[:PORT]/DBNAME");
    if (text.trimmed().isEmpty())
        return fail(QCoreApplication::translate("kestavo::store::StoreUrl",
                                                "The store address is empty; write it as %1.")
                        .arg(example));
    if (text != text.trimmed() || text.contains(QRegularExpression(QStringLiteral("\\s"))))
        return fail(QCoreApplication::translate("kestavo::store::StoreUrl",
                                                "The store address contains a space; write it as %1.")
                        .arg(example));
    QString rest;
    for (const QString& scheme : {QStringLiteral("postgresql://"), QStringLiteral("postgres://")}) {
        if (text.startsWith(scheme, Qt::CaseInsensitive))
            rest = text.mid(scheme.size());
    }
    if (rest.isNull())
        return fail(QCoreApplication::translate("kestavo::store::StoreUrl",
                                                "The store address must start with postgresql:// (%1).")
                        .arg(example));
    if (rest.contains(u'#'))
        return fail(QCoreApplication::translate(
            "kestavo::store::StoreUrl",
            "The store address has a '#' part, which means nothing here; remove it."));

    StoreUrl url;
    const qsizetype slash = rest.indexOf(u'/');
    const qsizetype question = rest.indexOf(u'?');
    if (slash < 0 || (question >= 0 && question < slash))
        return fail(QCoreApplication::translate("kestavo::store::StoreUrl",
                                                "The store address names no database; write it as %1.")
                        .arg(example));
    const QString authority = rest.left(slash);
    const QString pathAndQuery = rest.mid(slash + 1);

    const qsizetype at = authority.lastIndexOf(u'@');
    if (at < 0)
        return fail(QCoreApplication::translate(
                        "kestavo::store::StoreUrl",
                        "The store address names no database login; write it as %1 (the login is also "
                        "who the store records for every change).")
                        .arg(example));
    const QString userInfo = authority.left(at);
    if (userInfo.contains(u':'))
        return fail(passwordRefusal());
    if (userInfo.isEmpty() || !decode(userInfo, &url.user) || url.user.isEmpty())
        return fail(QCoreApplication::translate(
                        "kestavo::store::StoreUrl",
                        "The database login in the store address is empty or badly encoded; write it as "
                        "%1.")
                        .arg(example));

    QString hostPort = authority.mid(at + 1);
    QString portText;
    if (hostPort.startsWith(u'[')) {
        const qsizetype close = hostPort.indexOf(u']');
        if (close < 0)
            return fail(QCoreApplication::translate(
                "kestavo::store::StoreUrl", "The IPv6 address in the store address has no closing ']'."));
        url.host = hostPort.mid(1, close - 1);
        const QString after = hostPort.mid(close + 1);
        if (!after.isEmpty() && !after.startsWith(u':'))
            return fail(QCoreApplication::translate(
                "kestavo::store::StoreUrl",
                "After the IPv6 address in the store address only :PORT may follow."));
        portText = after.mid(1);
        in6_addr address{};
        if (inet_pton(AF_INET6, url.host.toLatin1().constData(), &address) != 1)
            return fail(QCoreApplication::translate("kestavo::store::StoreUrl",
                                                    "\"%1\" in brackets is not an IPv6 address.")
                            .arg(url.host));
        if (after.isEmpty())
            portText.clear();
        else if (portText.isEmpty())
            return fail(QCoreApplication::translate(
                            "kestavo::store::StoreUrl",
                            "The port in the store address is empty; leave out the ':' for port %1.")
                            .arg(kDefaultPostgresPort));
    } else {
        const qsizetype colon = hostPort.indexOf(u':');
        url.host = colon < 0 ? hostPort : hostPort.left(colon);
        if (colon >= 0) {
            portText = hostPort.mid(colon + 1);
            if (portText.isEmpty())
                return fail(QCoreApplication::translate(
                                "kestavo::store::StoreUrl",
                                "The port in the store address is empty; leave out the ':' for port %1.")
                                .arg(kDefaultPostgresPort));
        }
        if (url.host.isEmpty())
            return fail(QCoreApplication::translate("kestavo::store::StoreUrl",
                                                    "The store address names no host; write it as %1.")
                            .arg(example));
        if (url.host.contains(u',') || url.host.contains(u'%'))
            return fail(QCoreApplication::translate(
                            "kestavo::store::StoreUrl",
                            "The store address names one host, without encoding; \"%1\" is not one.")
                            .arg(url.host));
        if (!isHostName(url.host))
            return fail(QCoreApplication::translate("kestavo::store::StoreUrl",
                                                    "\"%1\" is not a host name or address.")
                            .arg(url.host));
    }
    if (!portText.isEmpty()) {
        static const QRegularExpression digits(QStringLiteral("^[0-9]{1,5}$"));
        const int port = portText.toInt();
        if (!digits.match(portText).hasMatch() || port < 1 || port > 65535)
            return fail(QCoreApplication::translate(
                            "kestavo::store::StoreUrl",
                            "The port \"%1\" in the store address is not a number from 1 to 65535.")
                            .arg(portText));
        url.port = port;
    }

    const qsizetype q = pathAndQuery.indexOf(u'?');
    const QString path = q < 0 ? pathAndQuery : pathAndQuery.left(q);
    if (path.isEmpty())
        return fail(QCoreApplication::translate("kestavo::store::StoreUrl",
                                                "The store address names no database; write it as %1.")
                        .arg(example));
    if (path.contains(u'/'))
        return fail(QCoreApplication::translate(
                        "kestavo::store::StoreUrl",
                        "The database name \"%1\" contains a '/'; a store address names one database.")
                        .arg(path));
    if (!decode(path, &url.database) || url.database.isEmpty())
        return fail(QCoreApplication::translate("kestavo::store::StoreUrl",
                                                "The database name in the store address is badly encoded."));

    if (q >= 0) {
        const QString query = pathAndQuery.mid(q + 1);
        if (query.isEmpty())
            return fail(QCoreApplication::translate(
                "kestavo::store::StoreUrl",
                "The store address ends in '?' with no setting after it; remove the '?'."));
        QSet<QString> seen;
        for (const QString& pair : query.split(u'&')) {
            const qsizetype eq = pair.indexOf(u'=');
            const QString key = eq < 0 ? pair : pair.left(eq);
            QString value;
            if (key == u"password")
                return fail(passwordRefusal());
            if (key != u"sslmode" && key != u"sslrootcert")
                return fail(QCoreApplication::translate(
                                "kestavo::store::StoreUrl",
                                "The store address setting \"%1\" is not one this program passes on; "
                                "sslmode and sslrootcert are.")
                                .arg(key));
            if (eq < 0 || !decode(pair.mid(eq + 1), &value) || value.isEmpty())
                return fail(QCoreApplication::translate("kestavo::store::StoreUrl",
                                                        "The store address setting %1 has no value.")
                                .arg(key));
            if (seen.contains(key))
                return fail(QCoreApplication::translate("kestavo::store::StoreUrl",
                                                        "The store address sets %1 twice.")
                                .arg(key));
            seen.insert(key);
            if (key == u"sslmode") {
                if (!sslModes().contains(value))
                    return fail(QCoreApplication::translate("kestavo::store::StoreUrl",
                                                            "sslmode \"%1\" is not one of %2.")
                                    .arg(value, sslModes().join(QStringLiteral(", "))));
                url.sslMode = value;
            } else {
                // Qt hands the connect options to libpq with every ';' made a space.
                if (value.contains(u';'))
                    return fail(QCoreApplication::translate(
                                    "kestavo::store::StoreUrl",
                                    "The sslrootcert path \"%1\" contains a ';', which cannot be passed "
                                    "on; move the certificate to a path without one.")
                                    .arg(value));
                url.sslRootCert = value;
            }
        }
    }
    return StoreUrlParse{url, QString()};
}

QString StoreUrl::toString() const
{
    const auto encoded = [](const QString& text) {
        return QString::fromLatin1(QUrl::toPercentEncoding(text));
    };
    QString text = QStringLiteral("postgresql://") + encoded(user) + u'@' +
                   (host.contains(u':') ? u'[' + host + u']' : host);
    if (port != kDefaultPostgresPort)
        text += u':' + QString::number(port);
    text += u'/' + encoded(database);
    QStringList settings;
    if (!sslMode.isEmpty())
        settings << QStringLiteral("sslmode=") + sslMode;
    if (!sslRootCert.isEmpty())
        settings << QStringLiteral("sslrootcert=") + encoded(sslRootCert);
    if (!settings.isEmpty())
        text += u'?' + settings.join(u'&');
    return text;
}

QString connectOptions(const StoreUrl& url, const QString& applicationName)
{
    // A store that does not answer is reported after this long, not after the system's TCP timeout.
    // Notices ("role is already a member") would reach standard error through libpq untranslated.
    QStringList options{QStringLiteral("connect_timeout=10"),
                        QStringLiteral("options='-c client_min_messages=warning'")};
    if (!applicationName.isEmpty())
        options << QStringLiteral("application_name=") + quotedValue(applicationName);
    if (!url.sslMode.isEmpty())
        options << QStringLiteral("sslmode=") + url.sslMode;
    if (!url.sslRootCert.isEmpty())
        options << QStringLiteral("sslrootcert=") + quotedValue(url.sslRootCert);
    return options.join(u';');
}

} // namespace kestavo::store
