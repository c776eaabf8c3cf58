// The attribute names and the size text, as the attribute list, the
// attachment list and the command line show them.
#include "tnef/TNEFText.h"

#include <QtTest>

class TestAttributeText : public QObject {
    Q_OBJECT
private slots:
    void sizeText_data();
    void sizeText();
    void attributeName_data();
    void attributeName();
};

void TestAttributeText::sizeText_data()
{
    QTest::addColumn<quint32>("size");
    QTest::addColumn<QString>("text");
    QTest::newRow("nothing") << 0u << QStringLiteral("0 bytes");
    QTest::newRow("5120 is still bytes") << 5120u << QStringLiteral("5120 bytes");
    QTest::newRow("5121 is KB") << 5121u << QStringLiteral("5 KB");
    QTest::newRow("KB are truncated") << 10239u << QStringLiteral("9 KB");
    QTest::newRow("5 MB is still KB") << 5242880u << QStringLiteral("5120 KB");
    QTest::newRow("5 MB and a byte is MB") << 5242881u << QStringLiteral("5 MB");
    QTest::newRow("largest length") << 4294967295u << QStringLiteral("4095 MB");
}

void TestAttributeText::sizeText()
{
    QFETCH(quint32, size);
    QFETCH(QString, text);
    QCOMPARE(TNEFTextCreateSizeText(size), text);
}

void TestAttributeText::attributeName_data()
{
    QTest::addColumn<quint32>("word");
    QTest::addColumn<QString>("name");  // null: no name
    QTest::newRow("Null is a name") << 0x00000000u << QStringLiteral("Null");
    QTest::newRow("priority") << 0x0004800Du << QStringLiteral("Priority");
    QTest::newRow("priority type, other format") << 0x0001800Du << QString();
    QTest::newRow("last row") << 0x00069007u << QStringLiteral("OEM Codepage");
    QTest::newRow("gap in the 0x9000 range") << 0x00069006u << QString();
    QTest::newRow("message class with binary format") << 0x00060006u << QString();
    QTest::newRow("data format alone") << 0x00060000u << QStringLiteral("Owner");
}

void TestAttributeText::attributeName()
{
    QFETCH(quint32, word);
    QFETCH(QString, name);
    const char *found = TNEFTextGetAttributeName(word);
    QCOMPARE(found == nullptr, name.isNull());
    if (found)
        QCOMPARE(QString::fromLatin1(found), name);
}

QTEST_APPLESS_MAIN(TestAttributeText)
#include "tst_ui_attributetext.moc"
