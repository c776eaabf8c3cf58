#pragma once
// Tasks as iCalendar (RFC 5545): the task as read from a message and the
// VTODO written of it through libical.
#include "platform/MacTypes.h"

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QString>

struct TNEFTaskItem {
    QString summary;
    QString description;  // the plain-text body
    QDate start;          // the owner's calendar days; invalid when the task has none
    QDate due;
    QDateTime completed;  // UTC
    SInt32 status = -1;   // 0 not started, 1 in progress, 2 complete, 3 waiting on someone else, 4 deferred; -1 unknown
    SInt32 percent = -1;  // 0..100; -1 unknown
    int importance = -1;  // 0 low, 1 normal, 2 high; -1 unknown
    QDateTime stamp;      // DTSTAMP: when the message was sent or changed; invalid when the file gives none
    QByteArray globalId;  // the task's own id, or empty
    QByteArray sourceDigest;  // without an id, a digest of the message's own bytes: its UID
};

// Whether a message class is a task (IPM.Task and its subclasses), or a
// task request, accept, decline or update, which carries its task as an
// attached message. Compared without regard to case.
bool TNEFTaskIsTaskClass(const QString &messageClass);
bool TNEFTaskIsRequestClass(const QString &messageClass);

// The task's state in words ("In progress"), empty when unknown.
QString TNEFTaskStatusText(SInt32 status);

// The task as a whole iCalendar object (UTF-8, CRLF line ends, lines of at
// most 75 octets) holding one VTODO. The same task always gives the same
// bytes: nothing in it comes from the time of the run.
QByteArray TNEFTaskWrite(const TNEFTaskItem &task);
