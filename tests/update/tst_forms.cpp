#include <QtTest>
class TstForms : public QObject { Q_OBJECT };
QTEST_MAIN(TstForms)
#include "tst_forms.moc"
