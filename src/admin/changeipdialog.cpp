#include "admin/changeipdialog.h"

#include <QGridLayout>
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
} // namespace

ChangeIpDialog::ChangeIpDialog(core::Context& context) : AddressChangeDialog(context)
{
    setObjectName(qs("ChangeIP"));
    setWindowTitle(qs("Cange IP Address"));

    auto* boxes = new QHBoxLayout;
    for (std::size_t k = 0; k < m_octets.size(); ++k) {
        auto* box = new QLineEdit(this);
        box->setObjectName(QStringLiteral("Text%1").arg(k + 1));
        box->setAccessibleName(QStringLiteral("IP address octet %1").arg(k + 1));
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

    auto* ok = new QPushButton(qs("OK"), this);
    ok->setObjectName(qs("Command1"));
    ok->setAccessibleName(qs("OK"));
    auto* cancel = new QPushButton(qs("Cancel"), this);
    cancel->setObjectName(qs("Command2"));
    cancel->setAccessibleName(qs("Cancel"));
    connect(ok, &QPushButton::clicked, this, &ChangeIpDialog::changeAddress);
    connect(cancel, &QPushButton::clicked, this, &QWidget::close);

    auto* layout = new QVBoxLayout(this);
    // Sized to its contents, so the wrapped warning is never cut short.
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addWidget(wrappedLabel(qs("Enter a unique IP Address"), this));
    layout->addLayout(boxes);
    layout->addWidget(wrappedLabel(qs("Use decimal values. Example:  10.240.10.1"), this));
    layout->addWidget(
        wrappedLabel(qs("Warning! Entering an IP address that is already in use by another machine "
                        "on the local system will have unpredictable results and may cause you to "
                        "lose connectivity with the KSV device."),
                     this));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    m_octets[0]->setFocus();
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
    if (!sendChange(protocol::setIpFrame(octets, context().session.password()), 1))
        return;
    finishChange(qs("IP Changed !!"));
}

} // namespace kestavo::admin
