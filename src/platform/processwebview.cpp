#include "platform/processwebview.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QProcess>
#include <QResizeEvent>
#include <QVBoxLayout>
#include <QWidget>

#include "platform/browserprotocol.h"

namespace kestavo::platform {

namespace bp = browserprotocol;

// The page area: hands its window to the browser once shown, and tells it of size changes.
class ProcessWebView::Frame final : public QWidget
{
public:
    Frame(ProcessWebView& view, QWidget* parent) : QWidget(parent), m_view(view) {}

protected:
    void showEvent(QShowEvent* event) override
    {
        QWidget::showEvent(event);
        m_view.shown();
    }
    void resizeEvent(QResizeEvent* event) override
    {
        QWidget::resizeEvent(event);
        m_view.sizeChanged();
    }

private:
    ProcessWebView& m_view;
};

ProcessWebView::ProcessWebView(const QString& program, QWidget* parent) : m_frame(new Frame(*this, parent))
{
    m_frame->setObjectName(QStringLiteral("brwWebBrowser"));
    m_frame->setAccessibleName(QCoreApplication::translate("kestavo::platform", "Web page"));
    m_frame->setFocusPolicy(Qt::StrongFocus);
    auto* layout = new QVBoxLayout(m_frame);
    layout->setContentsMargins(0, 0, 0, 0);
    m_message = new QLabel(m_frame);
    m_message->setObjectName(QStringLiteral("lblBrowserMessage"));
    m_message->setWordWrap(true);
    m_message->setAlignment(Qt::AlignCenter);
    m_message->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_message->setText(
        QCoreApplication::translate("kestavo::platform::ProcessWebView", "Starting the web browser…"));
    layout->addWidget(m_message);

    m_process = new QProcess(m_frame);
    m_process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QObject::connect(m_process, &QProcess::readyReadStandardOutput, m_frame, [this] { readLines(); });
    QObject::connect(
        m_process, &QProcess::errorOccurred, m_frame, [this, program](QProcess::ProcessError error) {
            if (error == QProcess::FailedToStart)
                fail(QCoreApplication::translate("kestavo::platform::ProcessWebView",
                                                 "The web browser (%1) could not be started: %2.")
                         .arg(program, m_process->errorString()));
        });
    QObject::connect(
        m_process, &QProcess::finished, m_frame, [this, program](int code, QProcess::ExitStatus) {
            fail(QCoreApplication::translate(
                     "kestavo::platform::ProcessWebView",
                     "The web browser (%1) ended (exit code %2). Close this window and open it again.")
                     .arg(program)
                     .arg(code));
        });
    m_process->start(program, {});
}

ProcessWebView::~ProcessWebView()
{
    if (m_process) {
        m_process->disconnect(m_frame);
        // End of input is the browser's signal to quit; it has a moment to do so.
        m_process->closeWriteChannel();
        if (!m_process->waitForFinished(2000)) {
            m_process->kill();
            m_process->waitForFinished(1000);
        }
    }
    delete m_frame.data();
}

QWidget* ProcessWebView::widget()
{
    return m_frame;
}

void ProcessWebView::send(const QByteArray& line)
{
    if (m_process && m_process->state() != QProcess::NotRunning)
        m_process->write(line);
}

void ProcessWebView::navigate(const QUrl& url)
{
    const QUrl target = url.scheme().isEmpty() ? QUrl::fromUserInput(url.toString()) : url;
    if (!target.isValid() || !admits(target))
        return;
    m_busy = true;
    send(bp::line("go", {target.toString(QUrl::FullyEncoded)}));
}

void ProcessWebView::back()
{
    m_busy = true;
    send(bp::line("back"));
}

void ProcessWebView::forward()
{
    m_busy = true;
    send(bp::line("forward"));
}

void ProcessWebView::reload()
{
    m_busy = true;
    send(bp::line("reload"));
}

void ProcessWebView::stop()
{
    m_busy = false;
    send(bp::line("stop"));
}

bool ProcessWebView::isBusy() const
{
    return m_busy;
}

QString ProcessWebView::locationName() const
{
    return m_title;
}

QUrl ProcessWebView::locationUrl() const
{
    return m_url;
}

void ProcessWebView::setNavigationCompleteHandler(std::function<void()> handler)
{
    m_onNavigationComplete = std::move(handler);
}

void ProcessWebView::setDownloadCompleteHandler(std::function<void()> handler)
{
    m_onDownloadComplete = std::move(handler);
}

QString ProcessWebView::failure() const
{
    return m_process && m_process->state() != QProcess::NotRunning ? QString() : m_message->text();
}

void ProcessWebView::filterChanged()
{
    if (!m_confined) {
        m_confined = true;
        send(bp::line("confine"));
    }
}

void ProcessWebView::readLines()
{
    m_pending += m_process->readAllStandardOutput();
    qsizetype end;
    while ((end = m_pending.indexOf('\n')) >= 0) {
        const QByteArray line = m_pending.left(end);
        m_pending.remove(0, end + 1);
        handle(bp::parse(line));
    }
}

void ProcessWebView::handle(const QStringList& message)
{
    const QString word = message.value(0);
    if (word == QLatin1String("busy")) {
        m_busy = message.value(1) == QLatin1String("1");
    } else if (word == QLatin1String("done")) {
        m_busy = false;
        m_url = QUrl(message.value(1));
        m_title = message.value(2);
        if (m_onNavigationComplete)
            m_onNavigationComplete();
        if (m_onDownloadComplete)
            m_onDownloadComplete();
    } else if (word == QLatin1String("ask")) {
        // The page itself went for another address: the same filter as a typed one decides.
        const QUrl url(message.value(1));
        if (url.isValid() && admits(url)) {
            m_busy = true;
            send(bp::line("go", {url.toString(QUrl::FullyEncoded)}));
        }
    }
}

void ProcessWebView::shown()
{
    if (m_placed)
        return;
    m_placed = true;
    // Only X11 lets one program's window sit inside another's: the browser puts its page into
    // this frame's window (its own window may be re-created as QtWebEngine sets up, and stays in
    // its parent when it is). Elsewhere the page gets a window of its own.
    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
        m_message->setText(QCoreApplication::translate("kestavo::platform::ProcessWebView",
                                                       "The web page opens in a window of its own."));
        send(bp::line("show"));
        return;
    }
    m_message->hide();
    m_embedded = true;
    send(bp::line("embed", {QString::number(m_frame->winId()), QString::number(m_frame->width()),
                            QString::number(m_frame->height())}));
}

void ProcessWebView::sizeChanged()
{
    if (m_embedded)
        send(bp::line("size", {QString::number(m_frame->width()), QString::number(m_frame->height())}));
}

void ProcessWebView::fail(const QString& why)
{
    m_busy = false;
    m_embedded = false;
    m_message->setText(why);
    m_message->show();
    qWarning("%s", qPrintable(why));
}

} // namespace kestavo::platform
