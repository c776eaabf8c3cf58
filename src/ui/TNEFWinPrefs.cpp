#include "TNEFWinPrefs.h"

#include "Commands.h"
#include "MenuBar.h"
#include "prefs/TNEFPrefs.h"

#include <QCloseEvent>
#include <QFileDialog>

QPointer<TNEFWinPrefs> gTNEFWinPrefsRef;
SInt32 gTNEFWinPrefCurrentEvent = 1;

namespace {

TNEFWinPrefsFolderDialogHook gFolderDialogHook;

bool isSet(SInt32 selector)
{
    return selector == 1 || selector == 2;
}

// A choice reads the number of its chosen entry from 1, or 0 with none.
SInt32 choiceValue(const QComboBox *choice)
{
    return choice->currentIndex() + 1;
}

// A number the choice has no entry for shows none, rather than an entry
// that is no longer true.
void setChoiceValue(QComboBox *choice, SInt32 value)
{
    choice->setCurrentIndex(value >= 1 && value <= choice->count() ? value - 1 : -1);
}

// The dependent controls in walking order, with the label that names each
// and greys out with it, and their state when automatic extraction is on;
// the folder text only shows a value and is never usable.
OSStatus applyState(TNEFWinPrefs *window, bool on)
{
    Ui::WinPrefs &f = window->form();
    const struct {
        QWidget *control;
        QWidget *label;
        bool enabledWhenOn;
    } dependents[] = {
        {f.dest_130, f.destLabel, true},           {f.destFolder_131, nullptr, false},
        {f.chooseFolder_132, f.destFolderLabel, true}, {f.folder_133, f.folderLabel, true},
        {f.quit_134, nullptr, true},          {f.body_136, nullptr, true},
    };
    for (const auto &d : dependents) {
        d.control->setEnabled(on && d.enabledWhenOn);
        if (d.label)
            d.label->setEnabled(on && d.enabledWhenOn);
    }
    return noErr;
}

// A folder the user can read: the stored text unescaped, or the text itself
// when it names no absolute path.
QString folderText(const QString &destOther)
{
    if (destOther.isNull())
        return QString();
    const QString path = TNEFPrefsPathFromDestOther(destOther);
    return path.isNull() ? destOther : path;
}

OSStatus showFolderDialog(TNEFWinPrefs *window)
{
    if (gFolderDialogHook) {
        TNEFWinPrefsChooseFolderEventProc(window, gFolderDialogHook(window));
        return noErr;
    }
    auto *dialog = new QFileDialog(window, QObject::tr("Choose a destination folder"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setFileMode(QFileDialog::Directory);
    dialog->setOption(QFileDialog::ShowDirsOnly);
    dialog->setWindowModality(Qt::WindowModal);
    const QPointer<TNEFWinPrefs> owner(window);
    QObject::connect(dialog, &QFileDialog::finished, dialog, [owner, dialog](int result) {
        TNEFWinPrefsFolderReply reply;
        const QStringList chosen = dialog->selectedFiles();
        if (result == QDialog::Accepted && !chosen.isEmpty()) {
            reply.validRecord = true;
            reply.folder = chosen.first();
        }
        if (owner)
            TNEFWinPrefsChooseFolderEventProc(owner, reply);
    });
    dialog->open();
    return noErr;
}

} // namespace

TNEFWinPrefs::TNEFWinPrefs()
{
    m_form.setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);
    InstallWindowCommandHandler(this, [this](UInt32 commandID) { return TNEFWinPrefsEventHandler(this, commandID); });
    ConnectControlCommands(this);
    MenuBarAddKeys(this);
    CloseWithEscapeAndButton(this, m_form.buttonBox);
}

void TNEFWinPrefs::closeEvent(QCloseEvent *event)
{
    TNEFWinPrefsCloseHandler(this);
    event->accept();
}

void TNEFWinPrefsSetFolderDialogHook(TNEFWinPrefsFolderDialogHook hook)
{
    gFolderDialogHook = std::move(hook);
}

void TNEFWinPrefsCreate()
{
    if (gTNEFWinPrefsRef) {
        SelectWindow(gTNEFWinPrefsRef);
        return;
    }
    auto *window = new TNEFWinPrefs;
    gTNEFWinPrefsRef = window;
    gTNEFWinPrefCurrentEvent = choiceValue(window->form().selector_129);
    TNEFWinPrefsSetControls(window);
    window->resize(window->sizeHint().expandedTo(QSize(560, 0)));
    SelectWindow(window);
}

OSStatus TNEFWinPrefsSetControls(TNEFWinPrefs *window)
{
    Ui::WinPrefs &f = window->form();
    const SInt32 selector = choiceValue(f.selector_129);
    if (isSet(selector)) {
        const TNEFPrefSet set = TNEFPrefsGetSet(UInt32(selector));
        // The controls take 16-bit values: 65536 shows as 0.
        f.auto_135->setChecked(SInt16(set.autoExtract) != 0);
        setChoiceValue(f.dest_130, SInt16(set.dest));
        f.destFolder_131->setText(folderText(set.destOther));
        // A long path shows its beginning, not its end.
        f.destFolder_131->setCursorPosition(0);
        setChoiceValue(f.folder_133, SInt16(set.folder));
        f.quit_134->setChecked(SInt16(set.quit) != 0);
        f.body_136->setChecked(SInt16(set.body) != 0);
        if (f.auto_135->isChecked())
            TNEFWinPrefsEnableControls(window);
        else
            TNEFWinPrefsDisableControls(window);
    }
    window->update();
    return noErr;
}

OSStatus TNEFWinPrefsEnableControls(TNEFWinPrefs *window)
{
    return applyState(window, true);
}

OSStatus TNEFWinPrefsDisableControls(TNEFWinPrefs *window)
{
    return applyState(window, false);
}

OSStatus TNEFWinPrefsEventHandler(TNEFWinPrefs *window, UInt32 commandID)
{
    Ui::WinPrefs &f = window->form();
    switch (commandID) {
    case kTNEFWinPrefsCommandOpenDialogSet:
    case kTNEFWinPrefsCommandDesktopSet: {
        const SInt32 selector = commandID == kTNEFWinPrefsCommandOpenDialogSet ? 1 : 2;
        setChoiceValue(f.selector_129, selector);
        gTNEFWinPrefCurrentEvent = selector;
        TNEFWinPrefsSetControls(window);
        return noErr;
    }
    case kTNEFWinPrefsCommandChooseFolder:
        return showFolderDialog(window);
    case kTNEFWinPrefsCommandAuto:
    case kTNEFWinPrefsCommandDest:
    case kTNEFWinPrefsCommandFolder:
    case kTNEFWinPrefsCommandQuit:
    case kTNEFWinPrefsCommandBody:
        break;
    default:
        return eventNotHandledErr;
    }

    const UInt32 selector = UInt32(gTNEFWinPrefCurrentEvent);
    if (!isSet(gTNEFWinPrefCurrentEvent))
        return noErr;
    TNEFPrefSet set = TNEFPrefsGetSet(selector);
    OSStatus status = noErr;
    switch (commandID) {
    case kTNEFWinPrefsCommandAuto: {
        set.autoExtract = f.auto_135->isChecked() ? 1 : 0;
        const OSStatus err = set.autoExtract != 0 ? TNEFWinPrefsEnableControls(window) : TNEFWinPrefsDisableControls(window);
        status = err == noErr ? OSStatus(noErr) : OSStatus(eventInternalErr);
        break;
    }
    case kTNEFWinPrefsCommandDest:
    case kTNEFWinPrefsCommandFolder: {
        const SInt32 value = choiceValue(commandID == kTNEFWinPrefsCommandDest ? f.dest_130 : f.folder_133);
        if (value >= 1 && value <= 3)
            (commandID == kTNEFWinPrefsCommandDest ? set.dest : set.folder) = value;
        break;
    }
    case kTNEFWinPrefsCommandQuit:
        set.quit = f.quit_134->isChecked() ? 1 : 0;
        break;
    default:
        set.body = f.body_136->isChecked() ? 1 : 0;
        break;
    }
    TNEFPrefsSetSet(selector, set);
    return status;
}

OSStatus TNEFWinPrefsCloseHandler(TNEFWinPrefs *)
{
    gTNEFWinPrefsRef = nullptr;
    return eventNotHandledErr;
}

void TNEFWinPrefsChooseFolderEventProc(TNEFWinPrefs *window, const TNEFWinPrefsFolderReply &reply)
{
    if (!reply.validRecord)
        return;
    const SInt32 selector = choiceValue(window->form().selector_129);
    if (isSet(selector)) {
        TNEFPrefSet set = TNEFPrefsGetSet(UInt32(selector));
        set.destOther = TNEFPrefsDestOtherFromPath(reply.folder);
        TNEFPrefsSetSet(UInt32(selector), set);
    }
    TNEFWinPrefsSetControls(window);
}
