// The Preferences window on the offscreen platform: it shows and edits the
// set its selector names, and only that set.
#include "prefs/TNEFPrefs.h"
#include "ui/TNEFWinPrefs.h"

#include <QtTest>

namespace {

QVariantList values(const TNEFPrefSet &s) { return {s.autoExtract, s.dest, s.destOther, s.folder, s.quit, s.body}; }

// Clicks a check box or button on its indicator, where a user would.
void click(QWidget *button)
{
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
}

} // namespace

class TestPrefsWindow : public QObject {
    Q_OBJECT
private slots:
    void editsTheShownSet_data();
    void editsTheShownSet();
};

void TestPrefsWindow::editsTheShownSet_data()
{
    QTest::addColumn<int>("selector");
    QTest::newRow("Open dialog set") << 1;
    QTest::newRow("desktop set") << 2;
}

void TestPrefsWindow::editsTheShownSet()
{
    QFETCH(int, selector);
    TNEFPrefsSetSet(1, {0, 2, QString(), 3, 1, 0});
    TNEFPrefsSetSet(2, {0, 3, QStringLiteral("/srv/mail%20out/"), 2, 1, 0});
    const QVariantList hiddenBefore = values(TNEFPrefsGetSet(3 - selector));
    const auto shown = [selector] { return TNEFPrefsGetSet(selector); };

    TNEFWinPrefsCreate();
    TNEFWinPrefs *w = gTNEFWinPrefsRef;
    QVERIFY(w);
    const Ui::WinPrefs &f = w->form();
    if (selector == 2)
        QTest::keyClick(f.selector_129, Qt::Key_Down);
    QCOMPARE(gTNEFWinPrefCurrentEvent, selector);

    auto shownValues = [&] {
        return QVariantList{f.auto_135->isChecked(), f.dest_130->currentIndex() + 1, f.folder_133->currentIndex() + 1,
                            f.quit_134->isChecked(), f.destFolder_131->text()};
    };
    auto usable = [&] {
        return QList<bool>{f.dest_130->isEnabled(),   f.destFolder_131->isEnabled(), f.chooseFolder_132->isEnabled(),
                           f.folder_133->isEnabled(), f.quit_134->isEnabled(),       f.body_136->isEnabled()};
    };
    const QString folderText = selector == 1 ? QString() : QStringLiteral("/srv/mail out/");
    QCOMPARE(shownValues(), (QVariantList{false, shown().dest, shown().folder, true, folderText}));
    QCOMPARE(usable(), (QList<bool>{false, false, false, false, false, false}));

    click(f.auto_135);
    QCOMPARE(shown().autoExtract, 1);
    QCOMPARE(usable(), (QList<bool>{true, false, true, true, true, true}));
    click(f.body_136);
    QCOMPARE(shown().body, 1);

    // A choice that reports no value from 1 to 3 changes nothing.
    for (auto [choice, command, value] : {std::tuple{f.dest_130, kTNEFWinPrefsCommandDest, &TNEFPrefSet::dest},
                                          std::tuple{f.folder_133, kTNEFWinPrefsCommandFolder, &TNEFPrefSet::folder}}) {
        const SInt32 before = shown().*value;
        choice->setCurrentIndex(-1);
        QCOMPARE(TNEFWinPrefsEventHandler(w, command), OSStatus(noErr));
        QCOMPARE(shown().*value, before);
        choice->setCurrentIndex(0);
        QCOMPARE(TNEFWinPrefsEventHandler(w, command), OSStatus(noErr));
        QCOMPARE(shown().*value, 1);
    }

    const QString before = shown().destOther;
    TNEFWinPrefsSetFolderDialogHook([](TNEFWinPrefs *) { return TNEFWinPrefsFolderReply{}; });
    click(f.chooseFolder_132);
    QCOMPARE(shown().destOther, before);
    TNEFWinPrefsSetFolderDialogHook([](TNEFWinPrefs *) { return TNEFWinPrefsFolderReply{true, "/tmp/new folder"}; });
    click(f.chooseFolder_132);
    TNEFWinPrefsSetFolderDialogHook(nullptr);
    QCOMPARE(shown().destOther, QStringLiteral("/tmp/new%20folder/"));
    QCOMPARE(shownValues(), (QVariantList{true, 1, 1, true, "/tmp/new folder/"}));

    // Off again: the quit box greys out but keeps its value.
    click(f.auto_135);
    QCOMPARE(shown().autoExtract, 0);
    QCOMPARE(shown().quit, 1);
    QCOMPARE(usable(), (QList<bool>{false, false, false, false, false, false}));
    QCOMPARE(values(TNEFPrefsGetSet(3 - selector)), hiddenBefore);

    // Reopened, the window shows the Open dialog's set whichever was shown last.
    w->close();
    QVERIFY(!gTNEFWinPrefsRef);
    TNEFWinPrefsCreate();
    QCOMPARE(gTNEFWinPrefsRef->form().selector_129->currentIndex(), 0);
    QCOMPARE(gTNEFWinPrefCurrentEvent, 1);
    gTNEFWinPrefsRef->close();
}

QTEST_MAIN(TestPrefsWindow)
#include "tst_ui_prefs.moc"
