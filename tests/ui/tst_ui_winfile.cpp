// The document window on the offscreen platform: a new window, the two lists
// and their detail fields, saving through the Save panel, and closing.
#include "TnefBuilder.h"
#include "tnef/TNEFParse.h"
#include "ui/TNEFWinFile.h"
#include "ui/TNEFWinFileListAttribute.h"
#include "ui/TNEFWinFileListFile.h"
#include "ui/TNEFWinFileSave.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QPointer>
#include <QPushButton>
#include <QtTest>

using namespace tnefbuild;

namespace {


Tnef withAttachment(Tnef t, const QByteArray &contents) { return t.data(contents).attachment(MapiBlock().longValue(0x3705, 1)); }

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

QList<QLineEdit *> fileFields(TNEFWinFile *w) { return {w->form().fileName_133, w->form().fileSize_135}; }
QList<QLineEdit *> attributeFields(TNEFWinFile *w)
{
    return {w->form().attributeType_140, w->form().attributeSize_142, w->form().attributeData_144};
}

QStringList texts(const QList<QLineEdit *> &fields)
{
    QStringList texts;
    for (const QLineEdit *field : fields)
        texts << field->text();
    return texts;
}

QStringList rowTexts(const QTreeView *list)
{
    QStringList texts;
    for (int r = 0; r < list->model()->rowCount(); ++r)
        texts << list->model()->index(r, 0).data().toString();
    return texts;
}

DataBrowser *browser(const QTreeView *list) { return qobject_cast<DataBrowser *>(list->model()); }

// Clicks a row the way a user does; with Ctrl on a selected row, deselects it.
void clickRow(QTreeView *list, int row, Qt::KeyboardModifiers modifiers = {})
{
    QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers, list->visualRect(list->model()->index(row, 0)).center());
}

// The attribute list, with its tab shown as the user would.
QTreeView *attributeList(TNEFWinFile *w)
{
    QTabBar *tabs = w->form().tabControl_128->tabBar();
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(1).center());
    return w->form().attributeList_138;
}

} // namespace

class TestWinFile : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void newWindow();
    void attachmentShownAndProposed_data();
    void attachmentShownAndProposed();
    void selectionFollowsTheLastRow_data();
    void selectionFollowsTheLastRow();
    void saveThroughDialog_data();
    void saveThroughDialog();
    void realSaveDialog();
    void closingDestroysOnlyItsDocument();

private:
    QString write(const QString &name, const QByteArray &bytes)
    {
        QFile f(m_dir->filePath(name));
        return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size() ? f.fileName() : QString();
    }
    // The shown window of the file at `path`, or null when it does not parse.
    TNEFWinFile *show(const QString &path)
    {
        TNEFFile *doc = TNEFFileOpen(path, nullptr);
        if (!doc || TNEFParseFileList(doc->forkRefNum, &doc->fileList, &doc->attributeList) != 0) {
            TNEFFileDestroy(doc);
            return nullptr;
        }
        doc->winFile = TNEFWinFileCreate(doc);
        TNEFWinFileShow(doc->winFile);
        return doc->winFile;
    }
    QTemporaryDir *m_dir = nullptr;
};

void TestWinFile::init()
{
    m_dir = new QTemporaryDir;
}

void TestWinFile::cleanup()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        w->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    TNEFWinFileSaveSetDialogHook(nullptr);
    delete m_dir;
    QVERIFY2(!gTNEFFileList, "a document outlived its window");
}

void TestWinFile::newWindow()
{
    TNEFWinFile *w = show(write("new.dat", withAttachment(Tnef().message(attSubject, z0("Hi")).title(z0("a.txt")), "a").bytes()));
    QVERIFY(w);
    const Ui::WinFile &form = w->form();
    QCOMPARE(w->currentTab(), 1);
    QVERIFY(form.filePane_129->isVisible() && !form.attributePane_130->isVisible());
    QCOMPARE(texts(fileFields(w) + attributeFields(w)), QStringList(5, QString()));
    QVERIFY(!form.saveButton_137->isEnabled());
    QCOMPARE(rowTexts(form.fileList_131), QStringList{"a.txt"});
    // Picking the tab that is showing is left to the tab widget.
    QCOMPARE(TNEFWinFileTabHandler(w), eventNotHandledErr);

    QCOMPARE(rowTexts(attributeList(w)), (QStringList{"Subject", "Attachment Title", "Attachment Data", "Attachment"}));
    QCOMPARE(w->currentTab(), 2);
    QVERIFY(!form.filePane_129->isVisible() && form.attributePane_130->isVisible());
    QCOMPARE(w->minimumSize(), QSize(kTNEFWinFileMinimumWidth, kTNEFWinFileMinimumHeight));
}

