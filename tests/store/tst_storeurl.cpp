#include <QTest>

#include "storelink/storeurl.h"

using kestavo::store::StoreUrl;

class TestStoreUrl : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void parses_data();
    void parses();
    void refuses_data();
    void refuses();
    void connectOptionsQuoteForLibpq();
};

void TestStoreUrl::parses_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("database");
    QTest::addColumn<QString>("sslMode");
    QTest::addColumn<QString>("sslRootCert");
    QTest::addColumn<QString>("written"); // toString(), which must read back the same

    QTest::newRow("plain") << "postgresql://anna@db.example.org/kestavo"
                           << "anna"
                           << "db.example.org" << 5432 << "kestavo"
                           << ""
                           << ""
                           << "postgresql://anna@db.example.org/kestavo";
    QTest::newRow("short scheme, default port dropped") << "postgres://anna@127.0.0.1:5432/team"
                                                        << "anna"
                                                        << "127.0.0.1" << 5432 << "team"
                                                        << ""
                                                        << ""
                                                        << "postgresql://anna@127.0.0.1/team";
    QTest::newRow("port and TLS")
        << "postgresql://agent@db2.example.org:6543/fleet?sslmode=verify-full&sslrootcert=/etc/"
           "ssl/team%20ca.pem"
        << "agent"
        << "db2.example.org" << 6543 << "fleet"
        << "verify-full"
        << "/etc/ssl/team ca.pem"
        << "postgresql://agent@db2.example.org:6543/fleet?sslmode=verify-full&sslrootcert=%2Fetc%"
           "2Fssl%2Fteam%20ca.pem";
    QTest::newRow("IPv6") << "postgresql://anna@[::1]:5433/kestavo"
                          << "anna"
                          << "::1" << 5433 << "kestavo"
                          << ""
                          << ""
                          << "postgresql://anna@[::1]:5433/kestavo";
    QTest::newRow("encoded login and database") << "postgresql://ops%40north@db/k%C3%A4stavo"
                                                << "ops@north"
                                                << "db" << 5432 << "k\u00e4stavo"
                                                << ""
                                                << ""
                                                << "postgresql://ops%40north@db/k%C3%A4stavo";
}

void TestStoreUrl::parses()
{
    QFETCH(QString, text);
    const auto parsed = kestavo::store::parseStoreUrl(text);
    QVERIFY2(parsed.ok(), qPrintable(parsed.error));
    QTEST(parsed.url.user, "user");
    QTEST(parsed.url.host, "host");
    QTEST(parsed.url.port, "port");
    QTEST(parsed.url.database, "database");
    QTEST(parsed.url.sslMode, "sslMode");
    QTEST(parsed.url.sslRootCert, "sslRootCert");
    QTEST(parsed.url.toString(), "written");
    const auto again = kestavo::store::parseStoreUrl(parsed.url.toString());
    QVERIFY2(again.ok(), qPrintable(again.error));
    QVERIFY(again.url == parsed.url);
}

void TestStoreUrl::refuses_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("phrase"); // part of the sentence that says what to do

    const QString pgpass = QStringLiteral("~/.pgpass");
    QTest::newRow("password in the login") << "postgresql://anna:secret@db/kestavo" << pgpass;
    QTest::newRow("empty password in the login") << "postgresql://anna:@db/kestavo" << pgpass;
    QTest::newRow("password as a setting") << "postgresql://anna@db/kestavo?password=secret" << pgpass;
    QTest::newRow("empty") << ""
                           << "is empty";
    QTest::newRow("another scheme") << "mysql://anna@db/kestavo"
                                    << "must start with postgresql://";
    QTest::newRow("a file") << "/var/lib/kestavo/history.db"
                            << "must start with postgresql://";
    QTest::newRow("no login") << "postgresql://db/kestavo"
                              << "names no database login";
    QTest::newRow("empty login") << "postgresql://@db/kestavo"
                                 << "login in the store address is empty";
    QTest::newRow("no database") << "postgresql://anna@db"
                                 << "names no database";
    QTest::newRow("empty database") << "postgresql://anna@db/"
                                    << "names no database";
    QTest::newRow("database with a slash") << "postgresql://anna@db/a/b"
                                           << "contains a '/'";
    QTest::newRow("no host") << "postgresql://anna@/kestavo"
                             << "names no host";
    QTest::newRow("two hosts") << "postgresql://anna@db1,db2/kestavo"
                               << "one host";
    QTest::newRow("bad host") << "postgresql://anna@db_1/kestavo"
                              << "is not a host name";
    QTest::newRow("port zero") << "postgresql://anna@db:0/kestavo"
                               << "from 1 to 65535";
    QTest::newRow("port too big") << "postgresql://anna@db:65536/kestavo"
                                  << "from 1 to 65535";
    QTest::newRow("port not a number") << "postgresql://anna@db:pg/kestavo"
                                       << "from 1 to 65535";
    QTest::newRow("empty port") << "postgresql://anna@db:/kestavo"
                                << "port in the store address is empty";
    QTest::newRow("unclosed IPv6") << "postgresql://anna@[::1/kestavo"
                                   << "no closing ']'";
    QTest::newRow("not IPv6 in brackets") << "postgresql://anna@[db]/kestavo"
                                          << "not an IPv6 address";
    QTest::newRow("unknown setting") << "postgresql://anna@db/kestavo?host=other"
                                     << "sslmode and sslrootcert";
    QTest::newRow("bad sslmode") << "postgresql://anna@db/kestavo?sslmode=always"
                                 << "is not one of";
    QTest::newRow("setting twice") << "postgresql://anna@db/kestavo?sslmode=require&sslmode=disable"
                                   << "sets sslmode twice";
    QTest::newRow("setting without value") << "postgresql://anna@db/kestavo?sslrootcert="
                                           << "has no value";
    QTest::newRow("dangling question mark") << "postgresql://anna@db/kestavo?"
                                            << "remove the '?'";
    QTest::newRow("semicolon in certificate path") << "postgresql://anna@db/kestavo?sslrootcert=/a;b.pem"
                                                   << "contains a ';'";
    QTest::newRow("fragment") << "postgresql://anna@db/kestavo#x"
                              << "'#'";
    QTest::newRow("space") << "postgresql://anna@db/kes tavo"
                           << "contains a space";
    QTest::newRow("bad escape") << "postgresql://anna@db/kes%zztavo"
                                << "badly encoded";
    QTest::newRow("encoded NUL") << "postgresql://an%00na@db/kestavo"
                                 << "badly encoded";
}

void TestStoreUrl::refuses()
{
    QFETCH(QString, text);
    QFETCH(QString, phrase);
    const auto parsed = kestavo::store::parseStoreUrl(text);
    QVERIFY(!parsed.ok());
    QVERIFY2(parsed.error.contains(phrase), qPrintable(parsed.error));
    // A refused address never echoes a password back.
    QVERIFY(!parsed.error.contains(QStringLiteral("secret")));
}

void TestStoreUrl::connectOptionsQuoteForLibpq()
{
    StoreUrl url;
    url.sslMode = QStringLiteral("verify-ca");
    url.sslRootCert = QStringLiteral("/etc/it's ca\\x.pem");
    QCOMPARE(kestavo::store::connectOptions(url, QStringLiteral("kestavo-cli")),
             QStringLiteral("connect_timeout=10;options='-c "
                            "client_min_messages=warning';application_name='kestavo-cli';sslmode=verify-ca;"
                            "sslrootcert='/etc/it\\'s ca\\\\x.pem'"));
}

QTEST_GUILESS_MAIN(TestStoreUrl)
#include "tst_storeurl.moc"
