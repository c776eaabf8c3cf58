#include "TNEFMessageItems.h"

#include "TNEFProps.h"
#include "TNEFParse.h"
#include "TNEFText.h"
#include "platform/ErrorLog.h"
#include "platform/FileManager.h"
#include "platform/TextCodec.h"

#include <QCryptographicHash>
#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <new>
#include <unordered_map>
#include <vector>

namespace {

using namespace tnefprop;

// Longest global object id and recurrence blob read; a blob of many
// exceptions stays far below.
constexpr UInt32 kIdLimit = 4096;
constexpr UInt32 kRecurrenceLimit = 1024 * 1024;
// A zone definition of a thousand rules by year.
constexpr UInt32 kZoneLimit = 64 * 1024;
// Bytes of the body read for a description or note.
constexpr UInt32 kItemTextLimit = 256 * 1024;
// Bytes of an attendee string read: some thousand attendees.
constexpr UInt32 kAttendeesLimit = 256 * 1024;
// A made file's name, before its suffix, in characters.
constexpr qsizetype kNameLimit = 100;
// Task dates from this year on stand for "no date".
constexpr int kNoTaskDateYear = 4500;
// Bytes of the message's own attributes a digest covers: far beyond a
// message's properties and body, yet a bound on the time it takes.
constexpr SInt64 kDigestLimit = 64 * 1024 * 1024;

// The message's properties by tag, and its named ones by the long id of
// their entry in the table (found by set and long id, never by the id 0x8000
// and above that the file gives them).
struct Values {
    std::unordered_map<UInt16, TNEFValuePlace> tagged;
    std::unordered_map<UInt16, TNEFValuePlace> named;
    SInt16 fork = 0;
    UInt32 codePage = 0;
    const TNEFMessagePlaces *places = nullptr;  // where they were read from

