#include "core/consoledialog.h"

namespace kestavo::core {

ConsoleDialog::ConsoleDialog(Context& context, bool holdMainWindow)
    : QDialog(nullptr), m_context(context), m_mainWindow(context.mainWindow),
      m_holdsMainWindow(holdMainWindow)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    if (m_holdsMainWindow && m_mainWindow)
        m_mainWindow->setEnabled(false);
}

ConsoleDialog::~ConsoleDialog()
{
    if (m_holdsMainWindow && m_mainWindow)
        m_mainWindow->setEnabled(true);
}

void ConsoleDialog::reject()
{
    close();
}

} // namespace kestavo::core
