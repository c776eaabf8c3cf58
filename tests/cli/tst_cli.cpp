// parvane-cli as a user runs it: real processes, real files, exit statuses.
#include "TnefBuilder.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QRegularExpression>
#include <QTest>

using namespace tnefbuild;

namespace {

struct Run {
    int exitCode = -1;
    QString out;
    QString err;
};

Run cli(const QStringList &args, const QString &shellPrefix = {})
{
    QProcess process;
    if (shellPrefix.isEmpty()) {
        process.start(QStringLiteral(PARVANE_CLI_PATH), args);
    } else {
        QStringList quoted;
        for (const QString &a : args)
            quoted << QLatin1Char('\'') + a + QLatin1Char('\'');
        process.start(QStringLiteral("/bin/sh"),
                      {QStringLiteral("-c"), shellPrefix + QStringLiteral("; exec '%1' %2")
                                                               .arg(QStringLiteral(PARVANE_CLI_PATH), quoted.join(' '))});
    }
    process.waitForFinished(120000);
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

QByteArray sha256(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(&file);
    return hash.result().toHex();
}

// Every file under `dir` with its hash, by path relative to `dir`.
QMap<QString, QByteArray> snapshot(const QString &dir)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(dir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files.insert(QDir(dir).relativeFilePath(path), sha256(path));
    }
    return files;
}

QString writeFile(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(bytes);
    return path;
}

QByteArray twoAttachments(int bigSize)
{
    return Tnef()
        .attach(attAttachTitle, QByteArray("big.bin", 8))
        .attach(attAttachData, QByteArray(bigSize, 'b'))
        .attach(attAttachment, MapiBlock().bytes())
        .attach(attAttachTitle, QByteArray("small.txt", 10))
        .attach(attAttachData, QByteArray("hello"))
        .attach(attAttachment, MapiBlock().bytes())
        .bytes();
}

// Runs a bash script in `dir`, with the program's path in $CLI.
Run shell(const QString &dir, const QString &script, QByteArray *rawOut = nullptr)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("CLI"), QStringLiteral(PARVANE_CLI_PATH));
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(dir);
    process.start(QStringLiteral("bash"), {QStringLiteral("-c"), script});
    process.waitForFinished(120000);
    const QByteArray out = process.readAllStandardOutput();
    if (rawOut)
        *rawOut = out;
    return {process.exitCode(), QString::fromUtf8(out), QString::fromUtf8(process.readAllStandardError())};
}

// A file whose attachment name comes from its title and has no MIME type.
QByteArray titled(const QByteArray &title)
{
    return Tnef().attach(attAttachTitle, title).attach(attAttachData, "payload")
        .attach(attAttachment, MapiBlock().bytes()).bytes();
}

} // namespace

class TestCli : public QObject {
    Q_OBJECT
private slots:
    void statuses_data();
    void statuses();
    void corpusExtractTwice();
    void corpusBodies_data();
    void corpusBodies();
    void fileSizeLimit();
    void standardInput();
    void hostileNames_data();
    void hostileNames();
    void inputsAndMessages_data();
    void inputsAndMessages();
};

