#pragma once
// Everything parvane-cli prints that came from a file (names, headers,
// texts, traces, JSON documents) and every path it prints passes through
// here, so that the sender's bytes cannot drive the user's terminal.
#include <QByteArray>
#include <cstddef>
#include <cstdio>

// What is being printed.
enum class CliShow {
    // One field of a line (a name, a header, a path): control characters are
    // shown as \xNN wherever the line goes, since a tab or a line feed would
    // also break the line up for a script.
    Field,
    // Running text (a body, the trace): exact unless it goes to a terminal.
    Text,
    // A JSON document: exact unless it goes to a terminal, where the
    // controls that JSON leaves unescaped are written as \u00NN.
    Json,
};

// True when `stream` is a terminal.
bool CliIsTerminal(std::FILE *stream);

// Shows bytes as `show` asks, for a terminal or not. On a terminal every
// C0 and C1 control (U+0080 to U+009F, in its UTF-8 form) but the tab and
// the line end of running text, DEL, and every byte that is not part of
// valid UTF-8 is written as \xNN (\u00NN in JSON). Fed in pieces, it keeps
// a character that a piece cuts apart until the next.
class CliEscaper {
public:
    CliEscaper(CliShow show, bool terminal) : m_show(show), m_terminal(terminal) {}
    QByteArray feed(const char *bytes, std::size_t size);
    // What an unfinished character or a last carriage return left.
    QByteArray finish();

private:
    void put(unsigned char b, QByteArray &out);
    void escape(unsigned char b, QByteArray &out) const;
    void dropPending(QByteArray &out);

    CliShow m_show;
    bool m_terminal;
    bool m_pendingCr = false;
    QByteArray m_pending;  // the bytes of an unfinished UTF-8 character
    int m_need = 0;        // how many more it needs
    unsigned char m_low = 0x80, m_high = 0xBF;  // the range of the next one
};

// `bytes` as `show` asks for printing on `stream`.
QByteArray CliEscape(const QByteArray &bytes, CliShow show, std::FILE *stream);
