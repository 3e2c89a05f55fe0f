#include "gui/admin/changeipdialog.h"

#include <QCoreApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include "protocol/frames.h"

#include "session/consolestate.h"
#include "session/session.h"

#include "gui/admin/admininput.h"
#include "gui/admin/keyfilter.h"
#include "platform/prompter.h"

namespace kestavo::admin {

namespace {
QString qs(const char* s)
{
    return QString::fromLatin1(s);
}

} // namespace

ChangeIpDialog::ChangeIpDialog(core::Context& context) : AddressChangeDialog(context)
{
    setObjectName(qs("ChangeIP"));
    setWindowTitle(qs("Cange IP Address"));

    auto* boxes = new QHBoxLayout;
    for (std::size_t k = 0; k < m_octets.size(); ++k) {
        auto* box = new QLineEdit(this);
        box->setObjectName(QStringLiteral("Text%1").arg(k + 1));
        box->setAccessibleName(
            QCoreApplication::translate("kestavo::admin", "IP address octet %1").arg(k + 1));
        box->setMaxLength(3);
        // The third box has always let a lone 'a' through; it reads as 0.
        const bool takesA = k == 2;
        box->setValidator(
            new QRegularExpressionValidator(QRegularExpression(takesA ? qs("[0-9a]*") : qs("[0-9]*")), box));
        auto* filter = new KeyFilter(box, [takesA](QChar c) {
            return KeyFilter::isDecimalDigit(c) || (takesA && c == QLatin1Char('a'));
        });
        filter->setJump(QLatin1Char('.'), [this, k] { m_octets[(k + 1) % m_octets.size()]->setFocus(); });
        if (k > 0)
            boxes->addWidget(new QLabel(qs("."), this));
        boxes->addWidget(box);
        m_octets[k] = box;
    }

    buildPage(qs("Enter a unique IP Address"), boxes, qs("Use decimal values. Example:  10.240.10.1"),
              qs("Warning! Entering an IP address that is already in use by another machine on the local "
                 "system will have unpredictable results and may cause you to lose connectivity with "
                 "the KSV device."),
              m_octets[0], [this] { changeAddress(); });
}

void ChangeIpDialog::changeAddress()
{
    std::array<int, 4> octets{};
    for (std::size_t k = 0; k < m_octets.size(); ++k) {
        const QString text = m_octets[k]->text();
        octets[k] = leadingDecimal(text);
        // An octet above 255 would go out wrapped (300 as 44): the unit would take an address
        // nobody typed and could not be found again.
        if (text.isEmpty() || octets[k] > kMaxOctet) {
            context().prompter.inform(qs("Lame IP Address Detected!"));
            return;
        }
    }
    if (const auto reason = unusableUnitAddress(octets)) {
        context().prompter.inform(*reason);
        return;
    }
    // Once sent, the unit answers only at the new address: no way back from a typing slip.
    if (!context().prompter.confirmOkCancel(
            tr("Change %1 to %2?").arg(context().state.selectedAddress(), dottedAddress(octets)),
            platform::Prompter::appTitle()))
        return;
    if (!sendChange(protocol::setIpFrame(octets, context().session.password()), 1))
        return;
    finishChange(qs("IP Changed !!"));
}

} // namespace kestavo::admin