void TestCli::statuses_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("stdoutHas");
    QTest::addColumn<QString>("stderrHas");
    QTest::newRow("list") << QStringList{"list", "@two"} << 0 << "131072\tbig.bin\n5\tsmall.txt\n" << "";
    QTest::newRow("not tnef") << QStringList{"list", "@text"} << 1 << ""
                              << "not.tnef: not a TNEF file (parser code -1)";
    QTest::newRow("one of two fails") << QStringList{"list", "@two", "@text"} << 1 << "==> " << "parser code -1";
    QTest::newRow("missing file") << QStringList{"list", "@missing"} << 1 << "" << "no such file (status -43)";
    QTest::newRow("no command") << QStringList{} << 2 << "" << "no COMMAND";
    QTest::newRow("unknown option") << QStringList{"list", "--nope", "@two"} << 2 << "" << "unknown option";
    QTest::newRow("missing folder") << QStringList{"extract", "-C", "@missing", "@two"} << 2 << ""
                                    << "is not an existing folder";
    QTest::newRow("bad folder mode") << QStringList{"extract", "--folder", "sometimes", "@two"} << 2 << "" << "--folder";
    QTest::newRow("help") << QStringList{"--help"} << 0 << "Usage: parvane-cli" << "";
    QTest::newRow("attributes") << QStringList{"attributes", "@two"} << 0 << "1\tAttachment Title\t8 bytes\tbig.bin.\n" << "";
    QTest::newRow("message") << QStringList{"message", "@msg"} << 0 << "Subject: Hi\\x1b\n\nBody line\n" << "";
    QTest::newRow("message json") << QStringList{"message", "--json", "@msg"} << 0
                                  << "{\"bodies\":[\"text\"],\"file\":" << "";
    QTest::newRow("list json, no headers") << QStringList{"list", "--json", "@two", "@two"} << 0
                                           << "\"attachments\":[{\"attachedMessage\":false,\"id\":1,\"name\":\"big.bin\"" << "";
    QTest::newRow("body as stored") << QStringList{"body", "--text", "@msg"} << 0 << "Body line\r\n" << "";
    QTest::newRow("no such body") << QStringList{"body", "--rtf", "@msg"} << 1 << "" << "msg.tnef: the message has no RTF body";
    QTest::newRow("body of one file") << QStringList{"body", "@msg", "@msg"} << 2 << "" << "body takes one FILE";
    QTest::newRow("meeting listed first") << QStringList{"list", "@meet"} << 0 << "\tTalk.ics\n5\tsmall.txt\n" << "";
    QTest::newRow("meeting extracted") << QStringList{"extract", "-C", "@dir", "@meet"} << 0
                                       << "meet.tnef Folder/Talk.ics\n" << "";
    QTest::newRow("no json trace") << QStringList{"trace", "--json", "@msg"} << 2 << "" << "unknown option";
    QTest::newRow("body beside a taken name") << QStringList{"extract", "--body", "@msg"} << 0 << "/message 1.txt\n" << "";
    QTest::newRow("no body unless asked") << QStringList{"extract", "--folder", "always", "@msg"} << 0 << "" << "";
}

void TestCli::statuses()
{
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QString, stdoutHas);
    QFETCH(QString, stderrHas);
    QTemporaryDir dir;
    const QString two = writeFile(dir, "two.tnef", twoAttachments(131072));
    const QString text = writeFile(dir, "not.tnef", "just some text\n");
    const QString msg = writeFile(dir, "msg.tnef", Tnef().message(attSubject, z0("Hi\x1b"))
                                                       .mapiProps(MapiBlock().unicode(0x1000, "Body line\r\n")).bytes());
    writeFile(dir, "message.txt", "taken");
    const MapiBlock times = MapiBlock().named(0x820D).systime(0x8001, 133541000000000000ULL)
                                .named(0x820E).systime(0x8002, 133541036000000000ULL);
    const QString meet = writeFile(dir, "meet.tnef", Tnef().message(attMessageClass, z0("IPM.Appointment"))
                                                         .message(attSubject, z0("Talk")).mapiProps(times)
                                                         .title(QByteArray("small.txt", 10)).data("hello")
                                                         .attachment(MapiBlock()).bytes());
    for (QString &arg : args) {
        arg.replace("@meet", meet).replace("@dir", dir.path());
        arg.replace("@two", two).replace("@text", text).replace("@missing", dir.filePath("missing")).replace("@msg", msg);
    }
    const Run run = cli(args);
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY2(run.out.contains(stdoutHas), qPrintable(run.out));
    QVERIFY2(run.err.contains(stderrHas), qPrintable(run.err));
    QVERIFY(!QFile::exists(dir.filePath("msg.tnef Folder/message.txt")));
}

