#include "gui/admin/stationnamedialog.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include "protocol/frames.h"

#include "session/consolestate.h"
#include "session/session.h"

#include "platform/prompter.h"

namespace kestavo::admin {

namespace {
QString qs(const char* s)
{
    return QString::fromLatin1(s);
}

constexpr int kNameLength = 20;
} // namespace

StationNameDialog::StationNameDialog(core::Context& context)
    : ConsoleDialog(context), m_name(new QLineEdit(this))
{
    setObjectName(qs("StationName"));
    setWindowTitle(qs(" Set Station Name"));

    m_name->setObjectName(qs("Text1"));
    m_name->setAccessibleName(QCoreApplication::translate("kestavo::admin", "Station name"));
    m_name->setMaxLength(kNameLength);
    // The name travels as one byte per character: printable Latin-1 only.
    m_name->setValidator(
        new QRegularExpressionValidator(QRegularExpression(qs("[\\x{20}-\\x{7E}\\x{A0}-\\x{FF}]*")), m_name));
    // The name the main window shows. Stop empties that readout and it stays empty until the unit
    // of the next session reports, so the last report may name another unit or an old name.
    const auto* readout =
        context.mainWindow ? context.mainWindow->findChild<QLineEdit*>(qs("Text83")) : nullptr;
    if (readout) {
        m_name->setText(readout->text());
    } else if (const auto& report = context.state.lastReport()) {
        // Without the main window at hand: the last report's name, without its space fill.
        m_name->setText(
            QString::fromLatin1(report->stationName.data(), qsizetype(report->stationName.size())));
    }

    auto* ok = new QPushButton(qs("OK"), this);
    ok->setObjectName(qs("Command1"));
    ok->setAccessibleName(qs("OK"));
    auto* cancel = new QPushButton(qs("Cancel"), this);
    cancel->setObjectName(qs("Command2"));
    cancel->setAccessibleName(qs("Cancel"));
    connect(ok, &QPushButton::clicked, this, &StationNameDialog::sendName);
    connect(cancel, &QPushButton::clicked, this, &QWidget::close);

    auto* chooseLabel = new QLabel(qs("Choose a Descriptive Name for this KSV unit."), this);
    chooseLabel->setAccessibleName(chooseLabel->text());
    auto* maxLabel = new QLabel(qs("20 characters max"), this);
    maxLabel->setAccessibleName(maxLabel->text());

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(chooseLabel);
    layout->addWidget(m_name);
    layout->addWidget(maxLabel);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
}

void StationNameDialog::sendName()
{
    const QString name = m_name->text();
    if (name.isEmpty()) {
        context().prompter.inform(qs("Please Enter a Station Name !"));
        return;
    }
    const QByteArray bytes = name.toLatin1();
    const std::string frame = protocol::stationNameFrame(
        std::string_view(bytes.constData(), std::size_t(bytes.size())), context().session.password());
    if (sendFrame(frame))
        close();
}

} // namespace kestavo::admin
