#pragma once
// Running the programs as a user's shell does, for the tests that check what
// they print and exit with.
#include <QByteArray>
#include <QList>
#include <QString>
#include <utility>

struct ShellRun {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// Runs a bash script in `dir` with parvane-cli's path in $CLI and the given
// variables set; waits at most two minutes.
ShellRun RunShell(const QString &dir, const QString &script,
                  const QList<std::pair<QString, QString>> &variables = {});