    TNEFValuePlace tag(UInt16 id) const { return find(tagged, id); }
    TNEFValuePlace lid(UInt16 id) const { return find(named, id); }
    static TNEFValuePlace find(const std::unordered_map<UInt16, TNEFValuePlace> &map, UInt16 id)
    {
        const auto it = map.find(id);
        return it != map.end() ? it->second : TNEFValuePlace{};
    }
    QString text(const TNEFValuePlace &place) const { return TNEFValueText(fork, place, codePage); }
    QString tagText(UInt16 id) const { return text(tag(id)); }
    QString lidText(UInt16 id) const { return text(lid(id)); }
    // The first `limit` bytes of the text only.
    QString lidText(UInt16 id, UInt32 limit) const
    {
        TNEFValuePlace place = lid(id);
        place.length = std::min(place.length, limit);
        return text(place);
    }
    std::optional<UInt32> number(const TNEFValuePlace &place) const { return TNEFValueLong(fork, place); }
    QDateTime time(const TNEFValuePlace &place) const { return TNEFValueTime(fork, place); }
};

// Named properties pass (KeepItemName decides by their name); of the tagged ones,
// only those a calendar item or contact reads.
bool KeepItemProperty(UInt16 id)
{
    if (id >= 0x8000)
        return true;
    switch (id) {
    case PR_SENSITIVITY: case PR_START_DATE: case PR_END_DATE: case PR_CREATION_TIME:
    case PR_LAST_MODIFICATION_TIME: case PR_DISPLAY_NAME: case PR_GIVEN_NAME: case PR_SURNAME:
    case PR_MIDDLE_NAME: case PR_DISPLAY_NAME_PREFIX: case PR_GENERATION: case PR_COMPANY_NAME:
    case PR_DEPARTMENT_NAME: case PR_TITLE: case PR_STREET_ADDRESS: case PR_LOCALITY: case PR_STATE_OR_PROVINCE:
    case PR_POSTAL_CODE: case PR_COUNTRY: case PR_POST_OFFICE_BOX:
        return true;
    default:
        break;
    }
    if (id >= PR_HOME_ADDRESS_CITY && id <= PR_OTHER_ADDRESS_POST_OFFICE_BOX)
        return true;
    for (int i = 0; i < kTNEFContactPhoneTagCount; ++i) {
        if (kTNEFContactPhoneTags[i].tag == id)
            return true;
    }
    return false;
}

// The named properties a calendar item or contact reads.
bool KeepItemName(const TNEFNamedId &name)
{
    return !name.isString && findNamedProp(name.guid, name.lid);
}

// A SHA-1 over the bytes of the message's own attributes as the file holds
// them (each with its length, in the order of the parse), read a piece at a
// time: the same message gives the same digest on every run, and two
// messages that differ in any of them different ones.
QByteArray MessageDigest(SInt16 fork, const TNEFMessagePlaces &places)
{
    std::vector<TNEFPlace> all = places.properties;
    for (const TNEFPlace &place : {places.subject, places.from, places.dateSent, places.dateReceived,
                                   places.messageClass, places.body, places.priority, places.recipients,
                                   places.dateStart, places.dateEnd})
        all.push_back(place);
    QCryptographicHash hash(QCryptographicHash::Sha1);
    QByteArray buffer(64 * 1024, Qt::Uninitialized);
    SInt64 budget = kDigestLimit;
    for (const TNEFPlace &place : all) {
        UInt32 length = 0;
        qToLittleEndian(place ? place.length : 0, &length);
        hash.addData(QByteArrayView(reinterpret_cast<const char *>(&length), sizeof length));
        SInt64 left = place ? std::min<SInt64>(place.length, budget) : 0;
        budget -= left;
        for (SInt64 at = place.position; left > 0;) {
            UInt32 got = 0;
            FSReadForkAt(fork, at, UInt32(std::min<SInt64>(left, buffer.size())), buffer.data(), &got);
            if (got == 0)
                break;
            hash.addData(QByteArrayView(buffer.constData(), got));
            at += got;
            left -= got;
        }
    }
    return hash.result();
}

// Reads the message's property blocks again, this time with the names of
// the named properties. Reading them must not add to the document's trace.
Values ReadValues(SInt16 fork, const TNEFMessagePlaces &places)
{
    Values values;
    values.fork = fork;
    values.codePage = places.codePage;
    values.places = &places;
    const bool traceWas = gTNEFParseTraceOn;
    gTNEFParseTraceOn = false;
    for (const TNEFPlace &block : places.properties) {
        if (FSSetForkPosition(fork, fsFromStart, block.position) != noErr)
            break;
        TNEFList<TNEFMAPIItem> list;
        // A block that breaks off still gives what it held before.
        TNEFParseMAPI(fork, &list, block.position + SInt64(block.length), places.codePage, KeepItemProperty, true,
                      KeepItemName);
        for (const TNEFMAPIItem *item = list; item; item = item->next) {
            const TNEFValuePlace place{item->position, item->length, item->type};
            if (item->id < 0x8000) {
                values.tagged.try_emplace(item->id, place);
            } else if (item->named && !item->named->isString) {
                if (const NamedProp *prop = findNamedProp(item->named->guid, item->named->lid))
                    values.named.try_emplace(prop->lid, place);
            }
        }
        TNEFParseMAPIDestroy(&list);
    }
    gTNEFParseTraceOn = traceWas;
    return values;
}

// The made file is listed, with its size, as soon as the document is
// parsed: its text is the start of the body only, so that a listing never
// makes a body of tens of megabytes.
QString PlainText(SInt16 fork, const TNEFMessage &message)
{
    TNEFBody body;
    if (TNEFMessageGetText(fork, message, &body, kItemTextLimit) != noErr)
        return QString();
    QString text = TNEFBodyToString(body);
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return text.trimmed();
}

// The first of the times that is there.
QDateTime FirstTime(const Values &values, std::initializer_list<TNEFValuePlace> places)
{
    for (const TNEFValuePlace &place : places) {
        const QDateTime time = values.time(place);
        if (time.isValid())
            return time;
    }
    return QDateTime();
}

// When the message was sent, else last changed, else made.
QDateTime Stamp(const Values &values, const TNEFMessage &message)
{
    return message.sent.isValid()
        ? message.sent
        : FirstTime(values, {values.tag(PR_LAST_MODIFICATION_TIME), values.tag(PR_CREATION_TIME)});
}

// Exchange addresses ("/O=ORG/OU=...") are no calendar or mail address.
bool IsMailAddress(const QString &address)
{
    return address.contains(QLatin1Char('@'));
}

// The attendees of a string such as "Ann <ann@example.com>; bob@example.com;
// Room 5": only those with an address, as an attendee is written as its
// address and a name alone names no one a calendar can answer.
void AddAttendeeString(const Values &values, UInt16 lid, TNEFCalendarRole role, QList<TNEFCalendarAttendee> *attendees)
{
    for (const QString &entry : values.lidText(lid, kAttendeesLimit).split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        QString name = entry.trimmed(), address = name;
        const qsizetype open = name.lastIndexOf(QLatin1Char('<'));
        if (open >= 0 && name.endsWith(QLatin1Char('>'))) {
            address = name.mid(open + 1).chopped(1).trimmed();
            name = name.left(open).remove(QLatin1Char('"')).trimmed();
        } else {
            name.clear();
        }
        if (IsMailAddress(address))
            attendees->append({name, address, role});
    }
}

// A reply comes from the attendee and goes to the organizer; anything else
// comes from the organizer and goes to the attendees.
void ReadCalendarPeople(const Values &v, const TNEFMessage &message, TNEFCalendarItem *item)
{
    if (TNEFCalendarMethodForClass(message.messageClass) == TNEFCalendarMethod::Reply) {
        if (IsMailAddress(message.senderAddress))
            item->attendees.append({message.senderName, message.senderAddress, TNEFCalendarRole::Required});
        for (const TNEFRecipient &to : message.recipients) {
            if (to.type == TNEFRecipient::To && IsMailAddress(to.address)) {
                item->organizerName = to.name;
                item->organizerAddress = to.address;
                break;
            }
        }
    } else {
        if (IsMailAddress(message.senderAddress)) {
            item->organizerName = message.senderName;
            item->organizerAddress = message.senderAddress;
        }
        for (const TNEFRecipient &person : message.recipients) {
            if (!IsMailAddress(person.address))
                continue;
            const TNEFCalendarRole role = person.type == TNEFRecipient::Cc ? TNEFCalendarRole::Optional
                : person.type == TNEFRecipient::Bcc                       ? TNEFCalendarRole::Resource
                                                                          : TNEFCalendarRole::Required;
            item->attendees.append({person.name, person.address, role});
        }
        // Without a recipient table, the request names its attendees in text.
        if (item->attendees.isEmpty()) {
            AddAttendeeString(v, PidLidToAttendeesString, TNEFCalendarRole::Required, &item->attendees);
            AddAttendeeString(v, PidLidCcAttendeesString, TNEFCalendarRole::Optional, &item->attendees);
        }
    }
}

void AddAddress(const Values &values, const QString &types, const std::array<UInt16, 6> &ids, bool named,
                QList<TNEFContactAddress> *addresses)
{
    const auto field = [&](int i) { return named ? values.lidText(ids[size_t(i)]) : values.tagText(ids[size_t(i)]); };
    const TNEFContactAddress address{types, field(0), field(1), field(2), field(3), field(4), field(5)};
    if (!(address.poBox + address.street + address.locality + address.region + address.postalCode + address.country)
             .isEmpty())
        addresses->append(address);
}

// A task date; the value that says "none" lies in the year 4501.
QDate TaskDate(const Values &values, UInt16 lid)
{
    const QDateTime time = values.time(values.lid(lid));
    return time.isValid() && time.date().year() < kNoTaskDateYear ? TNEFCalendarAllDayDate(time) : QDate();
}

void ReadTask(const Values &v, const TNEFMessage &message, TNEFTaskItem *task)
{
    *task = TNEFTaskItem{};
    task->summary = message.subject;
    task->description = PlainText(v.fork, message);
    // The start and due days are the owner's dates at midnight, stored
    // either as they are or turned into UTC: the nearest midnight gives the day.
    task->start = TaskDate(v, PidLidTaskStartDate);
    task->due = TaskDate(v, PidLidTaskDueDate);
    task->completed = v.time(v.lid(PidLidTaskDateCompleted));
    if (task->completed.isValid() && task->completed.date().year() >= kNoTaskDateYear)
        task->completed = QDateTime();
    const UInt32 status = v.number(v.lid(PidLidTaskStatus)).value_or(UInt32(-1));
    task->status = status <= 4 ? SInt32(status) : -1;
    if (v.number(v.lid(PidLidTaskComplete)).value_or(0) != 0)
        task->status = 2;
    const TNEFValuePlace percent = v.lid(PidLidPercentComplete);
    const QByteArray bytes = percent.type == PT_DOUBLE ? TNEFValueBytes(v.fork, percent, 8) : QByteArray();
    if (bytes.size() == 8) {
        const double fraction = qFromLittleEndian<double>(bytes.constData());
        // NaN fails both comparisons.
        if (fraction >= 0.0 && fraction <= 1.0)
            task->percent = SInt32(std::lround(fraction * 100));
    }
    task->importance = message.importance;
    task->stamp = Stamp(v, message);
    task->globalId = TNEFValueBytes(v.fork, v.lid(PidLidTaskGlobalId), kIdLimit);
    if (task->globalId.isEmpty() && v.places)
        task->sourceDigest = MessageDigest(v.fork, *v.places);
}

// The task a task request carries: its first attached message, read no
// deeper. Its parse adds nothing to the document's trace.
bool ReadRequestTask(const TNEFFile *tnefFile, TNEFTaskItem *task)
{
    const TNEFFileItem *item = tnefFile->fileList;
    while (item && item->isTNEF != -1)
        item = item->next;
    if (!item)
        return false;
    OSErr status = noErr;
    TNEFFile *attached = TNEFFileOpenAttached(tnefFile, item->fileID, &status);
    if (!attached)
        return false;
    const bool traceWas = gTNEFParseTraceOn;
    gTNEFParseTraceOn = false;
    TNEFMessage message;
    const bool read = TNEFParseFileList(attached->forkRefNum, &attached->fileList, nullptr, &attached->messagePlaces) == 0
        && TNEFMessageRead(attached->forkRefNum, attached->messagePlaces, &message) == noErr
        && TNEFTaskIsTaskClass(message.messageClass);
    gTNEFParseTraceOn = traceWas;
    if (read)
        ReadTask(ReadValues(attached->forkRefNum, attached->messagePlaces), message, task);
    TNEFFileDestroy(attached);
    return read;
}

} // namespace

