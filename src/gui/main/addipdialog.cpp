#include "gui/main/addipdialog.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>

#include "stations/stationformat.h"
#include "stations/stationstore.h"

#include "gui/main/mainform.h"
#include "platform/prompter.h"

namespace kestavo::core {

namespace {
QString qs(const char* s)
{
    return QString::fromLatin1(s);
}
} // namespace

AddIpDialog::AddIpDialog(Context& context, MainForm& mainForm)
    : ConsoleDialog(context), m_mainForm(mainForm), m_ip(new QLineEdit(this)),
      m_password(new QLineEdit(this)), m_description(new QLineEdit(this))
{
    setObjectName(qs("ADDIP1"));
    setWindowTitle(qs("ADD IP NUMBER"));

    // Only digits and dots for the address; no space or '*' in a password (the fill character).
    m_ip->setObjectName(qs("Text1"));
    m_ip->setMaxLength(15);
    m_ip->setValidator(new QRegularExpressionValidator(QRegularExpression(qs("[0-9.]*")), m_ip));
    m_ip->setAccessibleName(qs("Enter IP Number"));
    m_password->setObjectName(qs("Text3"));
    m_password->setMaxLength(10);
    m_password->setEchoMode(QLineEdit::Password);
    // Frames carry one byte per character: only what Latin-1 can hold, without the space and the
    // '*' fill character.
    m_password->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[\\x{21}-\\x{29}\\x{2B}-\\x{7E}\\x{A1}-\\x{FF}]*")), m_password));
    m_password->setAccessibleName(qs("Enter Password for this IP Number"));
    m_description->setObjectName(qs("Text2"));
    m_description->setMaxLength(30);
    m_description->setAccessibleName(qs("Enter Description for this IP Number"));

    auto* ok = new QPushButton(qs("OK"), this);
    ok->setObjectName(qs("Command1"));
    ok->setAccessibleName(qs("OK"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(qs("Cancel"), this);
    cancel->setObjectName(qs("Command2"));
    cancel->setAccessibleName(qs("Cancel"));
    connect(ok, &QPushButton::clicked, this, &AddIpDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QWidget::close);

    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(qs("Enter IP Number"), this), 0, 0);
    grid->addWidget(m_ip, 0, 1);
    grid->addWidget(new QLabel(qs("Enter Password for this IP Number"), this), 1, 0);
    grid->addWidget(m_password, 1, 1);
    grid->addWidget(new QLabel(qs("10 Characters max."), this), 1, 2);
    grid->addWidget(new QLabel(qs("Enter Description for this IP Number"), this), 2, 0);
    grid->addWidget(m_description, 2, 1, 1, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    grid->addLayout(buttons, 3, 0, 1, 3);
}

void AddIpDialog::accept()
{
    auto& prompter = context().prompter;
    if (m_ip->text().isEmpty()) {
        prompter.inform(qs("Add an IP!"));
        return;
    }
    if (m_password->text().isEmpty()) {
        prompter.inform(qs("Add a Password!"));
        return;
    }
    if (m_description->text().isEmpty()) {
        prompter.inform(qs("Enter a Description!"));
        return;
    }
    // 999.1.1.1 can never be reached, and 127.0.82.010 is .8 to some programs and .10 to others.
    if (const QString refusal = stations::addressRefusal(m_ip->text()); !refusal.isEmpty()) {
        prompter.inform(refusal);
        return;
    }
    auto& store = context().store;
    if (store.findAddress(m_ip->text()) >= 0) {
        // A second record for the address could never be reached (every look-up finds the first);
        // updating the first is also how a stored password is put right.
        const QString question =
            tr("%1 is already in the station list as \"%2\". Update its password and "
               "description instead?")
                .arg(m_ip->text(), store.ips().mid(stations::kAddressWidth + stations::kEntryGap));
        if (!prompter.confirmYesNo(question, qs("ADD IP NUMBER")))
            return;
        if (!store.update(m_ip->text(), m_password->text(), m_description->text())) {
            prompter.inform(store.lastError());
            return;
        }
        m_mainForm.refillStations();
        close();
        return;
    }
    if (!store.add(m_ip->text(), m_password->text(), m_description->text())) {
        prompter.inform(store.lastError());
        return;
    }
    m_mainForm.refillStations();
    close();
}

} // namespace kestavo::core
