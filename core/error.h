#pragma once
// The one base of the program's exceptions. A message is a QString from the
// place that raises it to the place that shows it: a C string would end it
// at the first NUL byte, and a damaged value quoted in a message may hold
// one. Values read from damaged files are quoted through printable(), so
// that what they hold cannot hide the rest of the message either.
#include <QString>
#include <exception>
#include <stdexcept>

namespace kw::core {

class Error : public std::runtime_error {
public:
    explicit Error(const QString &message);
    const QString &message() const { return m_message; }

private:
    QString m_message;
};

// The text of any exception: an Error's message as raised, else what()
// (read as UTF-8); "Unknown error" for what is not a std::exception.
QString messageOf(const std::exception &e);
QString messageOf(std::exception_ptr error);
// The same for the exception being handled, inside a catch block.
QString currentMessage();

// text with every control character, line breaks included, written as an
// escape ("\0", "\n", "\x1b"), for quoting a value read from a file that
// may be damaged.
QString printable(const QString &text);
// The same for raw bytes, read as Latin-1.
QString printable(const QByteArray &bytes);
// A whole message for a terminal or a log: its line breaks kept, every
// other control character escaped.
QString printableLines(const QString &text);

} // namespace kw::core
