#pragma once
// Events that reach the application from outside: its launch, files handed
// over by the desktop, by a drop or by a later launch, a later launch without
// files, and the request to quit (SIGTERM, SIGINT, the session ending). Each
// goes to the handler installed for its code.
#include "platform/MacTypes.h"
#include "ui/Controls.h"

#include <QString>
#include <QStringList>

enum : UInt32 {
    kCoreEventClass = FourCharCode("aevt"),
    kAEOpenApplication = FourCharCode("oapp"),
    kAEReopenApplication = FourCharCode("rapp"),
    kAEOpenDocuments = FourCharCode("odoc"),
    kAEQuitApplication = FourCharCode("quit"),
};
enum : OSErr { errAEEventNotHandled = -1708 };

struct AppEvent {
    UInt32 eventID = 0;
    QStringList files;  // the documents of "odoc", as absolute paths
    UInt32 eventClass = kCoreEventClass;
};

using AEEventHandlerProcPtr = OSErr (*)(const AppEvent *event, AppEvent *reply, long refCon);

OSErr AEInstallEventHandler(UInt32 eventClass, UInt32 eventID, AEEventHandlerProcPtr handler, long refCon);
// Gives the event to its handler now: the handler's result, or
// errAEEventNotHandled when none is installed.
OSErr AESendEvent(const AppEvent &event);
// Gives it to its handler from the event loop, once what runs now is done.
void AEPostEvent(const AppEvent &event);

// A launch while another instance runs for the same user hands its files
// over (an empty list asks the instance to come forward) and ends.
enum class AEHandOver { NoInstance, Done, Failed };
AEHandOver AEHandOverToRunningInstance(const QStringList &files);
// Makes this process the instance that later launches hand over to: noErr,
// or a non-zero status (logged) when it cannot listen; it then runs alone.
OSStatus AEListenForLaterLaunches();
// Stops listening and removes the socket, so that the next launch does not
// find a dead instance's socket.
void AEStopListening();
// Where later launches find this one: a socket named with the application
// identifier and the user id, in $XDG_RUNTIME_DIR when that is a folder of
// the user's own with mode 0700, otherwise in such a folder made as
// "parvane-UID" in the temporary folder ($TMPDIR or /tmp). The path leads
// through the descriptor of the folder as checked. Null, and logged, when
// neither folder passes: then no launch hands over and none listens.
QString AEInstanceSocketName();

// SIGTERM and SIGINT, the session's end and the application being told to
// quit all arrive as the quit event; files that the desktop asks to open
// arrive as the open-documents event. A signal is only noted when it comes
// and handled from the event loop.
void AEWatchSystemEvents();