void TestWinFile::attachmentShownAndProposed_data()
{
    QTest::addColumn<Tnef>("tnef");
    QTest::addColumn<QString>("listed");
    QTest::addColumn<QString>("name");  // in the name field
    QTest::addColumn<QString>("proposed");
    const Tnef report = Tnef().title(z0("report.doc"));
    const MapiBlock message = MapiBlock().string8(PR_DISPLAY_NAME, z0("Re: minutes")).object(PR_ATTACH_DATA_OBJ, "m");
    QTest::newRow("untitled") << withAttachment(Tnef(), "x") << "Untitled Attachment" << "Untitled Attachment" << "";
    QTest::newRow("attached message") << Tnef(report).data(embeddedPlaceholder()).attachment(message)
                                      << "TNEF: Re: minutes" << "Re: minutes" << "Re: minutes";
    QTest::newRow("attached message without a name")
        << Tnef().data(embeddedPlaceholder()).attachment(MapiBlock().object(PR_ATTACH_DATA_OBJ, "x"))
        << "TNEF: Untitled Attachment" << "Untitled Attachment" << "";
    // A "/" cannot stand in a Linux file name; ":" can.
    QTest::newRow("slash and colon") << withAttachment(Tnef().title(z0("Q1/Q2: plan.txt")), "x")
                                     << "Q1/Q2: plan.txt" << "Q1/Q2: plan.txt" << "Q1Q2: plan.txt";
    const QString unicode = QStringLiteral("\u041E\u0442\u0447\u0451\u0442 \u2013 \u65E5\u672C \U0001F600.pdf");
    QTest::newRow("unicode long file name")
        << Tnef(report).data("x").attachment(MapiBlock().unicode(PR_ATTACH_LONG_FILENAME, unicode))
        << unicode << unicode << unicode;
}

void TestWinFile::attachmentShownAndProposed()
{
    QFETCH(Tnef, tnef);
    QFETCH(QString, listed);
    QFETCH(QString, name);
    QFETCH(QString, proposed);
    TNEFWinFile *w = show(write("winmail.dat", tnef.bytes()));
    QVERIFY(w);
    QCOMPARE(rowTexts(w->form().fileList_131), QStringList{listed});
    QCOMPARE(TNEFWinFileSaveCommandEventHandler(w, kTNEFCommandSave), eventNotHandledErr);
    clickRow(w->form().fileList_131, 0);
    QCOMPARE(texts(fileFields(w)), (QStringList{name, "1 bytes"}));
    QStringList asked;
    TNEFWinFileSaveSetDialogHook([&](TNEFWinFile *parent, const QString &proposedName) {
        asked << proposedName;
        return TNEFWinFileSaveReply{parent != w, m_dir->path(), "wrong", false};
    });
    w->form().saveButton_137->click();
    QCOMPARE(asked, QStringList{proposed});
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden), QStringList{"winmail.dat"});
}

void TestWinFile::selectionFollowsTheLastRow_data()
{
    QTest::addColumn<bool>("attributes");
    QTest::addColumn<QStringList>("first");
    QTest::addColumn<QStringList>("second");
    QTest::newRow("attachments") << false << QStringList{"a.txt", "10 bytes"} << QStringList{"b.txt", "5 KB"};
    // The nameless word must not keep the name of the row shown before it.
    QTest::newRow("attributes") << true << QStringList{"Subject", "9 bytes", "Hi there."}
                                << QStringList{"", "3 bytes", "xyz"};
}

