#include "CliOutput.h"

#include <unistd.h>

bool CliIsTerminal(std::FILE *stream)
{
    return ::isatty(::fileno(stream)) == 1;
}

void CliEscaper::escape(unsigned char b, QByteArray &out) const
{
    out += m_show == CliShow::Json ? "\\u00" : "\\x";
    out += QByteArray::number(b, 16).rightJustified(2, '0');
}

// A sequence cut short is no character: each of its bytes is shown.
void CliEscaper::dropPending(QByteArray &out)
{
    for (const char c : std::as_const(m_pending))
        escape(static_cast<unsigned char>(c), out);
    m_pending.clear();
    m_need = 0;
}

void CliEscaper::put(unsigned char b, QByteArray &out)
{
    if (m_pendingCr) {
        m_pendingCr = false;
        if (b == '\n') {
            out += "\r\n";
            return;
        }
        escape('\r', out);
    }
    if (m_need > 0) {
        if (b >= m_low && b <= m_high) {
            m_pending += char(b);
            m_low = 0x80;
            m_high = 0xBF;
            if (--m_need > 0)
                return;
            // The C1 controls: U+0080 to U+009F.
            const bool c1 = static_cast<unsigned char>(m_pending[0]) == 0xC2
                && static_cast<unsigned char>(m_pending[1]) <= 0x9F;
            if (!c1)
                out += m_pending;
            else if (m_show == CliShow::Json)
                escape(static_cast<unsigned char>(m_pending[1]), out);
            else
                dropPending(out);
            m_pending.clear();
            return;
        }
        dropPending(out);
    }
    if (b < 0x20 || b == 0x7F) {
        const bool lineBreak = b == '\t' || b == '\n' || b == '\r';
        if (m_show == CliShow::Field)
            escape(b, out);
        else if (!m_terminal || (lineBreak && b != '\r'))
            out += char(b);
        else if (b == '\r')
            m_pendingCr = true;  // a line end only when a line feed follows
        else
            escape(b, out);
        return;
    }
    if (b < 0x80 || !m_terminal) {
        out += char(b);
        return;
    }
    // The first byte of a UTF-8 character, and what its second may be so
    // that the character is neither overlong, a surrogate nor past U+10FFFF.
    m_low = 0x80;
    m_high = 0xBF;
    if (b >= 0xC2 && b <= 0xDF) {
        m_need = 1;
    } else if (b >= 0xE0 && b <= 0xEF) {
        m_need = 2;
        m_low = b == 0xE0 ? 0xA0 : 0x80;
        m_high = b == 0xED ? 0x9F : 0xBF;
    } else if (b >= 0xF0 && b <= 0xF4) {
        m_need = 3;
        m_low = b == 0xF0 ? 0x90 : 0x80;
        m_high = b == 0xF4 ? 0x8F : 0xBF;
    } else {
        escape(b, out);
        return;
    }
    m_pending = QByteArray(1, char(b));
}

QByteArray CliEscaper::feed(const char *bytes, std::size_t size)
{
    QByteArray out;
    out.reserve(qsizetype(size));
    for (std::size_t i = 0; i < size; ++i)
        put(static_cast<unsigned char>(bytes[i]), out);
    return out;
}

QByteArray CliEscaper::finish()
{
    QByteArray out;
    if (m_pendingCr)
        escape('\r', out);
    m_pendingCr = false;
    dropPending(out);
    return out;
}

QByteArray CliEscape(const QByteArray &bytes, CliShow show, std::FILE *stream)
{
    CliEscaper escaper(show, CliIsTerminal(stream));
    return escaper.feed(bytes.constData(), size_t(bytes.size())) + escaper.finish();
}
