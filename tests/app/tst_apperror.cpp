// The application's default error handler: an exception that reaches the
// event loop is shown with its message and the program runs on.
#include "app/apperror.h"
#include "data/engine/engineerror.h"

#include <QTest>
#include <QTimer>
#include <stdexcept>

using namespace kw::app;

namespace {

class Recorder : public UserPrompts {
public:
    QStringList messages;
    void showMessage(const QString &text) override { messages << text; }
    bool confirm(const QString &) override { return true; }
};

class Thrower : public QObject {
public:
    bool engine = true;
    bool event(QEvent *e) override
    {
        if (e->type() == QEvent::User) {
            if (engine)
                throw kw::data::EngineError(QStringLiteral("Field 'HR Holder' must have a value"));
            throw std::runtime_error("Invalid argument to date encode");
        }
        return QObject::event(e);
    }
};

} // namespace

class TestAppError : public QObject {
    Q_OBJECT
private slots:
    void exceptionsReachTheDefaultHandler()
    {
        Recorder rec;
        setPrompts(&rec);
        Thrower t;
        QCoreApplication::postEvent(&t, new QEvent(QEvent::User));
        QCoreApplication::sendPostedEvents(&t);
        t.engine = false;
        QCoreApplication::postEvent(&t, new QEvent(QEvent::User));
        QCoreApplication::sendPostedEvents(&t);
        QCOMPARE(rec.messages, (QStringList{QStringLiteral("Field 'HR Holder' must have a value"),
                                            QStringLiteral("Invalid argument to date encode")}));
        // The program runs on: events are still delivered.
        bool fired = false;
        QTimer::singleShot(0, this, [&] { fired = true; });
        QTRY_VERIFY(fired);
        setPrompts(nullptr);
    }

    void guardedReportsAndReturns()
    {
        Recorder rec;
        setPrompts(&rec);
        QVERIFY(guarded([] {}));
        QVERIFY(!guarded([] { throw kw::data::KeyViolation(); }));
        QCOMPARE(rec.messages, QStringList{QStringLiteral("Key violation.")});
        setPrompts(nullptr);
        QCOMPARE(applicationTitle(), QStringLiteral("Kitwarden 2.0"));
    }
};

int main(int argc, char **argv)
{
    TApplication app(argc, argv);
    TestAppError t;
    return QTest::qExec(&t, argc, argv);
}
#include "tst_apperror.moc"
