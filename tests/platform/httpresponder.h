#pragma once

#include <QHash>
#include <QTcpServer>

/// A tiny HTTP/1.0 server on 127.0.0.1 for browser tests: answers each path with a fixed page and
/// records the paths asked for. Paths it does not know get 404; "/hang" is never answered.
class HttpResponder final : public QTcpServer
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(HttpResponder)

public:
    struct Page
    {
        int status = 200;
        QByteArray contentType = "text/html; charset=utf-8";
        QByteArray body;
    };

    HttpResponder();

    void setPage(const QString& path, const Page& page) { m_pages.insert(path, page); }
    QUrl url(const QString& path) const;
    const QStringList& requests() const { return m_requests; }

private:
    void answer(QTcpSocket* socket);

    QHash<QString, Page> m_pages;
    QStringList m_requests;
};
