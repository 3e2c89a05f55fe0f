#include <QCoreApplication>

#include "app/application.h"

namespace kestavo::app {

bool Application::startDemo()
{
    return false;
}

} // namespace kestavo::app
