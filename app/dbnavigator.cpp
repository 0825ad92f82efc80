#include "app/dbnavigator.h"

#include "app/apperror.h"
#include "app/icons.h"

#include <QHBoxLayout>

namespace kw::app {

using kw::data::Dataset;

TDBNavigator::TDBNavigator(QWidget *parent) : QWidget(parent)
{
    auto *lay = new QHBoxLayout(this);
    lay->setContentsMargins(0, 0, 0, 0);
    lay->setSpacing(1);
    auto make = [&](const char *name, icons::Tool t, const QString &hint) {
        auto *b = new QToolButton(this);
        b->setObjectName(QLatin1String(name));
        b->setIcon(icons::tool(t));
        b->setIconSize(QSize(16, 16));
        b->setToolTip(hint);
        b->setAutoRaise(false);
        b->setFixedSize(25, 23);
        lay->addWidget(b);
        return b;
    };
    m_insert = make("nbInsert", icons::Tool::Insert, QStringLiteral("Insert record"));
    m_delete = make("nbDelete", icons::Tool::Delete, QStringLiteral("Delete record"));
    m_post = make("nbPost", icons::Tool::Post, QStringLiteral("Post edit"));
    connect(m_insert, &QToolButton::clicked, this, &TDBNavigator::insertClick);
    connect(m_delete, &QToolButton::clicked, this, &TDBNavigator::deleteClick);
    connect(m_post, &QToolButton::clicked, this, &TDBNavigator::postClick);
    updateButtons();
}

void TDBNavigator::setDataSource(kw::data::DataSource *ds)
{
    if (m_source)
        disconnect(m_source, nullptr, this, nullptr);
    m_source = ds;
    if (ds)
        connect(ds, &kw::data::DataSource::datasetChanged, this, &TDBNavigator::attach);
    attach();
}

Dataset *TDBNavigator::dataset() const
{
    return m_source ? m_source->dataset() : nullptr;
}

void TDBNavigator::attach()
{
    for (const auto &c : m_conns)
        disconnect(c);
    m_conns.clear();
    m_dataset = dataset();
    if (m_dataset) {
        m_conns << connect(m_dataset, &Dataset::stateChanged, this, &TDBNavigator::updateButtons);
        m_conns << connect(m_dataset, &Dataset::rowsReset, this, &TDBNavigator::updateButtons);
        m_conns << connect(m_dataset, &Dataset::currentChanged, this, &TDBNavigator::updateButtons);
    }
    updateButtons();
}

void TDBNavigator::updateButtons()
{
    Dataset *d = dataset();
    const bool active = d && d->active();
    m_insert->setEnabled(active);
    m_delete->setEnabled(active && !d->isEmpty());
    m_post->setEnabled(active && d->isEditing());
}

void TDBNavigator::insertClick()
{
    if (Dataset *d = dataset(); d && d->active())
        guarded([&] { d->insert(); });
}

void deleteRecordAsked(Dataset *d)
{
    if (!d || !d->active() || d->isEmpty())
        return;
    if (d->beforeDelete && !guarded([&] { d->beforeDelete(*d); }))
        return;
    if (!prompts().confirm(QStringLiteral("Delete record?")))
        return;
    guarded([&] { d->deleteRecord(); });
}

void TDBNavigator::deleteClick()
{
    deleteRecordAsked(dataset());
}

void TDBNavigator::postClick()
{
    if (Dataset *d = dataset(); d && d->isEditing())
        guarded([&] { d->post(); });
}

} // namespace kw::app