void TestCli::corpusExtractTwice()
{
    if (!corpusAvailable())
        QSKIP("the shared corpus is not next to this checkout");
    QTemporaryDir out;
    QStringList files;
    for (const CorpusFile &file : corpusFiles())
        files << corpusDir() + QLatin1Char('/') + file.file;
    const Run first = cli(QStringList{"extract", "-C", out.path(), "--folder", "always"} + files);
    QCOMPARE(first.exitCode, 1);  // the damaged one
    for (const CorpusAttachment &a : corpusAttachments()) {
        const QString name = a.name.isEmpty() ? QStringLiteral("Untitled Attachment") : a.name;
        const QString path = out.filePath(a.file + " Folder/" + name);
        QVERIFY2(first.out.contains(path + '\n'), qPrintable(path));
        QCOMPARE(sha256(path), a.sha256);
    }
    const QMap<QString, QByteArray> before = snapshot(out.path());
    const Run second = cli(QStringList{"extract", "-C", out.path(), "--folder", "always"} + files);
    QCOMPARE(second.exitCode, 1);
    const QMap<QString, QByteArray> after = snapshot(out.path());
    for (auto it = before.cbegin(); it != before.cend(); ++it)
        QCOMPARE(after.value(it.key()), it.value());
    QVERIFY(second.out.contains(out.filePath("two-files.tnef Folder 1/README\n")));
    QCOMPARE(after.size(), 2 * before.size());
}

void TestCli::corpusBodies_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("body");
    QTest::addColumn<QByteArray>("sha256");
    QTest::addColumn<QString>("holds");
    if (!corpusAvailable())
        QSKIP("the shared corpus is not next to this checkout");
    for (const CorpusBody &b : tnefbuild::corpusBodies())
        QTest::addRow("%s %s", qPrintable(b.file), qPrintable(b.body)) << b.file << b.body << b.sha256 << b.holds;
}

// Each body byte for byte, on standard output and extracted; and the HTML
// an RTF body made from HTML carries.
void TestCli::corpusBodies()
{
    QFETCH(QString, file);
    QFETCH(QString, body);
    QFETCH(QByteArray, sha256);
    QFETCH(QString, holds);
    const QString path = corpusDir() + QLatin1Char('/') + file;
    QProcess process;
    process.start(QStringLiteral(PARVANE_CLI_PATH), {"body", "--" + body, path});
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitCode(), 0);
    QCOMPARE(QCryptographicHash::hash(process.readAllStandardOutput(), QCryptographicHash::Sha256).toHex(), sha256);
    // Plain text is extracted only from a message that has no other body.
    QTemporaryDir out;
    QCOMPARE(cli({"extract", "--body", "--folder", "never", "-C", out.path(), path}).exitCode, 0);
    const QList<CorpusBody> rows = tnefbuild::corpusBodies();
    const bool onlyBody = std::count_if(rows.cbegin(), rows.cend(), [&](const CorpusBody &b) { return b.file == file; }) == 1;
    const QString extracted = out.filePath("message." + (body == "text" ? QStringLiteral("txt") : body));
    QCOMPARE(QFile::exists(extracted), body != "text" || onlyBody);
    if (body != "text")
        QCOMPARE(::sha256(extracted), sha256);
    QCOMPARE(QFile::exists(out.filePath("message.html")), body == "html" || holds == "html");
    if (holds != "html")
        return;
    process.start(QStringLiteral(PARVANE_CLI_PATH), {"body", "--html", path});
    QVERIFY(process.waitForFinished(60000));
    const QByteArray html = process.readAllStandardOutput();
    QVERIFY(html.startsWith("<html"));
    QVERIFY(!html.contains("\\htmlrtf") && !html.contains("{\\*"));
}

void TestCli::fileSizeLimit()
{
    // ulimit -f counts 512-byte blocks: 64 of them let the small file through
    // and stop the big one part way.
    QTemporaryDir dir;
    const QString input = writeFile(dir, "limit.tnef", twoAttachments(200000));
    QDir().mkpath(dir.filePath("out"));
    const Run run = cli({"extract", "-C", dir.filePath("out"), "--folder", "never", input},
                        QStringLiteral("ulimit -f 64"));
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.contains("cannot write \"big.bin\""), qPrintable(run.err));
    QCOMPARE(QDir(dir.filePath("out")).entryList(QDir::Files | QDir::Hidden), QStringList{"small.txt"});
    QCOMPARE(sha256(dir.filePath("out/small.txt")), QCryptographicHash::hash("hello", QCryptographicHash::Sha256).toHex());
}

