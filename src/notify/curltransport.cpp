#include "notify/curltransport.h"

#include <cstring>
#include <curl/curl.h>
#include <dlfcn.h>

#include <QDateTime>
#include <QFile>
#include <QHostAddress>
#include <QHostInfo>
#include <QUrl>
#include <QUuid>

namespace kestavo::notify {

namespace {

// libcurl is loaded when the first message goes out, not when a program starts: the console would
// otherwise map it with its TLS libraries at every start for routes that may never send. The
// library stays loaded once it is (libcurl keeps global state), and its global set-up runs once.
struct CurlApi
{
    CURL* (*easyInit)() = nullptr;
    CURLcode (*easySetopt)(CURL*, CURLoption, ...) = nullptr;
    CURLcode (*easyPerform)(CURL*) = nullptr;
    CURLcode (*easyGetinfo)(CURL*, CURLINFO, ...) = nullptr;
    void (*easyCleanup)(CURL*) = nullptr;
    const char* (*easyStrerror)(CURLcode) = nullptr;
    CURLcode (*globalInit)(long) = nullptr;
    curl_slist* (*slistAppend)(curl_slist*, const char*) = nullptr;
    void (*slistFreeAll)(curl_slist*) = nullptr;
    QString error; // empty when every function was found
};

template <typename F>
bool resolve(void* library, const char* name, F* out)
{
    *out = reinterpret_cast<F>(::dlsym(library, name));
    return *out != nullptr;
}

const CurlApi& curl()
{
    static const CurlApi api = [] {
        CurlApi a;
        void* library = ::dlopen("libcurl.so.4", RTLD_NOW | RTLD_LOCAL);
        if (!library) {
            a.error = QStringLiteral("libcurl cannot be loaded (%1); install the package libcurl4")
                          .arg(QString::fromLocal8Bit(::dlerror()));
            return a;
        }
        const bool ok = resolve(library, "curl_easy_init", &a.easyInit) &&
                        resolve(library, "curl_easy_setopt", &a.easySetopt) &&
                        resolve(library, "curl_easy_perform", &a.easyPerform) &&
                        resolve(library, "curl_easy_getinfo", &a.easyGetinfo) &&
                        resolve(library, "curl_easy_cleanup", &a.easyCleanup) &&
                        resolve(library, "curl_easy_strerror", &a.easyStrerror) &&
                        resolve(library, "curl_global_init", &a.globalInit) &&
                        resolve(library, "curl_slist_append", &a.slistAppend) &&
                        resolve(library, "curl_slist_free_all", &a.slistFreeAll);
        if (!ok)
            a.error = QStringLiteral("libcurl.so.4 lacks a function this program needs; install libcurl4 7.68 or later");
        else
            a.globalInit(CURL_GLOBAL_DEFAULT);
        return a;
    }();
    return api;
}

struct Easy
{
    CURL* handle = curl().error.isEmpty() ? curl().easyInit() : nullptr;
    curl_slist* list = nullptr;
    curl_slist* recipients = nullptr;
    char error[CURL_ERROR_SIZE] = {};
    ~Easy()
    {
        if (!handle)
            return;
        curl().slistFreeAll(list);
        curl().slistFreeAll(recipients);
        curl().easyCleanup(handle);
    }
};

size_t collect(char* data, size_t size, size_t count, void* user)
{
    auto* body = static_cast<QByteArray*>(user);
    const size_t n = size * count;
    if (body->size() < 512) // enough to say why a server refused; the rest is dropped
        body->append(data, qsizetype(std::min<size_t>(n, 512)));
    return n;
}

struct Upload
{
    QByteArray data;
    qsizetype offset = 0;
};

size_t supply(char* buffer, size_t size, size_t count, void* user)
{
    auto* upload = static_cast<Upload*>(user);
    const size_t n = std::min<size_t>(size * count, size_t(upload->data.size() - upload->offset));
    std::memcpy(buffer, upload->data.constData() + upload->offset, n);
    upload->offset += qsizetype(n);
    return n;
}

int progress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    const auto* cancel = static_cast<const std::atomic<bool>*>(user);
    return cancel && cancel->load() ? 1 : 0;
}

void watch(CURL* c, const std::atomic<bool>* cancel)
{
    curl().easySetopt(c, CURLOPT_NOPROGRESS, 0L);
    curl().easySetopt(c, CURLOPT_XFERINFOFUNCTION, progress);
    curl().easySetopt(c, CURLOPT_XFERINFODATA, cancel);
}

QString failure(CURLcode code, const char* error)
{
    const QString text = QString::fromLocal8Bit(error).trimmed();
    return text.isEmpty() ? QString::fromLatin1(curl().easyStrerror(code)) : text;
}

bool readSecret(const QString& path, QByteArray* secret, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("The file \"%1\" cannot be read (%2).").arg(path, file.errorString());
        return false;
    }
    *secret = file.readAll().trimmed();
    return true;
}

