#include "core/error.h"

namespace kw::core {

namespace {

QString escaped(const QString &text, bool keepLineBreaks)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        switch (u) {
        case u'\0': out += QLatin1String("\\0"); break;
        case u'\t': out += QLatin1String("\\t"); break;
        case u'\r': out += QLatin1String("\\r"); break;
        case u'\n':
            if (keepLineBreaks)
                out += c;
            else
                out += QLatin1String("\\n");
            break;
        default:
            if (u < 0x20 || u == 0x7F || (u >= 0x80 && u < 0xA0))
                out += QStringLiteral("\\x%1").arg(int(u), 2, 16, QLatin1Char('0'));
            else
                out += c;
        }
    }
    return out;
}

// what() stays whole for code that only knows std::exception: the same
// text with its line breaks, anything else escaped.
std::string whatOf(const QString &message)
{
    return escaped(message, true).toStdString();
}

} // namespace

Error::Error(const QString &message) : std::runtime_error(whatOf(message)), m_message(message) {}

QString messageOf(const std::exception &e)
{
    if (const auto *own = dynamic_cast<const Error *>(&e))
        return own->message();
    return QString::fromUtf8(e.what());
}

QString messageOf(std::exception_ptr error)
{
    try {
        std::rethrow_exception(error);
    } catch (const std::exception &e) {
        return messageOf(e);
    } catch (...) {
        return QStringLiteral("Unknown error");
    }
}

QString currentMessage()
{
    return messageOf(std::current_exception());
}

QString printable(const QString &text)
{
    // A value's own line break could pass for a line of the message.
    return escaped(text, false);
}

QString printableLines(const QString &text)
{
    return escaped(text, true);
}

QString printable(const QByteArray &bytes)
{
    return printable(QString::fromLatin1(bytes));
}

} // namespace kw::core
