#pragma once

#include <QProcess>
#include <QWidget>

class QPlainTextEdit;

namespace kestavo::platform {

/// A small console window of our own: runs one program (a continuous ping) and shows its output
/// as it arrives. Closing the window ends the program.
class PingWindow final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PingWindow)

public:
    PingWindow(const QString& program, const QStringList& arguments, QWidget* parent = nullptr);
    ~PingWindow() override;

    void start();
    QString output() const;
    bool isRunning() const;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void append(const QString& text);
    void endProgram();

    QProcess m_process;
    QPlainTextEdit* m_output = nullptr;
};

} // namespace kestavo::platform
