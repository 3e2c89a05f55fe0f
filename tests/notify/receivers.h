#pragma once

// Real receivers on 127.0.0.1 for the notification tests: a small HTTP server that records each
// request and answers 200 (or never, for a hung route), and the Debian aiosmtpd SMTP server
// started as a process.

#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QTcpServer>

class HttpReceiver final : public QTcpServer
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(HttpReceiver)

public:
    struct Request
    {
        QByteArray path;
        QList<QByteArray> headers;
        QByteArray body;
        QByteArray header(const QByteArray& name) const;
    };

    /// `answer` false: accept and read, never reply (a route that hangs).
    explicit HttpReceiver(bool answer = true, quint16 port = 0);
    QString url(const QString& path = QStringLiteral("/hook")) const;
    const QList<Request>& requests() const { return m_requests; }

private:
    void read(QTcpSocket* socket);

    bool m_answer;
    QList<Request> m_requests;
};

class SmtpServer final
{
    Q_DISABLE_COPY_MOVE(SmtpServer)

public:
    SmtpServer();
    ~SmtpServer();
    /// False when python3-aiosmtpd is missing or the server did not come up. `tls`: extra
    /// arguments (--tlscert/--tlskey for STARTTLS, --smtpscert/--smtpskey for SMTPS).
    bool start(const QStringList& tls = {});
    quint16 port() const { return m_port; }
    /// What the server printed of the messages it received (the Debugging handler's output).
    QByteArray received();

private:
    QProcess m_process;
    QByteArray m_output;
    quint16 m_port = 0;
};

/// A loopback port free at the time of asking.
quint16 freeTcpPort();
