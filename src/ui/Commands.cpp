#include "Commands.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QHash>
#include <QUrl>
#include <QVariant>
#include <QWidget>

namespace {

QHash<const QWidget *, CommandHandler> gWindowHandlers;
CommandHandler gApplicationHandler;
QString gHelpPage;

// The window whose handler sees the command first: `window` itself, or the
// window that a dialog without a handler of its own was opened over.
QWidget *handlingWindow(QWidget *window)
{
    for (QWidget *w = window; w; w = w->parentWidget() ? w->parentWidget()->window() : nullptr) {
        if (gWindowHandlers.contains(w))
            return w;
    }
    return nullptr;
}

OSStatus standardHandling(UInt32 commandID, QWidget *window)
{
    switch (commandID) {
    case kHICommandClose:
        if (!window)
            return eventNotHandledErr;
        window->close();
        return noErr;
    case kHICommandAppHelp:
        if (gHelpPage.isEmpty())
            return eventNotHandledErr;
        DesktopOpenURL(QUrl::fromLocalFile(gHelpPage));
        return noErr;
    default:
        return eventNotHandledErr;
    }
}

} // namespace

void InstallWindowCommandHandler(WindowRef window, CommandHandler handler)
{
    if (!window)
        return;
    if (!handler) {
        gWindowHandlers.remove(window);
        return;
    }
    if (!gWindowHandlers.contains(window))
        QObject::connect(window, &QObject::destroyed, [window] { gWindowHandlers.remove(window); });
    gWindowHandlers.insert(window, std::move(handler));
}

OSStatus InstallApplicationCommandHandler(CommandHandler handler)
{
    gApplicationHandler = std::move(handler);
    return noErr;
}

OSStatus ProcessHICommand(UInt32 commandID, WindowRef window)
{
    QWidget *target = window ? window->window() : QApplication::activeWindow();
    if (QWidget *owner = handlingWindow(target)) {
        // A copy: the handler may close its window and so remove itself.
        const CommandHandler handler = gWindowHandlers.value(owner);
        const OSStatus result = handler(commandID);
        if (result != eventNotHandledErr)
            return result;
    }
    if (gApplicationHandler) {
        const CommandHandler handler = gApplicationHandler;
        const OSStatus result = handler(commandID);
        if (result != eventNotHandledErr)
            return result;
    }
    return standardHandling(commandID, target);
}

void ConnectControlCommands(WindowRef window)
{
    const auto buttons = window->findChildren<QAbstractButton *>();
    for (QAbstractButton *button : buttons) {
        const UInt32 command = FourCharCodeFromText(button->property("command").toString());
        if (command == 0)
            continue;
        QObject::connect(button, &QAbstractButton::clicked, window,
                         [window, command] { ProcessHICommand(command, window); });
    }
    const auto choices = window->findChildren<QComboBox *>();
    for (QComboBox *choice : choices) {
        const UInt32 command = FourCharCodeFromText(choice->property("command").toString());
        QList<UInt32> perEntry;
        for (const QString &text : choice->property("commands").toString().split(QLatin1Char(','), Qt::SkipEmptyParts))
            perEntry << FourCharCodeFromText(text.trimmed());
        if (command == 0 && perEntry.isEmpty())
            continue;
        QObject::connect(choice, &QComboBox::activated, window, [window, command, perEntry](int index) {
            const UInt32 sent = perEntry.isEmpty() ? command : perEntry.value(index);
            if (sent != 0)
                ProcessHICommand(sent, window);
        });
    }
}

void SetHelpPage(const QString &path)
{
    gHelpPage = path;
}

QString HelpPage()
{
    return gHelpPage;
}