bool isLoopback(const QString& host)
{
    const QHostAddress address(host);
    return host == u"localhost" || (!address.isNull() && address.isLoopback());
}

} // namespace

bool readHeaderFile(const QString& path, QList<QByteArray>* headers, QString* error)
{
    QByteArray text;
    if (!readSecret(path, &text, error))
        return false;
    for (QByteArray line : text.split('\n')) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0 || line.left(colon).contains(' ')) {
            *error =
                QStringLiteral("The header file \"%1\" has a line that is not \"Name: value\".").arg(path);
            return false;
        }
        headers->append(line);
    }
    return true;
}

CurlTransport::CurlTransport() : CurlTransport(Options()) {}

CurlTransport::CurlTransport(const Options& options) : m_options(options) {}

CurlTransport::~CurlTransport() = default;

SendResult CurlTransport::send(const Route& route, const Message& message, const std::atomic<bool>* cancel)
{
    return route.kind == RouteKind::Email ? mail(route, message, cancel) : webhook(route, message, cancel);
}

SendResult CurlTransport::webhook(const Route& route, const Message& message, const std::atomic<bool>* cancel)
{
    const HttpRequest request = webhookRequest(route.preset, message);
    QList<QByteArray> headers = request.headers;
    headers.prepend("Content-Type: " + request.contentType);
    headers.append("Expect:"); // no 100-continue round trip: many receivers never answer it
    QString error;
    if (!route.headerFile.isEmpty() && !readHeaderFile(route.headerFile, &headers, &error))
        return {false, error};

    Easy easy;
    if (!easy.handle)
        return {false, curl().error.isEmpty() ? QStringLiteral("libcurl could not start a transfer.") : curl().error};
    for (const QByteArray& h : headers)
        easy.list = curl().slistAppend(easy.list, h.constData());
    QByteArray reply;
    const QByteArray url = route.target.toUtf8();
    CURL* c = easy.handle;
    curl().easySetopt(c, CURLOPT_URL, url.constData());
    curl().easySetopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
    curl().easySetopt(c, CURLOPT_NOSIGNAL, 1L);
    curl().easySetopt(c, CURLOPT_HTTPHEADER, easy.list);
    curl().easySetopt(c, CURLOPT_POSTFIELDSIZE, long(request.body.size()));
    curl().easySetopt(c, CURLOPT_COPYPOSTFIELDS, request.body.constData());
    curl().easySetopt(c, CURLOPT_USERAGENT, "Kestavo");
    curl().easySetopt(c, CURLOPT_CONNECTTIMEOUT_MS, long(m_options.connectTimeoutMs));
    curl().easySetopt(c, CURLOPT_TIMEOUT_MS, long(m_options.timeoutMs));
    curl().easySetopt(c, CURLOPT_WRITEFUNCTION, collect);
    curl().easySetopt(c, CURLOPT_WRITEDATA, &reply);
    curl().easySetopt(c, CURLOPT_ERRORBUFFER, easy.error);
    const QByteArray ca = m_options.caFile.toLocal8Bit();
    if (!ca.isEmpty())
        curl().easySetopt(c, CURLOPT_CAINFO, ca.constData());
    watch(c, cancel);
    const CURLcode code = curl().easyPerform(c);
    if (code != CURLE_OK)
        return {false, failure(code, easy.error)};
    long status = 0;
    curl().easyGetinfo(c, CURLINFO_RESPONSE_CODE, &status);
    const QString detail = QStringLiteral("HTTP %1").arg(status);
    if (status >= 200 && status < 300)
        return {true, detail};
    const QString said = QString::fromUtf8(reply).simplified().left(200);
    return {false, said.isEmpty() ? detail : detail + QStringLiteral(": ") + said};
}

