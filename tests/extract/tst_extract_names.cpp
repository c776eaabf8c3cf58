// Safe names, free names for files and folders, and folder creation.
#include "ExtractFixture.h"
#include "extract/UtilFiles.h"

#include <QTemporaryDir>
#include <QtTest>
#include <unistd.h>

using namespace extractfix;

namespace {

const QString kUntitled = QString::fromUtf8(kTNEFUntitledAttachment);

QString rep(const QString &s, int n)
{
    return s.repeated(n);
}

// Puts the names in the folder: "name/" a folder, "name@" a dangling link,
// anything else an empty file.
bool populate(const QString &folder, const QStringList &names)
{
    for (QString name : names) {
        const QByteArray path = QFile::encodeName(folder + QLatin1Char('/'));
        if (name.endsWith(QLatin1Char('/'))) {
            name.chop(1);
            if (!QDir(folder).mkdir(name))
                return false;
        } else if (name.endsWith(QLatin1Char('@'))) {
            name.chop(1);
            if (::symlink("/nonexistent/target", (path + QFile::encodeName(name)).constData()) != 0)
                return false;
        } else if (!writeFile(folder + QLatin1Char('/') + name, "taken")) {
            return false;
        }
    }
    return true;
}

} // namespace

class TestNames : public QObject {
    Q_OBJECT
private slots:
    void safeName_data();
    void safeName();
    void uniqueName_data();
    void uniqueName();
    void missingArguments_data();
    void missingArguments();
    void createDir_data();
    void createDir();
};

void TestNames::safeName_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("expected");
    const QString e = QString::fromUtf8("\xC3\xA9");            // é, 2 bytes
    const QString smile = QString::fromUtf8("\xF0\x9F\x98\x80");  // 4 bytes, a surrogate pair

    QTest::newRow("plain") << "report.pdf" << "report.pdf";
    QTest::newRow("slash and colon") << "a/b:c.txt" << "abc.txt";
    QTest::newRow("x/y:z") << "x/y:z" << "xyz";
    QTest::newRow("absolute path") << "/etc/passwd" << "etcpasswd";
    QTest::newRow("parent traversal") << "../../etc/passwd" << "....etcpasswd";
    QTest::newRow("parent only") << "../" << kUntitled;
    QTest::newRow("dot") << "." << kUntitled;
    QTest::newRow("dot dot") << ".." << kUntitled;
    QTest::newRow("dot dot colon") << ":..:" << kUntitled;
    QTest::newRow("three dots stay") << "..." << "...";
    QTest::newRow("only separators") << "/:/:" << kUntitled;
    QTest::newRow("empty") << "" << kUntitled;
    QTest::newRow("NUL inside") << QString::fromUtf8("a\0b.txt", 7) << "ab.txt";
    QTest::newRow("NUL only") << QString::fromUtf8("\0\0", 2) << kUntitled;
    QTest::newRow("control characters stay") << "a\tb\nc\x1b.txt" << "a\tb\nc\x1b.txt";
    QTest::newRow("blanks and dots stay") << " .x. " << " .x. ";
    QTest::newRow("1000 bytes with extension") << rep("a", 996) + ".pdf" << rep("a", 251) + ".pdf";
    QTest::newRow("1000 bytes without extension") << rep("a", 1000) << rep("a", 255);
    QTest::newRow("slashes removed before the cut")
        << rep("a/", 200) + ".pdf" << rep("a", 200) + ".pdf";
    QTest::newRow("exactly 255 bytes") << rep("b", 251) + ".doc" << rep("b", 251) + ".doc";
    // 125 two-byte characters fill 250 of the 251 bytes left beside ".txt";
    // the 126th would need 252.
    QTest::newRow("two-byte characters at the cut") << rep(e, 200) + ".txt" << rep(e, 125) + ".txt";
    QTest::newRow("surrogate pairs at the cut") << rep(smile, 100) << rep(smile, 63);
    QTest::newRow("extension too long to keep")
        << "a." + rep("b", 300) << "a." + rep("b", 253);
    QTest::newRow("leading dot is no extension") << "." + rep("c", 300) << "." + rep("c", 254);
}

