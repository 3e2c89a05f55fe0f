#include "receivers.h"

#include <QDeadlineTimer>
#include <QTcpSocket>
#include <QThread>

quint16 freeTcpPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

QByteArray HttpReceiver::Request::header(const QByteArray& name) const
{
    for (const QByteArray& h : headers)
        if (h.toLower().startsWith(name.toLower() + ':'))
            return h.mid(name.size() + 1).trimmed();
    return {};
}

HttpReceiver::HttpReceiver(bool answer, quint16 port) : m_answer(answer)
{
    listen(QHostAddress::LocalHost, port);
    connect(this, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = nextPendingConnection()) {
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { read(socket); });
        }
    });
}

QString HttpReceiver::url(const QString& path) const
{
    return QStringLiteral("http://127.0.0.1:%1%2").arg(serverPort()).arg(path);
}

void HttpReceiver::read(QTcpSocket* socket)
{
    QByteArray data = socket->property("data").toByteArray() + socket->readAll();
    socket->setProperty("data", data);
    const qsizetype end = data.indexOf("\r\n\r\n");
    if (end < 0 || socket->property("done").toBool())
        return;
    Request request;
    const QList<QByteArray> lines = data.left(end).split('\n');
    request.path = lines.value(0).split(' ').value(1);
    qsizetype length = 0;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        request.headers << lines.at(i).trimmed();
        if (lines.at(i).toLower().startsWith("content-length:"))
            length = lines.at(i).mid(15).trimmed().toLongLong();
    }
    if (data.size() < end + 4 + length)
        return;
    request.body = data.mid(end + 4, length);
    socket->setProperty("done", true);
    m_requests << request;
    if (m_answer) {
        socket->write("HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n\r\nok");
        socket->disconnectFromHost();
    }
}

SmtpServer::SmtpServer() = default;

SmtpServer::~SmtpServer()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

bool SmtpServer::start(const QStringList& tls)
{
    m_port = freeTcpPort();
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    const QStringList arguments{QStringLiteral("-u"),       QStringLiteral("-m"),
                                QStringLiteral("aiosmtpd"), QStringLiteral("-n"),
                                QStringLiteral("-l"),       QStringLiteral("127.0.0.1:%1").arg(m_port)};
    m_process.start(QStringLiteral("/usr/bin/python3"), arguments + tls);
    if (!m_process.waitForStarted(5000))
        return false;
    const QDeadlineTimer deadline(10'000);
    while (!deadline.hasExpired() && m_process.state() == QProcess::Running) {
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, m_port);
        if (probe.waitForConnected(200))
            return true;
        QThread::msleep(50); // the server is starting in another process; nothing to wait on here
    }
    return false;
}

QByteArray SmtpServer::received()
{
    m_output += m_process.readAll();
    return m_output;
}
