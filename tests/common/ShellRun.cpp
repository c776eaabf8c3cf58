#include "ShellRun.h"

#include <QProcess>
#include <QProcessEnvironment>

ShellRun RunShell(const QString &dir, const QString &script, const QList<std::pair<QString, QString>> &variables)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("CLI"), QStringLiteral(PARVANE_CLI_PATH));
    for (const auto &[name, value] : variables)
        env.insert(name, value);
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(dir);
    process.start(QStringLiteral("bash"), {QStringLiteral("-c"), script});
    process.waitForFinished(120000);
    return {process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
}