TNEFMessageItemKind TNEFMessageItemKindOf(const QString &messageClass)
{
    if (TNEFCalendarMethodForClass(messageClass) != TNEFCalendarMethod::None)
        return TNEFMessageItemKind::Calendar;
    if (TNEFContactIsContactClass(messageClass))
        return TNEFMessageItemKind::Contact;
    if (TNEFTaskIsTaskClass(messageClass) || TNEFTaskIsRequestClass(messageClass))
        return TNEFMessageItemKind::Task;
    return TNEFMessageItemKind::None;
}

bool TNEFMessageReadCalendar(SInt16 forkRefNum, const TNEFMessagePlaces &places, const TNEFMessage &message,
                             TNEFCalendarItem *item)
{
    if (TNEFMessageItemKindOf(message.messageClass) != TNEFMessageItemKind::Calendar)
        return false;
    const Values v = ReadValues(forkRefNum, places);
    *item = TNEFCalendarItem{};
    item->messageClass = message.messageClass;
    item->globalObjectId = TNEFValueBytes(forkRefNum, v.lid(PidLidCleanGlobalObjectId), kIdLimit);
    if (item->globalObjectId.isEmpty())
        item->globalObjectId = TNEFValueBytes(forkRefNum, v.lid(PidLidGlobalObjectId), kIdLimit);
    if (item->globalObjectId.isEmpty())
        item->sourceDigest = MessageDigest(forkRefNum, places);
    item->summary = message.subject;
    item->start = FirstTime(v, {v.lid(PidLidAppointmentStartWhole), v.tag(PR_START_DATE)});
    if (!item->start.isValid())
        item->start = TNEFMessageReadDate(forkRefNum, places.dateStart);
    item->end = FirstTime(v, {v.lid(PidLidAppointmentEndWhole), v.tag(PR_END_DATE)});
    if (!item->end.isValid())
        item->end = TNEFMessageReadDate(forkRefNum, places.dateEnd);
    // When the organizer last changed what the meeting is, else when it was
    // sent or made: never the time of this run, so a file always gives the same bytes.
    item->stamp = FirstTime(v, {v.lid(PidLidOwnerCriticalChange)});
    if (!item->stamp.isValid())
        item->stamp = Stamp(v, message);
    item->location = v.lidText(PidLidLocation);
    if (item->location.isEmpty())
        item->location = v.lidText(PidLidWhere);

    ReadCalendarPeople(v, message, item);
    item->description = PlainText(forkRefNum, message);
    item->sequence = v.number(v.lid(PidLidAppointmentSequence)).value_or(0);
    item->sensitivity = v.number(v.tag(PR_SENSITIVITY)).value_or(0);
    item->isPrivate = v.number(v.lid(PidLidPrivate)).value_or(0) != 0;
    item->reminderSet = v.number(v.lid(PidLidReminderSet)).value_or(0) != 0;
    item->reminderMinutes = SInt32(v.number(v.lid(PidLidReminderDelta)).value_or(15));
    // What the organizer means the time to be, over what the request
    // makes of it in the attendee's calendar until answered; -1 there
    // says the organizer meant nothing.
    const UInt32 intended = v.number(v.lid(PidLidIntendedBusyStatus)).value_or(UInt32(-1));
    item->busyStatus = SInt32(intended <= 4 ? intended : v.number(v.lid(PidLidBusyStatus)).value_or(UInt32(-1)));
    item->allDay = v.number(v.lid(PidLidAppointmentSubType)).value_or(0) != 0;
    const TNEFValuePlace recurrence = v.lid(PidLidAppointmentRecur);
    if (recurrence.type == PT_BINARY && recurrence.length <= kRecurrenceLimit)
        item->recurrence = TNEFValueBytes(forkRefNum, recurrence, kRecurrenceLimit);
    for (UInt16 id : {PidLidAppointmentTimeZoneDefinitionRecur, PidLidAppointmentTimeZoneDefinitionStartDisplay}) {
        if (item->timeZoneDefinition.isEmpty())
            item->timeZoneDefinition = TNEFValueBytes(forkRefNum, v.lid(id), kZoneLimit);
    }
    item->timeZoneStruct = TNEFValueBytes(forkRefNum, v.lid(PidLidTimeZoneStruct), kZoneLimit);
    item->timeZoneName = v.lidText(PidLidTimeZoneDescription, kZoneLimit);
    return true;
}

