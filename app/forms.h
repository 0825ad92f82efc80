#pragma once
// The splash window shown while the main window starts, and the about window.
#include <QDialog>
#include <QLabel>
#include <QListWidget>

class QTimer;
class QToolButton;

namespace kw::app {

// A centred label in Tahoma, navy, drawn over the picture; outlined in grey
// when asked (the footer). Clicks are reported when clickable.
class TfcLabel : public QLabel {
    Q_OBJECT
public:
    TfcLabel(const QString &text, int pixelHeight, bool bold, QWidget *parent);
    void setOutlined(bool on) { outlined_ = on; }
signals:
    void clicked();
protected:
    void paintEvent(QPaintEvent *) override;
    void mouseReleaseEvent(QMouseEvent *e) override;
private:
    bool outlined_ = false;
};

// Borderless, on top, shaped by its picture, centred on the screen; closes
// itself after 5000 ms (modal result OK) or on its close button.
class TfrmSplash : public QDialog {
    Q_OBJECT
public:
    explicit TfrmSplash(QWidget *parent = nullptr);
    QTimer *Timer1;
    QToolButton *btnClose;
public slots:
    void Timer1Timer();
    void btnCloseClick();
protected:
    void showEvent(QShowEvent *e) override;
    void paintEvent(QPaintEvent *) override;
private:
    QImage picture_;
};

// A link list: entries open their link when the left button is released
// over them; no visible selection.
class TLinkList : public QListWidget {
    Q_OBJECT
public:
    explicit TLinkList(QWidget *parent);
    void addLink(const QString &caption, int image, const QString &target);
protected:
    void mouseReleaseEvent(QMouseEvent *e) override;
};

class TfrmAbout : public QDialog {
    Q_OBJECT
public:
    explicit TfrmAbout(QWidget *parent = nullptr);

    // Sets the title from the executable's file version; raises
    // "No Version Info Available." when it has none.
    void FormShow();
    // The about window as the Help menu opens it: title set (may raise),
    // then shown modally.
    static int execAbout(QWidget *owner);

    TfcLabel *lblTitle;
    TfcLabel *fcLabel2;  // the footer
    QToolButton *SpeedButton1;
    TLinkList *lbLinksLeft;
    TLinkList *lbLinksRight;
    QString executable;  // empty: the running executable

public slots:
    void lblTitleClick();
    void fcLabel2Click();
    void SpeedButton1Click();
protected:
    void paintEvent(QPaintEvent *) override;
private:
    QImage picture_;
};

// The maker's notice in both footers.
QString makerNotice();

} // namespace kw::app
