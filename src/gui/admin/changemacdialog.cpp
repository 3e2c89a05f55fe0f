#include "gui/admin/changemacdialog.h"

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

#include "gui/admin/admininput.h"
#include "gui/admin/keyfilter.h"
#include "platform/prompter.h"

namespace kestavo::admin {

namespace {
QString qs(const char* s)
{
    return QString::fromLatin1(s);
}

// No reply confirms a MAC change and a datagram can be lost, so the frame goes out twice.
constexpr int kMacFrameCopies = 2;
} // namespace

ChangeMacDialog::ChangeMacDialog(core::Context& context) : AddressChangeDialog(context)
{
    setObjectName(qs("ChangeMAC"));
    setWindowTitle(qs("Change IP Address"));

    auto* boxes = new QHBoxLayout;
    for (std::size_t k = 0; k < m_bytes.size(); ++k) {
        auto* box = new QLineEdit(this);
        box->setObjectName(QStringLiteral("Text%1").arg(k + 1));
        box->setAccessibleName(
            QCoreApplication::translate("kestavo::admin", "MAC address byte %1").arg(k + 1));
        box->setMaxLength(2);
        box->setValidator(new QRegularExpressionValidator(QRegularExpression(qs("[0-9A-Fa-f]*")), box));
        new KeyFilter(box, &KeyFilter::isHexDigit);
        boxes->addWidget(box);
        m_bytes[k] = box;
    }

    buildPage(qs("Enter a unique Mac Address"), boxes,
              qs("Use Hexidecimal values. Example:  00 00 00 AB CD EF"),
              qs("Warning! Entering a mac address that is already in use by another machine on the local "
                 "system will have unpredictable results and may cause you to lose connectivity with "
                 "the KSV device."),
              m_bytes[0], [this] { changeAddress(); });
}

void ChangeMacDialog::changeAddress()
{
    std::array<int, 6> mac{};
    for (std::size_t k = 0; k < m_bytes.size(); ++k) {
        const std::optional<int> value = hexValue(m_bytes[k]->text());
        if (!value) {
            context().prompter.inform(qs("Lame Mac Address Detected!"));
            return;
        }
        mac[k] = *value;
    }
    if (const auto reason = unusableMac(mac)) {
        context().prompter.inform(*reason);
        return;
    }
    const auto& report = context().state.lastReport();
    const QString current = report ? QString::fromStdString(report->macText) : tr("the unit's address");
    if (!context().prompter.confirmOkCancel(tr("Change %1 to %2?").arg(current, shownMac(mac)),
                                            platform::Prompter::appTitle()))
        return;
    if (!sendChange(protocol::setMacFrame(mac, context().session.password()), kMacFrameCopies))
        return;
    finishChange(qs("Mac Address Changed !!"));
}

} // namespace kestavo::admin