void TestCli::standardInput()
{
    QTemporaryDir dir;
    const QString input = writeFile(dir, "in.tnef", twoAttachments(10));
    QProcess process;
    process.setStandardInputFile(input);
    process.setWorkingDirectory(dir.path());
    process.start(QStringLiteral(PARVANE_CLI_PATH), {"extract", "--folder", "never", "-"});
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitCode(), 0);
    QVERIFY(QFile::exists(dir.filePath("big.bin")));
    QVERIFY(QFile::exists(dir.filePath("small.txt")));
}

void TestCli::hostileNames_data()
{
    // The title bytes, or a Unicode long name given as UTF-16 units.
    QTest::addColumn<QByteArray>("title");
    QTest::addColumn<QByteArray>("unicodeName");
    QTest::addColumn<QString>("expected");
    QTest::newRow("dot dot") << QByteArray("../../escape.txt", 17) << QByteArray() << "....escape.txt";
    QTest::newRow("absolute") << QByteArray("/etc/passwd", 12) << QByteArray() << "etcpasswd";
    QTest::newRow("only dots") << QByteArray("..", 3) << QByteArray() << "Untitled Attachment";
    QTest::newRow("control") << QByteArray("a\nb\x1b[2J.txt", 12) << QByteArray() << "a\nb\x1b[2J.txt";
    QTest::newRow("long") << QByteArray(1000, 'n') + ".pdf" << QByteArray() << QString(251, 'n') + ".pdf";
    QTest::newRow("existing folder") << QByteArray("taken", 6) << QByteArray() << "taken 1";
    QTest::newRow("invalid 1252") << QByteArray("x\x81\x8d.txt", 8) << QByteArray() << QString::fromUtf8("x\uFFFD\uFFFD.txt");
    QTest::newRow("lone surrogate") << QByteArray() << QByteArray("a\0\x00\xd8" "b\0\0\0", 8)
                                    << QString::fromUtf8("a\uFFFDb");
    QTest::newRow("unicode slash") << QByteArray() << QByteArray("/\0.\0.\0/\0x\0\0\0", 12) << "..x";
}

void TestCli::hostileNames()
{
    QFETCH(QByteArray, title);
    QFETCH(QByteArray, unicodeName);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    MapiBlock block;
    if (!unicodeName.isEmpty())
        block.counted(PT_UNICODE, PR_ATTACH_LONG_FILENAME, {unicodeName});
    const QString input = writeFile(dir, "hostile.tnef", Tnef()
        .attach(attAttachTitle, title)
        .attach(attAttachData, QByteArray("payload"))
        .attach(attAttachment, block.bytes())
        .bytes());
    const QString out = dir.filePath("out/inner");
    QDir().mkpath(out + "/taken");
    writeFile(dir, "out/keep.txt", "mine");
    const Run run = cli({"extract", "-C", out, "--folder", "never", input});
    QCOMPARE(run.exitCode, 0);
    // One new file, directly in the destination, and nothing else touched.
    const QMap<QString, QByteArray> files = snapshot(dir.filePath("out"));
    QCOMPARE(files.size(), 2);
    QCOMPARE(files.value("keep.txt"), QCryptographicHash::hash("mine", QCryptographicHash::Sha256).toHex());
    QCOMPARE(files.value("inner/" + expected), QCryptographicHash::hash("payload", QCryptographicHash::Sha256).toHex());
}