bool TNEFMessageReadContact(SInt16 forkRefNum, const TNEFMessagePlaces &places, const TNEFMessage &message,
                            TNEFContactItem *contact)
{
    if (TNEFMessageItemKindOf(message.messageClass) != TNEFMessageItemKind::Contact)
        return false;
    const Values v = ReadValues(forkRefNum, places);
    *contact = TNEFContactItem{};
    contact->displayName = v.tagText(PR_DISPLAY_NAME);
    if (contact->displayName.isEmpty())
        contact->displayName = message.subject;
    contact->givenName = v.tagText(PR_GIVEN_NAME);
    contact->familyName = v.tagText(PR_SURNAME);
    contact->middleName = v.tagText(PR_MIDDLE_NAME);
    contact->prefix = v.tagText(PR_DISPLAY_NAME_PREFIX);
    contact->suffix = v.tagText(PR_GENERATION);
    for (UInt16 id : {PidLidEmail1EmailAddress, PidLidEmail2EmailAddress, PidLidEmail3EmailAddress}) {
        const QString address = v.lidText(id);
        if (IsMailAddress(address) && !contact->emails.contains(address))
            contact->emails << address;
    }
    for (int i = 0; i < kTNEFContactPhoneTagCount; ++i) {
        const QString number = v.tagText(kTNEFContactPhoneTags[i].tag);
        if (!number.isEmpty())
            contact->phones.append({number, QString::fromLatin1(kTNEFContactPhoneTags[i].types)});
    }
    const std::array<UInt16, 6> work{PidLidWorkAddressPostOfficeBox, PidLidWorkAddressStreet, PidLidWorkAddressCity,
                                     PidLidWorkAddressState, PidLidWorkAddressPostalCode, PidLidWorkAddressCountry};
    AddAddress(v, QStringLiteral("work"), work, true, &contact->addresses);
    if (contact->addresses.isEmpty())
        AddAddress(v, QStringLiteral("work"),
                   {PR_POST_OFFICE_BOX, PR_STREET_ADDRESS, PR_LOCALITY, PR_STATE_OR_PROVINCE, PR_POSTAL_CODE, PR_COUNTRY},
                   false, &contact->addresses);
    AddAddress(v, QStringLiteral("home"),
               {PR_HOME_ADDRESS_POST_OFFICE_BOX, PR_HOME_ADDRESS_STREET, PR_HOME_ADDRESS_CITY,
                PR_HOME_ADDRESS_STATE_OR_PROVINCE, PR_HOME_ADDRESS_POSTAL_CODE, PR_HOME_ADDRESS_COUNTRY},
               false, &contact->addresses);
    AddAddress(v, QString(),
               {PR_OTHER_ADDRESS_POST_OFFICE_BOX, PR_OTHER_ADDRESS_STREET, PR_OTHER_ADDRESS_CITY,
                PR_OTHER_ADDRESS_STATE_OR_PROVINCE, PR_OTHER_ADDRESS_POSTAL_CODE, PR_OTHER_ADDRESS_COUNTRY},
               false, &contact->addresses);
    contact->organization = v.tagText(PR_COMPANY_NAME);
    contact->department = v.tagText(PR_DEPARTMENT_NAME);
    contact->title = v.tagText(PR_TITLE);
    contact->note = PlainText(forkRefNum, message);
    return true;
}

