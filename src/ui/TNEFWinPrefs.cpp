#include "TNEFWinPrefs.h"

#include "Commands.h"
#include "MenuBar.h"
#include "platform/ErrorLog.h"
#include "prefs/TNEFPrefs.h"
#include "ui_TNEFWinPrefs.h"

#include <QCloseEvent>
#include <QFileDialog>
#include <QLabel>

QPointer<QWidget> gTNEFWinPrefsRef;
SInt32 gTNEFWinPrefCurrentEvent = 1;

namespace {

TNEFWinPrefsFolderDialogHook gFolderDialogHook;

class TNEFWinPrefsWindow : public QWidget {
public:
    TNEFWinPrefsWindow() { m_form.setupUi(this); }

protected:
    void closeEvent(QCloseEvent *event) override
    {
        TNEFWinPrefsCloseHandler(this);
        event->accept();
    }

private:
    Ui::WinPrefs m_form;
};

// The five globals of one set.
struct PrefSet {
    SInt32 *autoExtract;
    SInt32 *dest;
    QString *destOther;
    SInt32 *folder;
    SInt32 *quit;
};

bool prefSet(SInt32 selector, PrefSet *set)
{
    if (selector == 1)
        *set = {&gTNEFPrefCEAuto, &gTNEFPrefCEDest, &gTNEFPrefCEDestOther, &gTNEFPrefCEFolder, &gTNEFPrefCEQuit};
    else if (selector == 2)
        *set = {&gTNEFPrefAEAuto, &gTNEFPrefAEDest, &gTNEFPrefAEDestOther, &gTNEFPrefAEFolder, &gTNEFPrefAEQuit};
    else
        return false;
    return true;
}

OSStatus findControl(WindowRef window, SInt32 id, ControlRef *control)
{
    const OSStatus err = GetControlByID(window, id, control);
    if (err != noErr)
        TNEF_LOG_ERROR("    GetControlByID() returned %ld.\n", long(err));
    return err;
}

// Values read from controls are 16-bit, and the globals take them
// sign-extended.
SInt32 controlValue(ControlRef control)
{
    return SInt16(GetControl32BitValue(control));
}

// A label that names a control greys out with it.
void setEnabledWithLabel(WindowRef window, ControlRef control, bool enabled)
{
    control->setEnabled(enabled);
    const auto labels = window->findChildren<QLabel *>();
    for (QLabel *label : labels) {
        if (label->buddy() == control)
            label->setEnabled(enabled);
    }
}

// The dependent controls in walking order, with their state in the enabled
// state; the folder text only shows a value and is never usable.
struct Dependent {
    SInt32 id;
    bool enabledWhenOn;
};
const Dependent kDependents[] = {
    {kTNEFWinPrefsDestID, true},         {kTNEFWinPrefsDestOtherID, false},
    {kTNEFWinPrefsChooseFolderID, true}, {kTNEFWinPrefsFolderID, true},
    {kTNEFWinPrefsQuitID, true},
};

OSStatus applyState(WindowRef window, bool on)
{
    for (const Dependent &d : kDependents) {
        ControlRef control = nullptr;
        const OSStatus err = findControl(window, d.id, &control);
        if (err != noErr)
            return err;
        setEnabledWithLabel(window, control, on && d.enabledWhenOn);
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

OSStatus showFolderDialog(WindowRef window)
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
    const QPointer<QWidget> owner(window);
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
    auto *window = new TNEFWinPrefsWindow;
    gTNEFWinPrefsRef = window;
    window->setAttribute(Qt::WA_DeleteOnClose);
    InstallWindowCommandHandler(window, [window](UInt32 commandID) {
        return TNEFWinPrefsEventHandler(window, commandID);
    });
    ConnectControlCommands(window);
    MenuBarAddKeys(window);

    ControlRef selector = nullptr;
    if (findControl(window, kTNEFWinPrefsSelectorID, &selector) == noErr)
        gTNEFWinPrefCurrentEvent = GetControl32BitValue(selector);
    TNEFWinPrefsSetControls(window);
    window->resize(window->sizeHint().expandedTo(QSize(560, 0)));
    SelectWindow(window);
}

OSStatus TNEFWinPrefsSetControls(WindowRef window)
{
    ControlRef control = nullptr;
    OSStatus err = findControl(window, kTNEFWinPrefsSelectorID, &control);
    if (err != noErr)
        return err;
    PrefSet set;
    if (!prefSet(GetControl32BitValue(control), &set)) {
        window->update();
        return noErr;
    }
    const struct {
        SInt32 id;
        const SInt32 *value;
    } numbers[] = {{kTNEFWinPrefsAutoID, set.autoExtract}, {kTNEFWinPrefsDestID, set.dest},
                   {kTNEFWinPrefsDestOtherID, nullptr}, {kTNEFWinPrefsFolderID, set.folder},
                   {kTNEFWinPrefsQuitID, set.quit}};
    for (const auto &n : numbers) {
        if ((err = findControl(window, n.id, &control)) != noErr)
            return err;
        if (n.value) {
            SetControl32BitValue(control, SInt16(*n.value));
        } else if ((err = SetControlText(control, folderText(*set.destOther))) != noErr) {
            TNEF_LOG_ERROR("    SetControlData() returned %d.\n", int(err));
            return err;
        }
    }
    if ((err = findControl(window, kTNEFWinPrefsAutoID, &control)) != noErr)
        return err;
    if (GetControl32BitValue(control) == 1)
        TNEFWinPrefsEnableControls(window);
    else
        TNEFWinPrefsDisableControls(window);
    window->update();
    return noErr;
}

OSStatus TNEFWinPrefsEnableControls(WindowRef window)
{
    return applyState(window, true);
}

OSStatus TNEFWinPrefsDisableControls(WindowRef window)
{
    return applyState(window, false);
}

OSStatus TNEFWinPrefsEventHandler(WindowRef window, UInt32 commandID)
{
    SInt32 id = 0;
    switch (commandID) {
    case kTNEFWinPrefsCommandOpenDialogSet:
    case kTNEFWinPrefsCommandDesktopSet: id = kTNEFWinPrefsSelectorID; break;
    case kTNEFWinPrefsCommandAuto: id = kTNEFWinPrefsAutoID; break;
    case kTNEFWinPrefsCommandDest: id = kTNEFWinPrefsDestID; break;
    case kTNEFWinPrefsCommandChooseFolder: id = kTNEFWinPrefsChooseFolderID; break;
    case kTNEFWinPrefsCommandFolder: id = kTNEFWinPrefsFolderID; break;
    case kTNEFWinPrefsCommandQuit: id = kTNEFWinPrefsQuitID; break;
    default: return eventNotHandledErr;
    }
    ControlRef control = nullptr;
    if (findControl(window, id, &control) != noErr)
        return eventInternalErr;

    if (commandID == kTNEFWinPrefsCommandOpenDialogSet || commandID == kTNEFWinPrefsCommandDesktopSet) {
        const SInt32 selector = commandID == kTNEFWinPrefsCommandOpenDialogSet ? 1 : 2;
        SetControl32BitValue(control, selector);
        control->update();
        gTNEFWinPrefCurrentEvent = selector;
        TNEFWinPrefsSetControls(window);
        return noErr;
    }
    if (commandID == kTNEFWinPrefsCommandChooseFolder)
        return showFolderDialog(window);

    PrefSet set;
    if (!prefSet(gTNEFWinPrefCurrentEvent, &set))
        return noErr;
    const SInt32 value = controlValue(control);
    switch (commandID) {
    case kTNEFWinPrefsCommandAuto: {
        *set.autoExtract = value;
        const OSStatus err = value != 0 ? TNEFWinPrefsEnableControls(window) : TNEFWinPrefsDisableControls(window);
        return err == noErr ? OSStatus(noErr) : OSStatus(eventInternalErr);
    }
    case kTNEFWinPrefsCommandDest:
        if (value >= 1 && value <= 3)
            *set.dest = value;
        return noErr;
    case kTNEFWinPrefsCommandFolder:
        if (value >= 1 && value <= 3)
            *set.folder = value;
        return noErr;
    default:
        *set.quit = value;
        return noErr;
    }
}

OSStatus TNEFWinPrefsCloseHandler(WindowRef window)
{
    (void)window;
    gTNEFWinPrefsRef = nullptr;
    return eventNotHandledErr;
}

void TNEFWinPrefsChooseFolderEventProc(WindowRef window, const TNEFWinPrefsFolderReply &reply)
{
    ControlRef selector = nullptr;
    if (findControl(window, kTNEFWinPrefsSelectorID, &selector) != noErr)
        return;
    if (!reply.validRecord)
        return;
    PrefSet set;
    if (prefSet(GetControl32BitValue(selector), &set))
        *set.destOther = TNEFPrefsDestOtherFromPath(reply.folder);
    TNEFWinPrefsSetControls(window);
}
