// Safe names and free names for files and folders.
#include "ExtractFixture.h"
#include "extract/UtilFiles.h"
#include "platform/FSFolder.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace extractfix;

namespace {
const QString kUntitled = QString::fromUtf8(kTNEFUntitledAttachment);
const QString e = QString::fromUtf8("\xC3\xA9");  // é, 2 bytes in UTF-8
QString rep(const char *s, int n) { return QString::fromUtf8(s).repeated(n); }
}

class TestNames : public QObject {
    Q_OBJECT
private slots:
    void safeName_data();
    void safeName();
    void uniqueName_data();
    void uniqueName();
};

void TestNames::safeName_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("expected");
    QTest::newRow("dot") << "." << kUntitled;
    QTest::newRow("empty") << "" << kUntitled;
    QTest::newRow("slash, colon and NUL") << QString::fromUtf8("a/b:c\0d.txt", 11) << "abcd.txt";
    QTest::newRow("1000 bytes without extension") << rep("a", 1000) << rep("a", 255);
    // 125 two-byte characters fill 250 of the 251 bytes beside ".txt"; the 126th would need 252.
    QTest::newRow("two-byte characters at the cut") << e.repeated(200) + ".txt" << e.repeated(125) + ".txt";
    QTest::newRow("surrogate pairs at the cut") << rep("\xF0\x9F\x98\x80", 100) << rep("\xF0\x9F\x98\x80", 63);
    QTest::newRow("extension too long to keep") << "a." + rep("b", 300) << "a." + rep("b", 253);
    QTest::newRow("leading dot is no extension") << "." + rep("c", 300) << "." + rep("c", 254);
}

void TestNames::safeName()
{
    QFETCH(QString, title);
    QFETCH(QString, expected);
    QCOMPARE(UtilFileCreateSafeName(title), expected);
}

void TestNames::uniqueName_data()
{
    QTest::addColumn<bool>("isFolder");
    QTest::addColumn<QStringList>("taken");  // "name/" a folder, "name@" a dangling link, else a file
    QTest::addColumn<QString>("wanted");
    QTest::addColumn<uint>("firstCounter");
    QTest::addColumn<QString>("expected");  // null: no name found
    QTest::addColumn<uint>("counter");

    const QString long255 = rep("a", 255);
    QTest::newRow("a folder, a dangling link and a file take names") << false << QStringList{"x.doc/", "x 1.doc@", "x 2.doc"}
                                                                      << "x.doc" << 0u << "x 3.doc" << 3u;
    QTest::newRow("before the last extension") << false << QStringList{"a.tar.gz"} << "a.tar.gz" << 0u << "a.tar 1.gz" << 1u;
    QTest::newRow("leading dot is no extension") << false << QStringList{".profile"} << ".profile" << 0u
                                                 << ".profile 1" << 1u;
    QTest::newRow("cut keeps the extension") << false << QStringList{rep("a", 251) + ".pdf"} << rep("a", 251) + ".pdf"
                                             << 0u << rep("a", 249) + " 1.pdf" << 1u;
    QTest::newRow("extension too long to keep") << false << QStringList{"a." + rep("b", 253)} << "a." + rep("b", 253)
                                                << 0u << "a." + rep("b", 251) + " 1" << 1u;
    QTest::newRow("out of counters") << false << QStringList{} << "x" << uint(kUtilFileCounterEnd) << QString() << 12345u;
    QTest::newRow("255 bytes taken") << false << QStringList{long255} << long255 << 0u << rep("a", 253) + " 1" << 1u;
    QTest::newRow("from counter 10, one more byte") << false << QStringList{} << long255 << 10u << rep("a", 252) + " 10"
                                                    << 10u;
    // Room for 253 bytes beside " 1" holds only 126 two-byte characters.
    QTest::newRow("two-byte character at the counter's cut") << false << QStringList{e.repeated(127) + "a"}
        << e.repeated(127) + "a" << 0u << e.repeated(126) + " 1" << 1u;
    QTest::newRow("free name over the bound keeps its extension")
        << false << QStringList{} << rep("a", 300) + ".pdf" << 0u << rep("a", 251) + ".pdf" << 0u;
    QTest::newRow("folder name taken by a file") << true << QStringList{"winmail.dat Folder", "winmail.dat Folder 1/"}
        << "winmail.dat" << 0u << "winmail.dat Folder 2" << 2u;
    QTest::newRow("long folder base, counted") << true << QStringList{rep("w", 248) + " Folder"} << rep("w", 250)
                                               << 0u << rep("w", 246) + " Folder 1" << 1u;
}

void TestNames::uniqueName()
{
    QFETCH(bool, isFolder);
    QFETCH(QStringList, taken);
    QFETCH(QString, wanted);
    QFETCH(uint, firstCounter);
    QFETCH(QString, expected);
    QFETCH(uint, counter);
    QTemporaryDir dir;
    FSFolder folder;
    QCOMPARE(folder.open(dir.path()), noErr);
    for (QString name : taken) {
        const QString path = dir.filePath(name.chopped(name.endsWith('/') || name.endsWith('@') ? 1 : 0));
        QVERIFY(name.endsWith('/') ? QDir().mkdir(path)
                : name.endsWith('@') ? QFile::link("/nonexistent/target", path) : writeFile(path, "taken"));
    }
    const QStringList before = listing(dir.path());
    UInt32 gotCounter = 12345;
    const QString found = isFolder ? UtilFileFindUniqueDir(folder, wanted, firstCounter, &gotCounter)
                                   : UtilFileFindUniqueFile(folder, wanted, firstCounter, &gotCounter);
    QCOMPARE(found, expected);
    QCOMPARE(gotCounter, UInt32(counter));
    QCOMPARE(listing(dir.path()), before);  // a search only looks
}

QTEST_GUILESS_MAIN(TestNames)
#include "tst_extract_names.moc"