void TestWinFile::selectionFollowsTheLastRow()
{
    QFETCH(bool, attributes);
    QFETCH(QStringList, first);
    QFETCH(QStringList, second);
    const Tnef tnef = withAttachment(withAttachment(Tnef().message(attSubject, z0("Hi there")).message(0x00069006, "xyz")
                                                        .title(z0("a.txt")), QByteArray(10, 'a')).title(z0("b.txt")),
                                     QByteArray(6000, 'b'));
    TNEFWinFile *w = show(write("two.dat", tnef.bytes()));
    QVERIFY(w);
    QTreeView *list = attributes ? attributeList(w) : w->form().fileList_131;
    const QList<QLineEdit *> fields = attributes ? attributeFields(w) : fileFields(w);
    const UInt32 &selected = attributes ? w->document()->selectedAttributeID : w->document()->selectedFileID;
    clickRow(list, 0);
    QCOMPARE(texts(fields), first);
    clickRow(list, 1);
    QCOMPARE(texts(fields), second);
    QCOMPARE(selected, browser(list)->itemAt(1));
    QCOMPARE(w->form().saveButton_137->isEnabled(), !attributes);
    // A row going while another stays selected changes nothing.
    (attributes ? TNEFWinFileListAttributeDBItemNotification : TNEFWinFileListFileDBItemNotification)(
        browser(list), browser(list)->itemAt(0), kDataBrowserItemDeselected);
    QCOMPARE(texts(fields), second);
    clickRow(list, 1, Qt::ControlModifier);
    QCOMPARE(texts(fields), QStringList(fields.size(), QString()));
    QCOMPARE(selected, 0u);
    QVERIFY(!w->form().saveButton_137->isEnabled());
}

void TestWinFile::saveThroughDialog_data()
{
    QTest::addColumn<bool>("answered");
    QTest::addColumn<bool>("replacing");  // a file of that name is there and the user agreed
    QTest::newRow("new name") << true << false;
    QTest::newRow("cancelled") << false << false;
    QTest::newRow("replace agreed") << true << true;
}

void TestWinFile::saveThroughDialog()
{
    QFETCH(bool, answered);
    QFETCH(bool, replacing);
    const QByteArray contents = QByteArray("0123456789").repeated(2000);
    TNEFWinFile *w = show(write("save.dat", withAttachment(withAttachment(Tnef().title(z0("first.bin")), "1"), contents).bytes()));
    QVERIFY(w);
    const QString saved = m_dir->filePath("chosen.bin");
    QVERIFY(!replacing || !write("chosen.bin", "old").isEmpty());
    clickRow(w->form().fileList_131, 1);
    TNEFWinFileSaveSetDialogHook([&](TNEFWinFile *, const QString &) {
        return TNEFWinFileSaveReply{answered, m_dir->path(), QStringLiteral("chosen.bin"), replacing};
    });
    w->form().saveButton_137->click();
    QCOMPARE(readFile(saved), answered ? contents : QByteArray("<unreadable>"));
}

void TestWinFile::realSaveDialog()
{
    const QString title = QStringLiteral("R\u00E9sum\u00E9 \u2713.txt");
    TNEFWinFile *w = show(write("real.dat", Tnef().data("real contents")
                                               .attachment(MapiBlock().unicode(PR_ATTACH_LONG_FILENAME, title)).bytes()));
    QVERIFY(w);
    clickRow(w->form().fileList_131, 0);
    w->form().saveButton_137->click();
    QPointer<QFileDialog> dialog = w->findChild<QFileDialog *>();
    QVERIFY(dialog && dialog->isVisible());
    QCOMPARE(dialog->windowModality(), Qt::WindowModal);
    QCOMPARE(QFileInfo(dialog->selectedFiles().value(0)).fileName(), title);
    dialog->setDirectory(m_dir->path());
    dialog->selectFile(title);
    dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Save)->click();
    QCOMPARE(readFile(m_dir->filePath(title)), QByteArray("real contents"));
}

void TestWinFile::closingDestroysOnlyItsDocument()
{
    const int forksBefore = FSOpenForkCount();
    QList<TNEFWinFile *> windows;
    for (int i = 0; i < 3; ++i) {
        windows << show(write(QStringLiteral("%1.dat").arg(i), Tnef().message(attSubject, z0(qPrintable(QString::number(i)))).bytes()));
        QVERIFY(windows.last());
    }
    QPointer<TNEFWinFile> closed = windows.takeAt(1);
    QVERIFY(closed->close());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!closed);
    QCOMPARE(gTNEFFileList, windows[0]->document());
    QCOMPARE(gTNEFFileList->next, windows[1]->document());
    QVERIFY(!gTNEFFileList->next->next);
    QCOMPARE(FSOpenForkCount(), forksBefore + 2);
    // The others still read their own files.
    for (TNEFWinFile *w : windows) {
        clickRow(attributeList(w), 0);
        QCOMPARE(w->form().attributeData_144->text().size(), 2);
    }
}

QTEST_MAIN(TestWinFile)
#include "tst_ui_winfile.moc"
