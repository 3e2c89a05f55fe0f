#include "gui/main/consoledialog.h"

#include <memory>

#include <QComboBox>

#include "stations/stationstore.h"

#include "session/consolestate.h"
#include "session/session.h"

#include "gui/main/comboaccessible.h"
#include "platform/prompter.h"

namespace kestavo::core {

ConsoleDialog::ConsoleDialog(Context& context, bool holdMainWindow)
    : QDialog(nullptr), m_context(context), m_mainWindow(context.mainWindow),
      m_holdsMainWindow(holdMainWindow)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    nameCombosByLabel();
    if (m_holdsMainWindow && m_mainWindow)
        m_mainWindow->setEnabled(false);
}

void ConsoleDialog::done(int result)
{
    QDialog::done(result);
    if (m_holdsMainWindow && m_mainWindow) {
        m_mainWindow->setEnabled(true);
        m_holdsMainWindow = false;
    }
}

ConsoleDialog::~ConsoleDialog()
{
    if (m_holdsMainWindow && m_mainWindow)
        m_mainWindow->setEnabled(true);
}

QString ConsoleDialog::noSessionText()
{
    return tr("The session with the unit has ended, so nothing was sent. "
              "Press \"Start\" in the main window and try again.");
}

QString ConsoleDialog::stationBoxText() const
{
    if (m_mainWindow) {
        if (const auto* box = m_mainWindow->findChild<QComboBox*>(QStringLiteral("Combo1")))
            return box->currentText();
    }
    return m_context.store.ips();
}

void ConsoleDialog::waitForUnitReport(const QList<QWidget*>& controls, std::function<void()> reload)
{
    if (m_context.state.unitSettingsKnown())
        return;
    const QString waiting =
        tr("Waiting for the first report of the unit at %1").arg(m_context.state.selectedAddress());
    for (QWidget* w : controls) {
        w->setEnabled(false);
        w->setToolTip(waiting);
    }
    auto connection = std::make_shared<QMetaObject::Connection>();
    *connection = connect(&m_context.state, &ConsoleState::statusDecoded, this,
                          [this, controls, reload = std::move(reload), connection] {
                              disconnect(*connection);
                              for (QWidget* w : controls) {
                                  w->setEnabled(true);
                                  w->setToolTip(QString());
                              }
                              reload();
                          });
}

bool ConsoleDialog::sendFrame(const std::string& frame, bool counted)
{
    if (!m_context.state.acquiring()) {
        m_context.prompter.inform(noSessionText());
        return false;
    }
    // A refused write is the main socket's business: its error handler tells the user.
    return m_context.session.send(frame, counted);
}

} // namespace kestavo::core
