#include "platform/pingwindow.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileInfo>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QVBoxLayout>

namespace kestavo::platform {

PingWindow::PingWindow(const QString& program, const QStringList& arguments, QWidget* parent)
    : QWidget(parent, Qt::Window), m_output(new QPlainTextEdit(this))
{
    setObjectName(QStringLiteral("PingWindow"));
    const QString commandLine =
        (QStringList{QFileInfo(program).fileName()} + arguments).join(QLatin1Char(' '));
    setWindowTitle(commandLine);

    m_output->setObjectName(QStringLiteral("PingOutput"));
    m_output->setAccessibleName(
        QCoreApplication::translate("kestavo::platform", "Output of %1").arg(commandLine));
    m_output->setReadOnly(true);
    m_output->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_output->setMaximumBlockCount(5000); // a ping left running for days must not eat memory
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_output);
    resize(640, 360);

    m_process.setProgram(program);
    m_process.setArguments(arguments);
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.setStandardInputFile(QProcess::nullDevice());

    connect(&m_process, &QProcess::readyRead, this,
            [this] { append(QString::fromLocal8Bit(m_process.readAll())); });
    connect(&m_process, &QProcess::finished, this, [this](int exitCode, QProcess::ExitStatus status) {
        append(
            status == QProcess::NormalExit
                ? QCoreApplication::translate("kestavo::platform", "\nThe command ended with exit code %1.\n")
                      .arg(exitCode)
                : QCoreApplication::translate("kestavo::platform", "\nThe command was stopped.\n"));
    });
    connect(&m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            append(QCoreApplication::translate("kestavo::platform", "The command could not be started: %1.\n")
                       .arg(m_process.errorString()));
    });
}

PingWindow::~PingWindow()
{
    endProgram();
}

void PingWindow::start()
{
    append(windowTitle() + QLatin1Char('\n'));
    m_process.start();
}

QString PingWindow::output() const
{
    return m_output->toPlainText();
}

bool PingWindow::isRunning() const
{
    return m_process.state() != QProcess::NotRunning;
}

void PingWindow::closeEvent(QCloseEvent* event)
{
    endProgram();
    event->accept();
}

void PingWindow::append(const QString& text)
{
    QScrollBar* bar = m_output->verticalScrollBar();
    const bool following = bar->value() == bar->maximum();
    m_output->moveCursor(QTextCursor::End);
    m_output->insertPlainText(text);
    if (following)
        bar->setValue(bar->maximum());
}

void PingWindow::endProgram()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.disconnect(this);
    m_process.kill();
    // Reaping a killed child takes milliseconds; bounded so closing never hangs.
    m_process.waitForFinished(1000);
}

} // namespace kestavo::platform
