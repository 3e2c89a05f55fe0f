#include "httpresponder.h"

#include <QTcpSocket>
#include <QUrl>

HttpResponder::HttpResponder()
{
    listen(QHostAddress::LocalHost, 0);
    connect(this, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = nextPendingConnection()) {
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { answer(socket); });
        }
    });
}

QUrl HttpResponder::url(const QString& path) const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(serverPort()).arg(path));
}

void HttpResponder::answer(QTcpSocket* socket)
{
    if (socket->property("answered").toBool())
        return;
    QByteArray request = socket->property("request").toByteArray() + socket->readAll();
    socket->setProperty("request", request);
    if (!request.contains("\r\n\r\n"))
        return;
    socket->setProperty("answered", true);

    const QList<QByteArray> requestLine = request.left(request.indexOf("\r\n")).split(' ');
    const QString path = requestLine.size() > 1 ? QString::fromLatin1(requestLine.at(1)) : QString();
    m_requests << path;
    if (path == QLatin1String("/hang"))
        return;

    const Page page = m_pages.value(path, Page{404, "text/html", "<html><body>Not here</body></html>"});
    QByteArray response =
        "HTTP/1.0 " + QByteArray::number(page.status) + (page.status == 200 ? " OK" : " Error");
    response += "\r\nContent-Type: " + page.contentType;
    response += "\r\nContent-Length: " + QByteArray::number(page.body.size());
    response += "\r\nConnection: close\r\n\r\n" + page.body;
    socket->write(response);
    socket->disconnectFromHost();
}
