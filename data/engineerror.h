#pragma once
// The table engine's exception class: carries the engine's own message text,
// which the application shows unchanged in its default error handler.
#include <QString>
#include <stdexcept>

namespace kw::data {

class EngineError : public std::runtime_error {
public:
    explicit EngineError(const QString &message)
        : std::runtime_error(message.toStdString()), m_message(message) {}
    const QString &message() const { return m_message; }

private:
    QString m_message;
};

// Raised when a keyed table already holds a row with the same key.
class KeyViolation : public EngineError {
public:
    KeyViolation() : EngineError(QStringLiteral("Key violation.")) {}
};

} // namespace kw::data