SendResult CurlTransport::mail(const Route& route, const Message& message, const std::atomic<bool>* cancel)
{
    const QUrl server(route.smtp);
    QByteArray password;
    QString error;
    if (!route.passwordFile.isEmpty() && !readSecret(route.passwordFile, &password, &error))
        return {false, error};
    const QString host = QHostInfo::localHostName();
    const QString from = route.from.isEmpty() ? QStringLiteral("kestavo@%1").arg(host) : route.from;
    const qint64 now = m_options.clock ? m_options.clock() : QDateTime::currentMSecsSinceEpoch();
    Upload upload{mailText(message, from, route.target, now,
                           QUuid::createUuid().toString(QUuid::WithoutBraces) + u'@' + host),
                  0};

    Easy easy;
    if (!easy.handle)
        return {false, curl().error.isEmpty() ? QStringLiteral("libcurl could not start a transfer.") : curl().error};
    CURL* c = easy.handle;
    const QByteArray url =
        QStringLiteral("%1://%2:%3").arg(server.scheme(), server.host()).arg(server.port()).toUtf8();
    const QByteArray mailFrom = u'<' + from.toUtf8() + u'>';
    const QByteArray rcpt = u'<' + route.target.toUtf8() + u'>';
    easy.recipients = curl().slistAppend(nullptr, rcpt.constData());
    curl().easySetopt(c, CURLOPT_URL, url.constData());
    curl().easySetopt(c, CURLOPT_PROTOCOLS_STR, "smtp,smtps");
    curl().easySetopt(c, CURLOPT_NOSIGNAL, 1L);
    // smtp:// must upgrade with STARTTLS, so a password or an alarm never crosses a network in
    // the clear; only a relay on this machine may speak plain SMTP.
    if (server.scheme() == u"smtp")
        curl().easySetopt(c, CURLOPT_USE_SSL,
                         long(isLoopback(server.host()) ? CURLUSESSL_TRY : CURLUSESSL_ALL));
    const QByteArray user = route.smtpUser.toUtf8();
    if (!user.isEmpty()) {
        curl().easySetopt(c, CURLOPT_USERNAME, user.constData());
        curl().easySetopt(c, CURLOPT_PASSWORD, password.constData());
    }
    curl().easySetopt(c, CURLOPT_MAIL_FROM, mailFrom.constData());
    curl().easySetopt(c, CURLOPT_MAIL_RCPT, easy.recipients);
    curl().easySetopt(c, CURLOPT_READFUNCTION, supply);
    curl().easySetopt(c, CURLOPT_READDATA, &upload);
    curl().easySetopt(c, CURLOPT_UPLOAD, 1L);
    curl().easySetopt(c, CURLOPT_CONNECTTIMEOUT_MS, long(m_options.connectTimeoutMs));
    curl().easySetopt(c, CURLOPT_TIMEOUT_MS, long(m_options.timeoutMs));
    curl().easySetopt(c, CURLOPT_ERRORBUFFER, easy.error);
    const QByteArray ca = m_options.caFile.toLocal8Bit();
    if (!ca.isEmpty())
        curl().easySetopt(c, CURLOPT_CAINFO, ca.constData());
    watch(c, cancel);
    const CURLcode code = curl().easyPerform(c);
    if (code != CURLE_OK)
        return {false, failure(code, easy.error)};
    long status = 0;
    curl().easyGetinfo(c, CURLINFO_RESPONSE_CODE, &status);
    return {true, QStringLiteral("SMTP %1").arg(status)};
}

} // namespace kestavo::notify
