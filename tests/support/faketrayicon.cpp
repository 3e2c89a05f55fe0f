#include "support/faketrayicon.h"

namespace kestavo::testsupport {

void FakeTrayIcon::show()
{
    ++m_showCalls;
    if (m_available)
        m_shown = true;
}

void FakeTrayIcon::remove()
{
    ++m_removeCalls;
    m_shown = false;
}

void FakeTrayIcon::activate()
{
    if (m_shown && m_onActivated)
        m_onActivated();
}

} // namespace kestavo::testsupport
