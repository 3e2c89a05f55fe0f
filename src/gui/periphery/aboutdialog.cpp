#include "gui/periphery/aboutdialog.h"

#include <QCoreApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

#include "session/consolestate.h"

#include "gui/periphery/browserwindow.h"
#include "platform/webview.h"

namespace kestavo::periphery {

namespace {

QString qs(const char* latin1)
{
    return QString::fromLatin1(latin1);
}

const char* const kDescription =
    "The KSV unit is a networked data-acquisition and control box for remote sites. It switches "
    "three power relays, measures eight voltage inputs and a temperature sensor, and watches five "
    "I/O pins. Up to six relay daughter boards join it on its I2C bus. Relay and daughter-board "
    "scripts stored on the unit run on demand, after a timer, or when an I/O pin or the "
    "temperature changes. This console talks to it over UDP.";

const char* const kCredits = "The Kestavo team: console, protocol, station directory and unit simulator.";

} // namespace

AboutDialog::AboutDialog(core::Context& context, WebViewFactory webViews)
    : ConsoleDialog(context), m_webViews(std::move(webViews))
{
    setObjectName(qs("About"));
    setWindowTitle(qs("About KSV"));
    setAccessibleName(windowTitle());

    m_picture = new QLabel(this);
    m_picture->setObjectName(qs("Picture1"));
    m_picture->setPixmap(QPixmap(qs(":/images/product.png")));
    m_picture->setAccessibleName(QCoreApplication::translate("kestavo::periphery", "KSV unit picture"));
    m_picture->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

    auto* description = addLabel("Label1", qs(kDescription));
    description->setMinimumWidth(320);

    auto* revisions = new QGridLayout;
    revisions->addWidget(addLabel("Label10", qs("Client Rev")), 0, 0);
    revisions->addWidget(addLabel("Label9", core::ConsoleState::versionText()), 0, 1);
    revisions->addWidget(addLabel("Label11", qs("Firmware Rev")), 1, 0);
    revisions->addWidget(addLabel("Label12", context.state.revisionDotted()), 1, 1);
    revisions->setColumnStretch(1, 1);

    m_heading = addLabel("Label2", qs("KSV was created by:"));
    QFont bold = m_heading->font();
    bold.setBold(true);
    m_heading->setFont(bold);
    auto* names = addLabel("Label3", qs(kCredits));

    // The heading and the picture lead to the browser, as links do.
    for (QLabel* link : {m_heading, m_picture}) {
        link->setCursor(Qt::PointingHandCursor);
        link->setToolTip(QCoreApplication::translate("kestavo::periphery", "Open the web browser"));
        link->installEventFilter(this);
    }

    auto* ok = new QPushButton(qs("OK"), this);
    ok->setObjectName(qs("Command1"));
    ok->setAccessibleName(qs("OK"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QWidget::close);

    auto* text = new QVBoxLayout;
    text->addWidget(description);
    text->addSpacing(8);
    text->addLayout(revisions);
    text->addSpacing(8);
    text->addWidget(m_heading);
    text->addWidget(names);
    text->addStretch();

    auto* top = new QHBoxLayout;
    top->addWidget(m_picture);
    top->addLayout(text, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(buttons);
}

AboutDialog::~AboutDialog() = default;

BrowserWindow* AboutDialog::browser() const
{
    return m_browser;
}

QLabel* AboutDialog::addLabel(const char* name, const QString& text)
{
    auto* label = new QLabel(text, this);
    label->setObjectName(qs(name));
    label->setAccessibleName(text);
    label->setWordWrap(true);
    return label;
}

BrowserWindow* AboutDialog::openBrowser()
{
    if (m_browser) {
        m_browser->raise();
        m_browser->activateWindow();
        return m_browser;
    }
    m_browser = new BrowserWindow(context(), m_webViews ? m_webViews() : nullptr);
    m_browser->show();
    return m_browser;
}

bool AboutDialog::eventFilter(QObject* watched, QEvent* event)
{
    if ((watched == m_heading || watched == m_picture) && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        openBrowser();
        return true;
    }
    return ConsoleDialog::eventFilter(watched, event);
}

} // namespace kestavo::periphery