bool TNEFFileReadTask(const TNEFFile *tnefFile, const TNEFMessage &message, TNEFTaskItem *task)
{
    if (TNEFTaskIsRequestClass(message.messageClass))
        return ReadRequestTask(tnefFile, task);
    if (!TNEFTaskIsTaskClass(message.messageClass))
        return false;
    ReadTask(ReadValues(tnefFile->forkRefNum, tnefFile->messagePlaces), message, task);
    return true;
}

QString TNEFMessageItemFileName(const QString &subject, const QString &fallback, const QString &suffix)
{
    QString name = TextWithoutControls(subject).simplified();
    for (QChar &c : name) {
        if (QStringView(u"/\\:*?\"<>|").contains(c))
            c = QLatin1Char('_');
    }
    while (name.startsWith(QLatin1Char('.')))
        name.remove(0, 1);
    // "Call back." names "Call back.ics", not a file with two dots.
    name = TNEFNameWithoutTrailingDots(name.left(kNameLimit));
    return (name.isEmpty() ? fallback : name) + suffix;
}

bool TNEFFileAddVirtualItems(TNEFFile *tnefFile)
{
    TNEFMessage message;
    if (!tnefFile || TNEFMessageRead(tnefFile->forkRefNum, tnefFile->messagePlaces, &message) != noErr)
        return false;
    QByteArray bytes;
    QString name;
    switch (TNEFMessageItemKindOf(message.messageClass)) {
    case TNEFMessageItemKind::None:
        return false;
    case TNEFMessageItemKind::Calendar: {
        TNEFCalendarItem item;
        TNEFMessageReadCalendar(tnefFile->forkRefNum, tnefFile->messagePlaces, message, &item);
        bytes = TNEFCalendarWrite(item);
        name = TNEFMessageItemFileName(message.subject, QStringLiteral("meeting"), QStringLiteral(".ics"));
        break;
    }
    case TNEFMessageItemKind::Contact: {
        TNEFContactItem contact;
        TNEFMessageReadContact(tnefFile->forkRefNum, tnefFile->messagePlaces, message, &contact);
        bytes = TNEFContactWriteVCard(contact);
        name = TNEFMessageItemFileName(contact.displayName, QStringLiteral("contact"), QStringLiteral(".vcf"));
        break;
    }
    case TNEFMessageItemKind::Task: {
        TNEFTaskItem task;
        if (TNEFFileReadTask(tnefFile, message, &task))
            bytes = TNEFTaskWrite(task);
        name = TNEFMessageItemFileName(task.summary, QStringLiteral("task"), QStringLiteral(".ics"));
        break;
    }
    }
    if (bytes.isEmpty())
        return false;
    auto *item = new (std::nothrow) TNEFFileItem{};
    if (!item) {
        TNEF_LOG_ERROR("    NewPtrClear() returned NULL.\n");
        return false;
    }
    UInt32 lastID = 0;
    for (const TNEFFileItem *real = tnefFile->fileList; real; real = real->next)
        lastID = std::max(lastID, real->fileID);
    item->fileID = lastID + 1;
    item->name = name.toStdString();
    item->dataLength = UInt32(bytes.size());
    item->contents = std::move(bytes);
    // First in the list: what the message is about comes before what it carries.
    item->next = tnefFile->fileList.head;
    tnefFile->fileList.head = item;
    if (!tnefFile->fileList.tail)
        tnefFile->fileList.tail = item;
    return true;
}
