#include "app/forms.h"
#include "app/artwork.h"
#include "app/weblinks.h"
#include "update/verinfo.h"

#include <QFile>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QTimer>
#include <QToolButton>

namespace kw::app {

QString makerNotice()
{
    return QStringLiteral("\u00A9 Quillfen \u2022 Kitwarden is a Quillfen product \u2022 www.quillfen.example");
}

static QFont tahoma(int pixelSize, bool bold)
{
    // The metric-compatible Tahoma of fonts-wine lies outside the font path.
    static const bool loaded = [] {
        for (const char *p : {"/usr/share/wine/fonts/tahoma.ttf", "/usr/share/fonts/truetype/wine/tahoma.ttf"})
            if (QFile::exists(QString::fromLatin1(p)))
                QFontDatabase::addApplicationFont(QString::fromLatin1(p));
        return true;
    }();
    (void)loaded;
    QFont f(QStringLiteral("Tahoma"));
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(pixelSize);
    f.setBold(bold);
    return f;
}

static void centre(QWidget *w)
{
    if (QScreen *s = w->screen() ? w->screen() : QGuiApplication::primaryScreen())
        w->move(s->availableGeometry().center() - w->rect().center());
}

static QToolButton *flatButton(QWidget *parent, const QRect &r, const char *name)
{
    auto *b = new QToolButton(parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoRaise(true);
    b->setGeometry(r);
    b->setCursor(Qt::PointingHandCursor);
    // No caption or glyph: the picture shows the close mark beneath.
    b->setStyleSheet(QStringLiteral("QToolButton { border: none; background: transparent; }"
                                    "QToolButton:hover { background: rgba(0,0,128,28); border-radius: 4px; }"));
    return b;
}

static void shape(QDialog *d, const QImage &picture)
{
    d->setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    d->setFixedSize(picture.size());
    d->setProperty("kwOutline", QVariant::fromValue(artwork::outline(picture)));
    // Headless platforms cannot shape windows (and say so on every call).
    const QString platform = QGuiApplication::platformName();
    if (platform != QLatin1String("offscreen") && platform != QLatin1String("minimal"))
        d->setMask(artwork::outline(picture));
}

// ---- TfcLabel ----------------------------------------------------------------

TfcLabel::TfcLabel(const QString &text, int pixelHeight, bool bold, QWidget *parent) : QLabel(text, parent)
{
    // The glyphs take about seven tenths of the label's height.
    setFont(tahoma(std::max(8, pixelHeight * 7 / 10), bold));
    setAlignment(Qt::AlignCenter);
    setAttribute(Qt::WA_TranslucentBackground);
}

void TfcLabel::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    p.setFont(font());
    if (!outlined_) {
        p.setPen(QColor(artwork::kNavy));
        p.drawText(rect(), Qt::AlignCenter, text());
        return;
    }
    QPainterPath path;
    const QFontMetricsF fm(font());
    const qreal w = fm.horizontalAdvance(text());
    path.addText(QPointF((width() - w) / 2, (height() + fm.ascent() - fm.descent()) / 2), font(), text());
    p.strokePath(path, QPen(QColor(0xB8, 0xBE, 0xC8), 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.fillPath(path, QColor(artwork::kNavy));
}

void TfcLabel::mouseReleaseEvent(QMouseEvent *e)
{
    if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint()))
        emit clicked();
    QLabel::mouseReleaseEvent(e);
}

static void addLines(QWidget *w, int firstTop)
{
    const char *lines[] = {"Designed for V.I. Zode", "Aviation Life Support Equipment", "Shop Management"};
    const char *names[] = {"lblLine1", "lblLine2", "lblLine3"};
    for (int i = 0; i < 3; ++i) {
        auto *l = new TfcLabel(QString::fromLatin1(lines[i]), 24, false, w);
        l->setObjectName(QString::fromLatin1(names[i]));
        l->setGeometry(0, firstTop + 24 * i, 443, 24);
    }
}

// ---- TfrmSplash --------------------------------------------------------------

TfrmSplash::TfrmSplash(QWidget *parent) : QDialog(parent), picture_(artwork::splashPicture())
{
    setObjectName(QStringLiteral("frmSplash"));
    shape(this, picture_);
    auto *title = new TfcLabel(QStringLiteral("Kitwarden 2.0"), 43, true, this);
    title->setObjectName(QStringLiteral("lblTitle"));
    title->setGeometry(0, 24, 443, 43);
    addLines(this, 84);
    auto *footer = new TfcLabel(makerNotice(), 11, false, this);
    footer->setObjectName(QStringLiteral("fcLabel2"));
    footer->setFont(tahoma(10, false));
    footer->setOutlined(true);
    footer->setGeometry(0, 243, 443, 14);
    btnClose = flatButton(this, QRect(412, 9, 23, 22), "btnClose");
    connect(btnClose, &QToolButton::clicked, this, &TfrmSplash::btnCloseClick);
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setSingleShot(true);
    Timer1->setInterval(5000);
    connect(Timer1, &QTimer::timeout, this, &TfrmSplash::Timer1Timer);
}

void TfrmSplash::showEvent(QShowEvent *e)
{
    centre(this);
    Timer1->start();  // five seconds from the moment it is shown
    QDialog::showEvent(e);
}

void TfrmSplash::paintEvent(QPaintEvent *)
{
    QPainter(this).drawImage(0, 0, picture_);
}

void TfrmSplash::Timer1Timer()
{
    Timer1->stop();
    done(QDialog::Accepted);
}

void TfrmSplash::btnCloseClick()
{
    Timer1->stop();
    done(QDialog::Rejected);
}

// ---- TLinkList ---------------------------------------------------------------

TLinkList::TLinkList(QWidget *parent) : QListWidget(parent)
{
    setFrameShape(QFrame::NoFrame);
    setIconSize(QSize(24, 24));
    setSelectionMode(QAbstractItemView::NoSelection);
    setFocusPolicy(Qt::NoFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setMouseTracking(true);
    setCursor(Qt::PointingHandCursor);
    setFont(tahoma(13, false));
    setStyleSheet(QStringLiteral("QListWidget { background: #C0C0C0; color: #000080; border: none; outline: none; }"
                                 "QListWidget::item { padding: 4px; }"
                                 "QListWidget::item:hover { background: #D0D0D8; }"));
}

void TLinkList::addLink(const QString &caption, int image, const QString &target)
{
    auto *item = new QListWidgetItem(QIcon(QPixmap::fromImage(artwork::linkImage(image))), caption, this);
    item->setData(Qt::UserRole, target);
    item->setToolTip(target);
}

void TLinkList::mouseReleaseEvent(QMouseEvent *e)
{
    QListWidget::mouseReleaseEvent(e);
    if (e->button() != Qt::LeftButton)
        return;
    if (QListWidgetItem *item = itemAt(e->position().toPoint()))
        openTarget(item->data(Qt::UserRole).toString());
}

// ---- TfrmAbout ---------------------------------------------------------------

TfrmAbout::TfrmAbout(QWidget *parent) : QDialog(parent), picture_(artwork::aboutPicture())
{
    setObjectName(QStringLiteral("frmAbout"));
    shape(this, picture_);
    lblTitle = new TfcLabel(QStringLiteral("Kitwarden 2.0.0.000"), 37, true, this);
    lblTitle->setObjectName(QStringLiteral("lblTitle"));
    lblTitle->setGeometry(40, 12, 363, 37);
    lblTitle->setCursor(Qt::PointingHandCursor);
    connect(lblTitle, &TfcLabel::clicked, this, &TfrmAbout::lblTitleClick);
    addLines(this, 60);

    lbLinksLeft = new TLinkList(this);
    lbLinksLeft->setObjectName(QStringLiteral("lbLinksLeft"));
    lbLinksLeft->setGeometry(82, 140, 134, 77);
    lbLinksLeft->addLink(QStringLiteral("Support"), 1, kw::update::linkTarget(kw::update::Link::Support));
    lbLinksLeft->addLink(QStringLiteral("Updates"), 3, kw::update::linkTarget(kw::update::Link::NewVersion));
    lbLinksRight = new TLinkList(this);
    lbLinksRight->setObjectName(QStringLiteral("lbLinksRight"));
    lbLinksRight->setGeometry(227, 140, 134, 77);
    lbLinksRight->addLink(QStringLiteral("ALSE Page"), 0, kw::update::linkTarget(kw::update::Link::AlsePage));
    lbLinksRight->addLink(QStringLiteral("FAQs"), 2, kw::update::linkTarget(kw::update::Link::Faq));

    fcLabel2 = new TfcLabel(makerNotice(), 11, false, this);
    fcLabel2->setObjectName(QStringLiteral("fcLabel2"));
    fcLabel2->setFont(tahoma(10, false));
    fcLabel2->setOutlined(true);
    fcLabel2->setGeometry(0, 240, 443, 14);
    connect(fcLabel2, &TfcLabel::clicked, this, &TfrmAbout::fcLabel2Click);
    SpeedButton1 = flatButton(this, QRect(405, 8, 33, 33), "SpeedButton1");
    connect(SpeedButton1, &QToolButton::clicked, this, &TfrmAbout::SpeedButton1Click);
}

void TfrmAbout::FormShow()
{
    lblTitle->setText(kw::update::productVersionTitle(executable));
}

int TfrmAbout::execAbout(QWidget *owner)
{
    TfrmAbout about(owner);
    about.FormShow();
    centre(&about);
    return about.exec();
}

void TfrmAbout::paintEvent(QPaintEvent *)
{
    QPainter(this).drawImage(0, 0, picture_);
}

void TfrmAbout::lblTitleClick()
{
    accept();
}

void TfrmAbout::fcLabel2Click()
{
    accept();
}

void TfrmAbout::SpeedButton1Click()
{
    accept();
}

} // namespace kw::app
