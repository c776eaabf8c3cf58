#pragma once
// parvane-cli unwrap: a mail, an mbox or a maildir with each winmail.dat
// part turned back into the parts it holds.
#include <QString>
#include <QStringList>

struct CliUnwrapOptions {
    enum Mode { Mail, Mbox, Maildir };
    Mode mode = Mail;
    QString input;   // the mail ("-" or empty: standard input), the mbox or the maildir
    QString output;  // -o: empty for standard output
    bool verbose = false;
    bool help = false;
};

// Reads unwrap's arguments (those after the command) into *options: empty,
// or the usage error to show.
QString CliUnwrapParse(const QStringList &args, CliUnwrapOptions *options);

// Runs the command; the answer is the exit status, from <sysexits.h>.
int CliUnwrapRun(const CliUnwrapOptions &options);