void TestNames::safeName()
{
    QFETCH(QString, title);
    QFETCH(QString, expected);
    const QString safe = UtilFileCreateSafeName(title);
    QCOMPARE(safe, expected);
    QVERIFY(safe.toUtf8().size() <= kUtilFileMaxNameBytes);
    // A cut never leaves half a character behind.
    QCOMPARE(QString::fromUtf8(safe.toUtf8()), safe);
}

void TestNames::uniqueName_data()
{
    QTest::addColumn<bool>("folder");
    QTest::addColumn<QStringList>("taken");
    QTest::addColumn<QString>("wanted");
    QTest::addColumn<uint>("firstCounter");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<uint>("counter");

    const QString e = QString::fromUtf8("\xC3\xA9");
    const QString long255 = rep("a", 255);
    QStringList tenTaken{long255};
    for (int n = 1; n <= 9; ++n)
        tenTaken << rep("a", 253) + QStringLiteral(" %1").arg(n);

    QTest::newRow("free file") << false << QStringList{} << "x.doc" << 0u << "x.doc" << 0u;
    QTest::newRow("file taken") << false << QStringList{"x.doc"} << "x.doc" << 0u << "x.doc 1" << 1u;
    QTest::newRow("file and first counter taken")
        << false << QStringList{"x.doc", "x.doc 1"} << "x.doc" << 0u << "x.doc 2" << 2u;
    QTest::newRow("first gap wins")
        << false << QStringList{"x.doc", "x.doc 2"} << "x.doc" << 0u << "x.doc 1" << 1u;
    QTest::newRow("a folder takes a file name")
        << false << QStringList{"report.pdf/"} << "report.pdf" << 0u << "report.pdf 1" << 1u;
    QTest::newRow("a dangling link takes a file name")
        << false << QStringList{"x.doc@"} << "x.doc" << 0u << "x.doc 1" << 1u;
    QTest::newRow("search continues from a counter")
        << false << QStringList{} << "x.doc" << 3u << "x.doc 3" << 3u;
    QTest::newRow("255 bytes taken") << false << QStringList{long255} << long255 << 0u
                                     << rep("a", 253) + " 1" << 1u;
    QTest::newRow("counter 10 takes one more byte")
        << false << tenTaken << long255 << 0u << rep("a", 252) + " 10" << 10u;
    // 127 two-byte characters and an "a": room for 253 bytes beside " 1"
    // holds only 126 of them, so the candidate is 254 bytes long.
    QTest::newRow("two-byte character at the counter's cut")
        << false << QStringList{rep(e, 127) + "a"} << rep(e, 127) + "a" << 0u
        << rep(e, 126) + " 1" << 1u;
    QTest::newRow("free name over the bound keeps its extension")
        << false << QStringList{} << rep("a", 300) + ".pdf" << 0u << rep("a", 251) + ".pdf" << 0u;

    QTest::newRow("free folder") << true << QStringList{} << "winmail.dat" << 0u
                                 << "winmail.dat Folder" << 0u;
    QTest::newRow("folder taken") << true << QStringList{"winmail.dat Folder/"} << "winmail.dat"
                                  << 0u << "winmail.dat Folder 1" << 1u;
    QTest::newRow("folder name taken by a file")
        << true << QStringList{"winmail.dat Folder", "winmail.dat Folder 1/"} << "winmail.dat"
        << 0u << "winmail.dat Folder 2" << 2u;
    QTest::newRow("bare name never used for a folder")
        << true << QStringList{} << "winmail.dat" << 0u << "winmail.dat Folder" << 0u;
    QTest::newRow("long folder base is cut for the suffix")
        << true << QStringList{} << rep("w", 250) << 0u << rep("w", 248) + " Folder" << 0u;
    QTest::newRow("long folder base, counted")
        << true << QStringList{rep("w", 248) + " Folder"} << rep("w", 250) << 0u
        << rep("w", 246) + " Folder 1" << 1u;
}

