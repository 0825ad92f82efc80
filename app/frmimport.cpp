#include "app/frmimport.h"

#include "app/apperror.h"
#include "data/engine/session.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QElapsedTimer>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QScopeGuard>
#include <QScreen>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

namespace kw::app {

using namespace kw::import;

namespace {

const QStringList kNotice = {
    QStringLiteral("Items with blank NSN's will not be Imported."),
    QStringLiteral("Please ensure your Marrowby items all have"),
    QStringLiteral("unique NSN's assigned in the Master List"),
    QStringLiteral("before continuing with this import utility."),
};

} // namespace

// Shows what the import reports. The window is repainted as it goes, but
// no input is taken meanwhile: the import runs to its end in one go.
class TfrmImport::Progress : public ImportProgress {
public:
    explicit Progress(TfrmImport &dlg) : m_dlg(dlg) { m_sinceRepaint.start(); }
    void started() override
    {
        m_dlg.barPart->setValue(1);
        m_dlg.barTotal->setValue(1);
        m_dlg.barPart->show();
        m_dlg.barTotal->show();
        repaint(true);
    }
    void status(const QString &text) override
    {
        m_dlg.lblStatus->setText(text);
        repaint(false);
    }
    void progress(int part, int total) override
    {
        m_dlg.barPart->setValue(part);
        m_dlg.barTotal->setValue(total);
        repaint(false);
    }

private:
    // Per-row updates come thousands of times a second: painting each
    // would cost more than the import itself.
    void repaint(bool now)
    {
        if (!now && m_sinceRepaint.elapsed() < 30)
            return;
        m_sinceRepaint.restart();
        m_dlg.repaint();
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
    TfrmImport &m_dlg;
    QElapsedTimer m_sinceRepaint;
};

TfrmImport::TfrmImport(kw::data::Session &session, const QString &dataDir, QWidget *parent)
    : QDialog(parent, Qt::Tool | Qt::WindowStaysOnTopHint), m_session(session)
{
    setObjectName(QStringLiteral("frmImport"));
    setWindowTitle(QStringLiteral("Import Options"));
    setModal(true);
    options.dataDir = dataDir;

    auto *top = new QWidget(this);
    top->setObjectName(QStringLiteral("pnlTop"));
    auto *bar = new QHBoxLayout(top);
    bar->setContentsMargins(2, 2, 2, 2);
    const auto flatButton = [&](const char *name, const QString &text) {
        auto *b = new QToolButton(top);
        b->setObjectName(QLatin1String(name));
        b->setText(text);
        b->setAutoRaise(true);
        b->setToolButtonStyle(Qt::ToolButtonTextOnly);
        b->setMinimumWidth(70);
        return b;
    };
    btnImport = flatButton("btnImport", QStringLiteral("Import"));
    btnCancel = flatButton("btnCancel", QStringLiteral("Cancel"));
    bar->addWidget(btnImport);
    bar->addStretch();
    bar->addWidget(btnCancel);

    lblStatus = new QLabel(kNotice.join(QLatin1Char('\n')), this);
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    QFont f(QStringLiteral("Tahoma"), 10);
    f.setBold(true);
    lblStatus->setFont(f);
    QPalette pal = lblStatus->palette();
    pal.setColor(QPalette::WindowText, pal.color(QPalette::Highlight));
    lblStatus->setPalette(pal);
    lblStatus->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblStatus->setWordWrap(false);

    barPart = new QProgressBar(this);
    barPart->setObjectName(QStringLiteral("barPart"));
    barTotal = new QProgressBar(this);
    barTotal->setObjectName(QStringLiteral("barTotal"));
    for (QProgressBar *b : {barPart, barTotal}) {
        b->setRange(0, 100);
        b->setTextVisible(false);
        b->setFixedHeight(16);
        b->hide();
    }

    // The bars lie over the lower part of the status text once shown.
    auto *body = new QGridLayout;
    body->setContentsMargins(8, 4, 8, 8);
    body->setVerticalSpacing(4);
    body->addWidget(lblStatus, 0, 0, 4, 1);
    body->addWidget(barPart, 2, 0);
    body->addWidget(barTotal, 3, 0);
    body->setRowStretch(0, 1);
    auto *lay = new QVBoxLayout(this);
    lay->setContentsMargins(0, 0, 0, 0);
    lay->setSpacing(0);
    lay->addWidget(top);
    lay->addLayout(body, 1);
    setFixedSize(sizeHint().expandedTo(QSize(340, 150)));

    openLog = [](const QString &path) { return QDesktopServices::openUrl(QUrl::fromLocalFile(path)); };
    connect(btnImport, &QToolButton::clicked, this, &TfrmImport::btnImportClick);
    connect(btnCancel, &QToolButton::clicked, this, &TfrmImport::btnCancelClick);
}

void TfrmImport::showEvent(QShowEvent *e)
{
    QDialog::showEvent(e);
    if (QScreen *s = screen())
        move(s->availableGeometry().center() - rect().center());
}

void TfrmImport::btnCancelClick()
{
    if (!m_running)
        accept();
}

// Closing is refused while the import runs: it cannot stop half way.
void TfrmImport::closeEvent(QCloseEvent *e)
{
    if (m_running)
        e->ignore();
    else
        QDialog::closeEvent(e);
}

void TfrmImport::reject()
{
    if (!m_running)
        QDialog::reject();
}

void TfrmImport::btnImportClick()
{
    if (m_running)
        return;
    ImportOptions o = options;
    o.marrowbyDir = marrowbyDirectory(m_session);
    if (o.marrowbyDir.isEmpty()) {
        prompts().showMessage(kNoMarrowbyMessage.join(QLatin1Char('\n')));
        return;
    }
    // It replaces the holders, items, aircraft, kits and company name: the
    // user says yes first, knowing how many of each on both sides.
    if (!prompts().confirm(importQuestion(previewImport(m_session, o), company)))
        return;
    {
        m_running = true;
        btnImport->setEnabled(false);
        btnCancel->setEnabled(false);
        const auto idle = qScopeGuard([this] {
            m_running = false;
            btnImport->setEnabled(true);
            btnCancel->setEnabled(true);
        });
        Progress progress(*this);
        m_report = importFromMarrowby(m_session, o, &progress);
    }
    finish();
}

void TfrmImport::finish()
{
    if (m_report.completed) {
        btnCancel->setText(QStringLiteral("Close"));
        if (!m_report.company.isNull() && onCompanyImported)
            onCompanyImported(m_report.company);
    } else {
        lblStatus->setText(m_report.restored ? QStringLiteral("Import stopped: nothing was changed.")
                                             : QStringLiteral("Import stopped: see the log."));
    }
    // A log no viewer shows is still there: say where, as information
    // (after a completed import, nothing went wrong).
    if (!m_report.logFile.isEmpty() && openLog && !openLog(m_report.logFile))
        prompts().showInformation((m_report.completed ? QStringLiteral("The import completed. Its log is in %1.")
                                                      : QStringLiteral("The log of the import is in %1."))
                                      .arg(QDir::toNativeSeparators(m_report.logFile)));
    if (!m_report.completed) {
        QString text = m_report.error;
        if (m_report.restored)
            text += QStringLiteral("\n\nThe import did not complete. Nothing was changed.");
        else
            text += QStringLiteral("\n\nThe import did not complete, and the files could not all be put back:\n%1\n"
                                   "Copies of them as they were are kept in %2; \"kitwarden-cli import --undo\" "
                                   "puts them back.")
                        .arg(m_report.restoreError, QDir::toNativeSeparators(m_report.keptDir));
        prompts().showMessage(text);
    }
    if (!m_report.logError.isEmpty())
        prompts().showMessage(m_report.logError);
}

} // namespace kw::app
