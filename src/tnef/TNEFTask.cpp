#include "TNEFTask.h"

#include "TNEFCalendar.h"
#include "TNEFICalTime.h"
#include "platform/TextCodec.h"

#include <QCryptographicHash>


#include <iterator>
#include <memory>

namespace {

void addText(icalcomponent *todo, icalproperty *(*make)(const char *), const QString &text)
{
    if (!text.isEmpty())
        icalcomponent_add_property(todo, make(TextWithoutControls(text).toUtf8().constData()));
}

// The task's own id in hex; without one, the digest of the message's own
// bytes, else (a task not read from a file) of what the task holds, so that
// the same file gives the same UID on every run.
QString uidFor(const TNEFTaskItem &task)
{
    for (const QByteArray &id : {task.globalId, task.sourceDigest}) {
        if (!id.isEmpty())
            return QString::fromLatin1(id.toHex().toUpper());
    }
    QCryptographicHash hash(QCryptographicHash::Sha1);
    for (const QString &part : {task.summary, task.start.toString(Qt::ISODate), task.due.toString(Qt::ISODate),
                                task.stamp.toUTC().toString(Qt::ISODate), task.description}) {
        hash.addData(part.toUtf8());
        hash.addData(QByteArrayView("\n", 1));
    }
    return QString::fromLatin1(hash.result().toHex().toUpper());
}

// DTSTAMP is required: the message's own time, else the task's first day,
// else the epoch; never the time of the run.
icaltimetype stampFor(const TNEFTaskItem &task)
{
    if (const std::optional<icaltimetype> stamp = utcTime(task.stamp))
        return *stamp;
    for (const QDate &day : {task.start, task.due}) {
        if (const std::optional<icaltimetype> stamp = utcTime(day.startOfDay(Qt::UTC)))
            return *stamp;
    }
    return icaltime_from_timet_with_zone(0, 0, icaltimezone_get_utc_timezone());
}

void addDates(icalcomponent *todo, const TNEFTaskItem &task)
{
    const std::optional<icaltimetype> start = dateValue(task.start), due = dateValue(task.due);
    // A due date must come after the start: a task due on the day it starts
    // keeps only its due date.
    if (start && (!due || task.start < task.due))
        icalcomponent_add_property(todo, icalproperty_new_dtstart(*start));
    if (due)
        icalcomponent_add_property(todo, icalproperty_new_due(*due));
    if (const std::optional<icaltimetype> completed = utcTime(task.completed))
        icalcomponent_add_property(todo, icalproperty_new_completed(*completed));
}

void addState(icalcomponent *todo, const TNEFTaskItem &task)
{
    // Waiting on someone else is work under way; deferred work is not begun.
    static const icalproperty_status kStates[] = {ICAL_STATUS_NEEDSACTION, ICAL_STATUS_INPROCESS,
                                                  ICAL_STATUS_COMPLETED, ICAL_STATUS_INPROCESS,
                                                  ICAL_STATUS_NEEDSACTION};
    if (task.status >= 0 && task.status < SInt32(std::size(kStates)))
        icalcomponent_add_property(todo, icalproperty_new_status(kStates[task.status]));
    if (task.percent >= 0 && task.percent <= 100)
        icalcomponent_add_property(todo, icalproperty_new_percentcomplete(task.percent));
    // High, normal and low importance as the highest, middle and lowest priority.
    static const int kPriorities[] = {9, 5, 1};
    if (task.importance >= 0 && task.importance < int(std::size(kPriorities)))
        icalcomponent_add_property(todo, icalproperty_new_priority(kPriorities[task.importance]));
}

} // namespace

bool TNEFTaskIsTaskClass(const QString &messageClass)
{
    return TNEFMessageClassIs(messageClass, QLatin1String("IPM.Task"));
}

bool TNEFTaskIsRequestClass(const QString &messageClass)
{
    return TNEFMessageClassIs(messageClass, QLatin1String("IPM.TaskRequest"));
}

QString TNEFTaskStatusText(SInt32 status)
{
    static const char *const kTexts[] = {"Not started", "In progress", "Complete", "Waiting on someone else",
                                         "Deferred"};
    return status >= 0 && status < SInt32(std::size(kTexts)) ? QString::fromLatin1(kTexts[status]) : QString();
}

QByteArray TNEFTaskWrite(const TNEFTaskItem &task)
{
    const std::unique_ptr<icalcomponent, decltype(&icalcomponent_free)> calendar(icalcomponent_new_vcalendar(),
                                                                          icalcomponent_free);
    icalcomponent_add_property(calendar.get(), icalproperty_new_prodid("-//Parvane//Parvane " PARVANE_VERSION "//EN"));
    icalcomponent_add_property(calendar.get(), icalproperty_new_version("2.0"));
    icalcomponent *todo = icalcomponent_new_vtodo();
    icalcomponent_add_component(calendar.get(), todo);
    addText(todo, icalproperty_new_uid, uidFor(task));
    icalcomponent_add_property(todo, icalproperty_new_dtstamp(stampFor(task)));
    addText(todo, icalproperty_new_summary, task.summary);
    addDates(todo, task);
    addState(todo, task);
    addText(todo, icalproperty_new_description, task.description);

    char *text = icalcomponent_as_ical_string_r(calendar.get());
    QByteArray out(text);
    icalmemory_free_buffer(text);
    return out;
}
