#include "app/mainstatusbar.h"

#include "app/duepanel.h"
#include "app/keylocks.h"
#include "data/shop/clock.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>

namespace kw::app {

TMainStatusBar::TMainStatusBar(QWidget *parent) : QStatusBar(parent)
{
    setObjectName(QStringLiteral("stbMain"));
    setSizeGripEnabled(true);
    auto panel = [&](const char *name, int width) {
        auto *l = new QLabel(this);
        l->setObjectName(QLatin1String(name));
        l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        l->setContentsMargins(2, 0, 2, 0);
        if (width > 0)
            l->setFixedWidth(width);
        return l;
    };
    stbImage = panel("stbImage", 18);
    stbImage->setAlignment(Qt::AlignCenter);
    stbImage->setContentsMargins(0, 0, 0, 0);
    stbText = panel("stbText", 400);
    stbCaps = panel("stbCaps", 34);
    stbNum = panel("stbNum", 30);
    stbClock = panel("stbClock", 0);
    stbClock->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    addWidget(stbImage);
    addWidget(stbText);
    addWidget(stbCaps);
    addWidget(stbNum);
    stbDue = new TDuePanel(this);
    addWidget(stbDue);
    stbLegend = new QLabel(this);
    stbLegend->setObjectName(QStringLiteral("stbLegend"));
    stbLegend->setTextFormat(Qt::RichText);
    stbLegend->setContentsMargins(6, 0, 2, 0);
    // It takes the room left between the lock and clock panels and never
    // makes the window wider than the panels need.
    stbLegend->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    stbLegend->hide();
    stbLegend->installEventFilter(this);
    addWidget(stbLegend, 1);
    addPermanentWidget(stbClock);
    setFixedHeight(20);

    m_clock.setInterval(1000);
    connect(&m_clock, &QTimer::timeout, this, &TMainStatusBar::updatePanels);
    m_clock.start();
    // Lock keys change the indicators at once, not only on the next tick.
    qApp->installEventFilter(this);
    updatePanels();
}

TMainStatusBar::~TMainStatusBar()
{
    qApp->removeEventFilter(this);
}

void TMainStatusBar::setImage(const QIcon &icon)
{
    stbImage->setPixmap(icon.pixmap(16, 16));
}

void TMainStatusBar::setText(const QString &text)
{
    stbText->setText(text);
    stbText->setToolTip(text); // the panel may cut a long text
}

QString TMainStatusBar::text() const
{
    return stbText->text();
}

void TMainStatusBar::setDueLegend(DueColours colours)
{
    m_legend = colours;
    stbLegend->setToolTip(dueLegendExplained(colours));
    stbLegend->setVisible(colours != DueColours::None);
    fitLegend();
}

void TMainStatusBar::fitLegend()
{
    const QPalette &pal = stbLegend->palette();
    const QMargins m = stbLegend->contentsMargins();
    const int room = stbLegend->width() - m.left() - m.right();
    const QFontMetrics fm = stbLegend->fontMetrics();
    QString text = dueLegend(m_legend, pal);
    if (fm.horizontalAdvance(dueLegendPlain(m_legend)) > room)
        text = fm.horizontalAdvance(QStringLiteral("\u25A0 \u25A0")) <= room ? dueLegendSwatches(m_legend, pal)
                                                                              : QString();
    if (stbLegend->text() != text)
        stbLegend->setText(text);
}

void TMainStatusBar::updatePanels()
{
    const KeyLocks k = currentKeyLocks();
    stbCaps->setText(k.caps ? QStringLiteral("Caps") : QString());
    stbNum->setText(k.num ? QStringLiteral("Num") : QString());
    const QString now = kw::data::Clock::now().toString(QStringLiteral("M/d/yyyy h:mm:ss AP"));
    stbClock->setText(now);
    // A tenth of the window's width, but never less than the text needs.
    const int need = stbClock->fontMetrics().horizontalAdvance(now) + 12;
    stbClock->setFixedWidth(std::max(window()->width() / 10, need));
}

bool TMainStatusBar::eventFilter(QObject *o, QEvent *e)
{
    if (o == stbLegend && e->type() == QEvent::Resize)
        fitLegend();
    if (e->type() == QEvent::KeyRelease || e->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(e)->key();
        if (key == Qt::Key_CapsLock || key == Qt::Key_NumLock)
            QTimer::singleShot(0, this, &TMainStatusBar::updatePanels);
    }
    return QStatusBar::eventFilter(o, e);
}

} // namespace kw::app
