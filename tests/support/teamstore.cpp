#include "support/teamstore.h"

#include <QSqlError>
#include <QSqlQuery>

#include "storelink/storeconnection.h"
#include "store/teamschema.h"

namespace kestavo::testsupport {

namespace s = kestavo::store;

namespace {
const QString kDatabase = QStringLiteral("team");
}

TeamStore::TeamStore() = default;
TeamStore::~TeamStore() = default;

bool TeamStore::start()
{
    m_cluster = std::make_unique<PostgresCluster>();
    const auto failed = [this](const QString& error) {
        m_error = error;
        return false;
    };
    if (!m_cluster->start() || !m_cluster->addLogin(kOwner, QStringLiteral("CREATEROLE")))
        return failed(m_cluster->error());
    for (const QString& login : {kViewer, kOperator, kAdmin}) {
        if (!m_cluster->addLogin(login))
            return failed(m_cluster->error());
    }
    if (!m_cluster->exec(QStringLiteral("CREATE DATABASE team OWNER owner")))
        return failed(m_cluster->error());
    s::StoreConnection owner;
    if (!owner.open(s::parseStoreUrl(url(kOwner)).url, QStringLiteral("test")))
        return failed(owner.error());
    if (const s::InitResult init = s::initialize(owner.db()); !init.ok)
        return failed(init.error);
    for (const auto& [login, role] :
         {std::pair{kViewer, s::Role::Viewer}, {kOperator, s::Role::Operator}, {kAdmin, s::Role::Admin}}) {
        if (const s::RoleChange change = s::grantRole(owner.db(), login, role); !change.ok)
            return failed(change.error);
    }
    return true;
}

QString TeamStore::url(const QString& login) const
{
    return m_cluster->url(login, kDatabase);
}

bool TeamStore::exec(const QString& login, const QString& sql)
{
    s::StoreConnection store;
    if (!store.open(s::parseStoreUrl(url(login)).url, QStringLiteral("test"))) {
        m_error = store.error();
        return false;
    }
    QSqlQuery query(store.db());
    if (!query.exec(sql)) {
        m_error = QStringLiteral("%1: %2").arg(sql, query.lastError().text());
        return false;
    }
    return true;
}

} // namespace kestavo::testsupport