void TestNames::uniqueName()
{
    QFETCH(bool, folder);
    QFETCH(QStringList, taken);
    QFETCH(QString, wanted);
    QFETCH(uint, firstCounter);
    QFETCH(QString, expected);
    QFETCH(uint, counter);

    QTemporaryDir dir;
    QVERIFY(populate(dir.path(), taken));
    const QStringList before = listing(dir.path());
    Reports reports;
    UInt32 gotCounter = 12345;
    const QString found = folder
        ? UtilFileFindUniqueDir(dir.path(), wanted, firstCounter, &gotCounter)
        : UtilFileFindUniqueFile(dir.path(), wanted, firstCounter, &gotCounter);
    QCOMPARE(found, dir.path() + QLatin1Char('/') + expected);
    QCOMPARE(gotCounter, UInt32(counter));
    QVERIFY(FSPathLastComponent(found).toUtf8().size() <= kUtilFileMaxNameBytes);
    QVERIFY(reports.reports.empty());
    // A search only looks.
    QCOMPARE(listing(dir.path()), before);
}

void TestNames::missingArguments_data()
{
    QTest::addColumn<int>("call");
    QTest::addColumn<bool>("withFolder");
    QTest::addColumn<QString>("report");
    QTest::newRow("file, no folder") << 0 << false << "Parvane: inParentDir != NULL";
    QTest::newRow("file, no name") << 0 << true << "Parvane: inFileName != NULL";
    QTest::newRow("folder, no parent") << 1 << false << "Parvane: inParentDir != NULL";
    QTest::newRow("folder, no name") << 1 << true << "Parvane: inDirectoryName != NULL";
    QTest::newRow("create, no path") << 2 << false << "Parvane: inDir != NULL";
    QTest::newRow("search out of counters") << 3 << true << "";
}

void TestNames::missingArguments()
{
    QFETCH(int, call);
    QFETCH(bool, withFolder);
    QFETCH(QString, report);
    QTemporaryDir dir;
    const QString folder = withFolder ? dir.path() : QString();
    Reports reports;
    switch (call) {
    case 0: QVERIFY(UtilFileFindUniqueFile(folder, QString()).isNull()); break;
    case 1: QVERIFY(UtilFileFindUniqueDir(folder, QString()).isNull()); break;
    case 2: QVERIFY(!UtilFileCreateDir(QString())); break;
    case 3: QVERIFY(UtilFileFindUniqueFile(folder, "x", kUtilFileCounterEnd).isNull()); break;
    }
    QCOMPARE(reports.texts(), report.isEmpty() ? QStringList{} : QStringList{report});
}

void TestNames::createDir_data()
{
    QTest::addColumn<QString>("relative");
    QTest::addColumn<bool>("created");
    QTest::addColumn<QString>("report");
    QTest::addColumn<int>("status");
    QTest::newRow("parent exists") << "new" << true << "" << 0;
    QTest::newRow("parent missing") << "missing/new" << false << "Parvane: myBool == true"
                                    << int(dirNFErr);
    QTest::newRow("already there") << "existing" << false << "Parvane: myErr == 0 " << int(dupFNErr);
}

void TestNames::createDir()
{
    QFETCH(QString, relative);
    QFETCH(bool, created);
    QFETCH(QString, report);
    QFETCH(int, status);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("existing"));
    const QStringList before = listing(dir.path());
    Reports reports;
    OSErr err = 1;
    QCOMPARE(UtilFileCreateDir(dir.path() + "/" + relative, &err), created);
    QCOMPARE(int(err), status);
    if (created) {
        QVERIFY(FSIsFolder(dir.path() + "/" + relative));
        QVERIFY(reports.reports.empty());
    } else {
        QCOMPARE(listing(dir.path()), before);
        QCOMPARE(reports.texts(), QStringList{report});
        if (status == dupFNErr) {
            QVERIFY(reports.reports[0].hasValue);
            QCOMPARE(reports.reports[0].value, (long long)dupFNErr);
        }
    }
}

QTEST_GUILESS_MAIN(TestNames)
#include "tst_extract_names.moc"
