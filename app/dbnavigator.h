#pragma once
// A record navigator with the buttons insert, delete (after the question
// "Delete record?") and post, working on the dataset of a data source.
#include "data/engine/dataset.h"

#include <QPointer>
#include <QToolButton>
#include <QWidget>

namespace kw::app {

// Deletes the current record after the question "Delete record?". A rule
// that refuses the deletion (a holder who still signs for items) says so
// before the question is asked.
void deleteRecordAsked(kw::data::Dataset *d);

class TDBNavigator : public QWidget {
    Q_OBJECT
public:
    explicit TDBNavigator(QWidget *parent = nullptr);
    void setDataSource(kw::data::DataSource *ds);
    kw::data::DataSource *dataSource() const { return m_source; }

    QToolButton *btnInsert() const { return m_insert; }
    QToolButton *btnDelete() const { return m_delete; }
    QToolButton *btnPost() const { return m_post; }

    void insertClick();
    void deleteClick();
    void postClick();

private:
    kw::data::Dataset *dataset() const;
    void attach();
    void updateButtons();
    QPointer<kw::data::DataSource> m_source;
    QPointer<kw::data::Dataset> m_dataset;
    QToolButton *m_insert, *m_delete, *m_post;
    QList<QMetaObject::Connection> m_conns;
};

} // namespace kw::app