void TestCli::inputsAndMessages_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("stdoutHas");
    QTest::addColumn<QString>("stderrMatches");  // the whole of it
    const QByteArray listed("10\tbig.bin\n5\tsmall.txt\n");
    const auto exact = [](const char *text) { return QRegularExpression::escape(QString::fromUtf8(text)); };
    QTest::newRow("symbolic link") << "ln -s two.tnef link.tnef && \"$CLI\" list link.tnef" << 0 << listed << "";
    QTest::newRow("/dev/stdin, redirected") << "\"$CLI\" list /dev/stdin < two.tnef" << 0 << listed << "";
    QTest::newRow("/dev/stdin, piped") << "cat two.tnef | \"$CLI\" list /dev/stdin" << 0 << listed << "";
    QTest::newRow("process substitution") << "\"$CLI\" list <(cat two.tnef)" << 0 << listed << "";
    QTest::newRow("FIFO") << "mkfifo f && { cat two.tnef > f & } && \"$CLI\" list f" << 0 << listed << "";
    const QString notUtf8("d=$(printf 'd\\376') && mkdir \"$d\" && cp two.tnef \"$d/$(printf 'w\\377')\" && ");
    QTest::newRow("names not UTF-8, listed") << notUtf8 + "\"$CLI\" list \"$d\"/* two.tnef" << 0
                                             << QByteArray("==> d\xfe/w\xff <==\n10\tbig.bin\n") << "";
    QTest::newRow("names not UTF-8, extracted") << notUtf8 + "\"$CLI\" extract \"$d\"/*" << 0
                                                << QByteArray("/d\xfe/w\xff Folder/small.txt\n") << "";
    QTest::newRow("a folder") << "\"$CLI\" list folder" << 1 << QByteArray()
                              << exact("parvane-cli: folder: a folder, not a file (status -1302)\n");
    QTest::newRow("a device") << "\"$CLI\" list /dev/null" << 1 << QByteArray()
                              << exact("parvane-cli: /dev/null: a device, not a file (status -5025)\n");
    QTest::newRow("closed input") << "\"$CLI\" list - <&-" << 1 << QByteArray() << exact("parvane-cli: -: standard input is closed\n");
    QTest::newRow("damaged") << "head -c 40 two.tnef > cut.tnef && \"$CLI\" list cut.tnef" << 1 << QByteArray()
                             << exact("parvane-cli: cut.tnef: truncated or damaged TNEF file (parser code -1)\n");
    QTest::newRow("full output") << "\"$CLI\" list two.tnef > /dev/full" << 1 << QByteArray() << exact("parvane-cli: write error\n");
    QTest::newRow("closed output") << "\"$CLI\" list two.tnef >&-" << 1 << QByteArray() << exact("parvane-cli: write error\n");
    // The writer logs a name without a MIME type; only -v lets that through.
    QTest::newRow("quiet") << "\"$CLI\" extract -C folder odd.tnef" << 0 << QByteArray("folder/x.qqqq\n") << "";
    QTest::newRow("verbose") << "\"$CLI\" extract -v -C folder odd.tnef" << 0 << QByteArray("folder/x.qqqq\n")
                             << "Parvane Error -- at TNEFFileSave.cpp, line \\d+.\n    ICMapFilename\\(\\) returned -666.\n";
    // The log must not land in a file opened in place of the closed error output.
    // A crafted name must not drive a terminal (script(1) gives the program
    // one); piped, the trace is exact.
    const QByteArray title("a\x1b]0;pwned\x07\r\xc2\x9b" "b");
    QTest::newRow("trace, piped") << "\"$CLI\" trace ctl.tnef" << 0 << "        value = " + title + '\0' + '\n' << "";
    QTest::newRow("trace, on a terminal") << "script -qec '\"$CLI\" trace ctl.tnef' /dev/null" << 0
                                          << QByteArray("        value = a\\x1b]0;pwned\\x07\\x0d\\xc2\\x9bb\\x00\r\n") << "";
    QTest::newRow("closed error output") << "\"$CLI\" extract -v -C folder odd.tnef <&- 2>&- >/dev/null; "
                                            "printf payload | cmp - folder/x.qqqq && echo same"
                                         << 0 << QByteArray("same") << "";
}

void TestCli::inputsAndMessages()
{
    QFETCH(QString, script);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, stdoutHas);
    QFETCH(QString, stderrMatches);
    QTemporaryDir dir;
    writeFile(dir, "two.tnef", twoAttachments(10));
    writeFile(dir, "odd.tnef", titled(QByteArray("x.qqqq", 7)));
    writeFile(dir, "ctl.tnef", Tnef().mapiProps(MapiBlock().string8(0x0037, z0("a\x1b]0;pwned\x07\r\xc2\x9b" "b"))).bytes());
    QDir(dir.path()).mkdir("folder");
    QByteArray out;
    const Run run = shell(dir.path(), script, &out);
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY2(out.contains(stdoutHas), out.constData());
    QVERIFY2(QRegularExpression(QRegularExpression::anchoredPattern(stderrMatches)).match(run.err).hasMatch(),
             qPrintable(run.err));
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
