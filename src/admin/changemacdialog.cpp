#include "admin/changemacdialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include "protocol/frames.h"

#include "core/session.h"

#include "admin/admininput.h"
#include "admin/keyfilter.h"
#include "platform/prompter.h"

namespace kestavo::admin {

namespace {
QString qs(const char* s)
{
    return QString::fromLatin1(s);
}

QLabel* wrappedLabel(const QString& caption, QWidget* parent)
{
    auto* label = new QLabel(caption, parent);
    label->setWordWrap(true);
    label->setAccessibleName(caption);
    return label;
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
        box->setAccessibleName(QStringLiteral("MAC address byte %1").arg(k + 1));
        box->setMaxLength(2);
        box->setValidator(new QRegularExpressionValidator(QRegularExpression(qs("[0-9A-Fa-f]*")), box));
        new KeyFilter(box, &KeyFilter::isHexDigit);
        boxes->addWidget(box);
        m_bytes[k] = box;
    }

    auto* ok = new QPushButton(qs("OK"), this);
    ok->setObjectName(qs("Command1"));
    ok->setAccessibleName(qs("OK"));
    auto* cancel = new QPushButton(qs("Cancel"), this);
    cancel->setObjectName(qs("Command2"));
    cancel->setAccessibleName(qs("Cancel"));
    connect(ok, &QPushButton::clicked, this, &ChangeMacDialog::changeAddress);
    connect(cancel, &QPushButton::clicked, this, &QWidget::close);

    auto* layout = new QVBoxLayout(this);
    // Sized to its contents, so the wrapped warning is never cut short.
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addWidget(wrappedLabel(qs("Enter a unique Mac Address"), this));
    layout->addLayout(boxes);
    layout->addWidget(wrappedLabel(qs("Use Hexidecimal values. Example:  00 00 00 AB CD EF"), this));
    layout->addWidget(
        wrappedLabel(qs("Warning! Entering a mac address that is already in use by another machine "
                        "on the local system will have unpredictable results and may cause you to "
                        "lose connectivity with the KSV device."),
                     this));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    m_bytes[0]->setFocus();
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
    if (!sendChange(protocol::setMacFrame(mac, context().session.password()), kMacFrameCopies))
        return;
    finishChange(qs("Mac Address Changed !!"));
}

} // namespace kestavo::admin
