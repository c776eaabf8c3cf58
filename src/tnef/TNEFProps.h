#pragma once
// The MAPI properties the program knows by name, each written once: the
// value types, the tagged properties by the id half of their tag, and the
// named ones by property set and long id.
#include "platform/MacTypes.h"

#include <array>
#include <cstddef>

namespace tnefprop {
// The types and tags read like the names the format documents give them,
// bare (see the end of this file) or as tnefprop::PR_...; the sets and the
// named properties are only ever spelt with tnefprop.
inline namespace tags {

// Value types (the type half of a tag).
enum : UInt16 {
    PT_SHORT = 0x0002,
    PT_LONG = 0x0003,
    PT_FLOAT = 0x0004,
    PT_DOUBLE = 0x0005,
    PT_CURRENCY = 0x0006,
    PT_APPTIME = 0x0007,
    PT_ERROR = 0x000A,
    PT_BOOLEAN = 0x000B,
    PT_OBJECT = 0x000D,
    PT_I8 = 0x0014,
    PT_STRING8 = 0x001E,
    PT_UNICODE = 0x001F,
    PT_SYSTIME = 0x0040,
    PT_CLSID = 0x0048,
    PT_BINARY = 0x0102,
    MV_FLAG = 0x1000,  // or'd into a type: several values of it
};

// Tagged properties (the id half of the tag).
enum : UInt16 {
    PR_IMPORTANCE = 0x0017,
    PR_MESSAGE_CLASS = 0x001A,
    PR_SENSITIVITY = 0x0036,
    PR_SUBJECT = 0x0037,
    PR_CLIENT_SUBMIT_TIME = 0x0039,
    PR_SENT_REPRESENTING_NAME = 0x0042,
    PR_START_DATE = 0x0060,
    PR_END_DATE = 0x0061,
    PR_OWNER_APPT_ID = 0x0062,
    PR_RESPONSE_REQUESTED = 0x0063,
    PR_SENT_REPRESENTING_ADDRTYPE = 0x0064,
    PR_SENT_REPRESENTING_EMAIL_ADDRESS = 0x0065,
    PR_CONVERSATION_TOPIC = 0x0070,
    PR_RECIPIENT_TYPE = 0x0C15,
    PR_SENDER_NAME = 0x0C1A,
    PR_SENDER_ADDRTYPE = 0x0C1E,
    PR_SENDER_EMAIL_ADDRESS = 0x0C1F,
    PR_DISPLAY_CC = 0x0E03,
    PR_DISPLAY_TO = 0x0E04,
    PR_MESSAGE_DELIVERY_TIME = 0x0E06,
    PR_ATTACH_SIZE = 0x0E20,
    PR_BODY = 0x1000,
    PR_RTF_COMPRESSED = 0x1009,
    PR_BODY_HTML = 0x1013,
    PR_DISPLAY_NAME = 0x3001,
    PR_ADDRTYPE = 0x3002,
    PR_EMAIL_ADDRESS = 0x3003,
    PR_CREATION_TIME = 0x3007,
    PR_LAST_MODIFICATION_TIME = 0x3008,
    PR_ATTACH_DATA_OBJ = 0x3701,
    PR_ATTACH_METHOD = 0x3705,
    PR_ATTACH_LONG_FILENAME = 0x3707,
    PR_ATTACH_MIME_TAG = 0x370E,
    PR_ATTACH_CONTENT_ID = 0x3712,
    PR_ATTACH_CONTENT_LOCATION = 0x3713,
    PR_SMTP_ADDRESS = 0x39FE,
    PR_GENERATION = 0x3A05,
    PR_GIVEN_NAME = 0x3A06,
    PR_BUSINESS_TELEPHONE_NUMBER = 0x3A08,
    PR_HOME_TELEPHONE_NUMBER = 0x3A09,
    PR_INITIALS = 0x3A0A,
    PR_SURNAME = 0x3A11,
    PR_COMPANY_NAME = 0x3A16,
    PR_TITLE = 0x3A17,
    PR_DEPARTMENT_NAME = 0x3A18,
    PR_PRIMARY_TELEPHONE_NUMBER = 0x3A1A,
    PR_BUSINESS2_TELEPHONE_NUMBER = 0x3A1B,
    PR_MOBILE_TELEPHONE_NUMBER = 0x3A1C,
    PR_CAR_TELEPHONE_NUMBER = 0x3A1E,
    PR_OTHER_TELEPHONE_NUMBER = 0x3A1F,
    PR_PAGER_TELEPHONE_NUMBER = 0x3A21,
    PR_PRIMARY_FAX_NUMBER = 0x3A23,
    PR_BUSINESS_FAX_NUMBER = 0x3A24,
    PR_HOME_FAX_NUMBER = 0x3A25,
    PR_COUNTRY = 0x3A26,
    PR_LOCALITY = 0x3A27,
    PR_STATE_OR_PROVINCE = 0x3A28,
    PR_STREET_ADDRESS = 0x3A29,
    PR_POSTAL_CODE = 0x3A2A,
    PR_POST_OFFICE_BOX = 0x3A2B,
    PR_ASSISTANT_TELEPHONE_NUMBER = 0x3A2E,
    PR_HOME2_TELEPHONE_NUMBER = 0x3A2F,
    PR_BIRTHDAY = 0x3A42,
    PR_MIDDLE_NAME = 0x3A44,
    PR_DISPLAY_NAME_PREFIX = 0x3A45,
    PR_NICKNAME = 0x3A4F,
    PR_PERSONAL_HOME_PAGE = 0x3A50,
    PR_BUSINESS_HOME_PAGE = 0x3A51,
    PR_COMPANY_MAIN_PHONE_NUMBER = 0x3A57,
    PR_HOME_ADDRESS_CITY = 0x3A59,
    PR_HOME_ADDRESS_COUNTRY = 0x3A5A,
    PR_HOME_ADDRESS_POSTAL_CODE = 0x3A5B,
    PR_HOME_ADDRESS_STATE_OR_PROVINCE = 0x3A5C,
    PR_HOME_ADDRESS_STREET = 0x3A5D,
    PR_HOME_ADDRESS_POST_OFFICE_BOX = 0x3A5E,
    PR_OTHER_ADDRESS_CITY = 0x3A5F,
    PR_OTHER_ADDRESS_COUNTRY = 0x3A60,
    PR_OTHER_ADDRESS_POSTAL_CODE = 0x3A61,
    PR_OTHER_ADDRESS_STATE_OR_PROVINCE = 0x3A62,
    PR_OTHER_ADDRESS_STREET = 0x3A63,
    PR_OTHER_ADDRESS_POST_OFFICE_BOX = 0x3A64,
    PR_INTERNET_CPID = 0x3FDE,
    PR_SENDER_SMTP_ADDRESS = 0x5D01,
    PR_SENT_REPRESENTING_SMTP_ADDRESS = 0x5D02,
};

} // namespace tags

// The property sets the named properties belong to. A named property is
// itself only in its set: servers that number every named property of a
// message 0x8000 tell them apart by set and long id alone, and a long id of
// one set means something else in another.
enum class PropSet : UInt8 { Appointment, Meeting, Common, Address, Task };

// Each set's GUID as the file stores it (the first three fields little-endian).
using Guid = std::array<UInt8, 16>;
constexpr Guid kPropSetGuids[] = {
    // PSETID_Appointment {00062002-0000-0000-C000-000000000046}
    {0x02, 0x20, 0x06, 0x00, 0x00, 0x00, 0x00, 0x00, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46},
    // PSETID_Meeting {6ED8DA90-450B-101B-98DA-00AA003F1305}
    {0x90, 0xDA, 0xD8, 0x6E, 0x0B, 0x45, 0x1B, 0x10, 0x98, 0xDA, 0x00, 0xAA, 0x00, 0x3F, 0x13, 0x05},
    // PSETID_Common {00062008-0000-0000-C000-000000000046}
    {0x08, 0x20, 0x06, 0x00, 0x00, 0x00, 0x00, 0x00, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46},
    // PSETID_Address {00062004-0000-0000-C000-000000000046}
    {0x04, 0x20, 0x06, 0x00, 0x00, 0x00, 0x00, 0x00, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46},
    // PSETID_Task {00062003-0000-0000-C000-000000000046}
    {0x03, 0x20, 0x06, 0x00, 0x00, 0x00, 0x00, 0x00, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46},
};
constexpr const Guid &guidOf(PropSet set) { return kPropSetGuids[std::size_t(set)]; }

// Long ids of the named properties (their set in the table below).
enum : UInt16 {
    // PSETID_Meeting
    PidLidAttendeeCriticalChange = 0x0001,
    PidLidWhere = 0x0002,
    PidLidGlobalObjectId = 0x0003,
    PidLidIsSilent = 0x0004,
    PidLidIsRecurring = 0x0005,
    PidLidIsException = 0x000A,
    PidLidTimeZone = 0x000C,
    PidLidStartRecurrenceDate = 0x000D,
    PidLidStartRecurrenceTime = 0x000E,
    PidLidEndRecurrenceDate = 0x000F,
    PidLidEndRecurrenceTime = 0x0010,
    PidLidOwnerCriticalChange = 0x001A,
    PidLidCleanGlobalObjectId = 0x0023,
    PidLidMeetingType = 0x0026,
    PidLidOldWhenStartWhole = 0x0029,
    PidLidOldWhenEndWhole = 0x002A,
    // PSETID_Address
    PidLidFileUnder = 0x8005,
    PidLidHomeAddress = 0x801A,
    PidLidWorkAddress = 0x801B,
    PidLidOtherAddress = 0x801C,
    PidLidPostalAddressId = 0x8022,
    PidLidHtml = 0x802B,
    PidLidWorkAddressStreet = 0x8045,
    PidLidWorkAddressCity = 0x8046,
    PidLidWorkAddressState = 0x8047,
    PidLidWorkAddressPostalCode = 0x8048,
    PidLidWorkAddressCountry = 0x8049,
    PidLidWorkAddressPostOfficeBox = 0x804A,
    PidLidInstantMessagingAddress = 0x8062,
    PidLidEmail1DisplayName = 0x8080,
    PidLidEmail1AddressType = 0x8082,
    PidLidEmail1EmailAddress = 0x8083,
    PidLidEmail1OriginalDisplayName = 0x8084,
    PidLidEmail2DisplayName = 0x8090,
    PidLidEmail2AddressType = 0x8092,
    PidLidEmail2EmailAddress = 0x8093,
    PidLidEmail2OriginalDisplayName = 0x8094,
    PidLidEmail3DisplayName = 0x80A0,
    PidLidEmail3AddressType = 0x80A2,
    PidLidEmail3EmailAddress = 0x80A3,
    PidLidEmail3OriginalDisplayName = 0x80A4,
    // PSETID_Task
    PidLidTaskStatus = 0x8101,
    PidLidPercentComplete = 0x8102,
    PidLidTaskStartDate = 0x8104,
    PidLidTaskDueDate = 0x8105,
    PidLidTaskDateCompleted = 0x810F,
    PidLidTaskComplete = 0x811C,
    // PSETID_Appointment
    PidLidAppointmentSequence = 0x8201,
    PidLidBusyStatus = 0x8205,
    PidLidLocation = 0x8208,
    PidLidAppointmentStartWhole = 0x820D,
    PidLidAppointmentEndWhole = 0x820E,
    PidLidAppointmentDuration = 0x8213,
    PidLidAppointmentSubType = 0x8215,
    PidLidAppointmentRecur = 0x8216,
    PidLidAppointmentStateFlags = 0x8217,
    PidLidResponseStatus = 0x8218,
    PidLidRecurring = 0x8223,
    PidLidIntendedBusyStatus = 0x8224,
    PidLidRecurrenceType = 0x8231,
    PidLidRecurrencePattern = 0x8232,
    PidLidTimeZoneStruct = 0x8233,
    PidLidTimeZoneDescription = 0x8234,
    PidLidClipStart = 0x8235,
    PidLidClipEnd = 0x8236,
    PidLidAllAttendeesString = 0x8238,
    PidLidToAttendeesString = 0x823B,
    PidLidCcAttendeesString = 0x823C,
    PidLidAppointmentTimeZoneDefinitionStartDisplay = 0x825E,
    PidLidAppointmentTimeZoneDefinitionRecur = 0x8260,
    // PSETID_Common
    PidLidReminderDelta = 0x8501,
    PidLidReminderTime = 0x8502,
    PidLidReminderSet = 0x8503,
    PidLidPrivate = 0x8506,
    PidLidCommonStart = 0x8516,
    PidLidCommonEnd = 0x8517,
    PidLidTaskGlobalId = 0x8519,
    PidLidReminderSignalTime = 0x8560,
};


struct NamedProp {
    PropSet set;
    UInt16 lid;
    UInt16 type;  // the type the property is written with (strings may also come as PT_STRING8)
    const char *name;
};

#define TNEF_NAMED(set, lid, type) NamedProp{PropSet::set, lid, type, #lid}
constexpr NamedProp kNamedProps[] = {
    TNEF_NAMED(Meeting, PidLidAttendeeCriticalChange, PT_SYSTIME),
    TNEF_NAMED(Meeting, PidLidWhere, PT_UNICODE),
    TNEF_NAMED(Meeting, PidLidGlobalObjectId, PT_BINARY),
    TNEF_NAMED(Meeting, PidLidIsSilent, PT_BOOLEAN),
    TNEF_NAMED(Meeting, PidLidIsRecurring, PT_BOOLEAN),
    TNEF_NAMED(Meeting, PidLidIsException, PT_BOOLEAN),
    TNEF_NAMED(Meeting, PidLidTimeZone, PT_LONG),
    TNEF_NAMED(Meeting, PidLidStartRecurrenceDate, PT_LONG),
    TNEF_NAMED(Meeting, PidLidStartRecurrenceTime, PT_LONG),
    TNEF_NAMED(Meeting, PidLidEndRecurrenceDate, PT_LONG),
    TNEF_NAMED(Meeting, PidLidEndRecurrenceTime, PT_LONG),
    TNEF_NAMED(Meeting, PidLidOwnerCriticalChange, PT_SYSTIME),
    TNEF_NAMED(Meeting, PidLidCleanGlobalObjectId, PT_BINARY),
    TNEF_NAMED(Meeting, PidLidMeetingType, PT_LONG),
    TNEF_NAMED(Meeting, PidLidOldWhenStartWhole, PT_SYSTIME),
    TNEF_NAMED(Meeting, PidLidOldWhenEndWhole, PT_SYSTIME),
    TNEF_NAMED(Address, PidLidFileUnder, PT_UNICODE),
    TNEF_NAMED(Address, PidLidHomeAddress, PT_UNICODE),
    TNEF_NAMED(Address, PidLidWorkAddress, PT_UNICODE),
    TNEF_NAMED(Address, PidLidOtherAddress, PT_UNICODE),
    TNEF_NAMED(Address, PidLidPostalAddressId, PT_LONG),
    TNEF_NAMED(Address, PidLidHtml, PT_UNICODE),
    TNEF_NAMED(Address, PidLidWorkAddressStreet, PT_UNICODE),
    TNEF_NAMED(Address, PidLidWorkAddressCity, PT_UNICODE),
    TNEF_NAMED(Address, PidLidWorkAddressState, PT_UNICODE),
    TNEF_NAMED(Address, PidLidWorkAddressPostalCode, PT_UNICODE),
    TNEF_NAMED(Address, PidLidWorkAddressCountry, PT_UNICODE),
    TNEF_NAMED(Address, PidLidWorkAddressPostOfficeBox, PT_UNICODE),
    TNEF_NAMED(Address, PidLidInstantMessagingAddress, PT_UNICODE),
    TNEF_NAMED(Address, PidLidEmail1DisplayName, PT_UNICODE),
    TNEF_NAMED(Address, PidLidEmail1AddressType, PT_UNICODE),
    TNEF_NAMED(Address, PidLidEmail1EmailAddress, PT_UNICODE),
    TNEF_NAMED(Address, PidLidEmail1OriginalDisplayName, PT_UNICODE),
    TNEF_NAMED(Address, PidLidEmail2DisplayName, PT_UNICODE),
    TNEF_NAMED(Address, PidLidEmail2AddressType, PT_UNICODE),
    TNEF_NAMED(Address, PidLidEmail2EmailAddress, PT_UNICODE),
    TNEF_NAMED(Address, PidLidEmail2OriginalDisplayName, PT_UNICODE),
    TNEF_NAMED(Address, PidLidEmail3DisplayName, PT_UNICODE),
    TNEF_NAMED(Address, PidLidEmail3AddressType, PT_UNICODE),
    TNEF_NAMED(Address, PidLidEmail3EmailAddress, PT_UNICODE),
    TNEF_NAMED(Address, PidLidEmail3OriginalDisplayName, PT_UNICODE),
    TNEF_NAMED(Task, PidLidTaskStatus, PT_LONG),
    TNEF_NAMED(Task, PidLidPercentComplete, PT_DOUBLE),
    TNEF_NAMED(Task, PidLidTaskStartDate, PT_SYSTIME),
    TNEF_NAMED(Task, PidLidTaskDueDate, PT_SYSTIME),
    TNEF_NAMED(Task, PidLidTaskDateCompleted, PT_SYSTIME),
    TNEF_NAMED(Task, PidLidTaskComplete, PT_BOOLEAN),
    TNEF_NAMED(Appointment, PidLidAppointmentSequence, PT_LONG),
    TNEF_NAMED(Appointment, PidLidBusyStatus, PT_LONG),
    TNEF_NAMED(Appointment, PidLidLocation, PT_UNICODE),
    TNEF_NAMED(Appointment, PidLidAppointmentStartWhole, PT_SYSTIME),
    TNEF_NAMED(Appointment, PidLidAppointmentEndWhole, PT_SYSTIME),
    TNEF_NAMED(Appointment, PidLidAppointmentDuration, PT_LONG),
    TNEF_NAMED(Appointment, PidLidAppointmentSubType, PT_BOOLEAN),
    TNEF_NAMED(Appointment, PidLidAppointmentRecur, PT_BINARY),
    TNEF_NAMED(Appointment, PidLidAppointmentStateFlags, PT_LONG),
    TNEF_NAMED(Appointment, PidLidResponseStatus, PT_LONG),
    TNEF_NAMED(Appointment, PidLidRecurring, PT_BOOLEAN),
    TNEF_NAMED(Appointment, PidLidIntendedBusyStatus, PT_LONG),
    TNEF_NAMED(Appointment, PidLidRecurrenceType, PT_LONG),
    TNEF_NAMED(Appointment, PidLidRecurrencePattern, PT_UNICODE),
    TNEF_NAMED(Appointment, PidLidTimeZoneStruct, PT_BINARY),
    TNEF_NAMED(Appointment, PidLidTimeZoneDescription, PT_UNICODE),
    TNEF_NAMED(Appointment, PidLidClipStart, PT_SYSTIME),
    TNEF_NAMED(Appointment, PidLidClipEnd, PT_SYSTIME),
    TNEF_NAMED(Appointment, PidLidAllAttendeesString, PT_UNICODE),
    TNEF_NAMED(Appointment, PidLidToAttendeesString, PT_UNICODE),
    TNEF_NAMED(Appointment, PidLidCcAttendeesString, PT_UNICODE),
    TNEF_NAMED(Appointment, PidLidAppointmentTimeZoneDefinitionStartDisplay, PT_BINARY),
    TNEF_NAMED(Appointment, PidLidAppointmentTimeZoneDefinitionRecur, PT_BINARY),
    TNEF_NAMED(Common, PidLidReminderDelta, PT_LONG),
    TNEF_NAMED(Common, PidLidReminderTime, PT_SYSTIME),
    TNEF_NAMED(Common, PidLidReminderSet, PT_BOOLEAN),
    TNEF_NAMED(Common, PidLidPrivate, PT_BOOLEAN),
    TNEF_NAMED(Common, PidLidCommonStart, PT_SYSTIME),
    TNEF_NAMED(Common, PidLidCommonEnd, PT_SYSTIME),
    TNEF_NAMED(Common, PidLidTaskGlobalId, PT_BINARY),
    TNEF_NAMED(Common, PidLidReminderSignalTime, PT_SYSTIME),
};
#undef TNEF_NAMED

// Each long id stands once in the table, so that the readers can name an
// entry by its long id; a file's property still has to match its set too.
constexpr bool namedPropIdsUnique()
{
    for (std::size_t i = 0; i < std::size(kNamedProps); ++i)
        for (std::size_t j = i + 1; j < std::size(kNamedProps); ++j)
            if (kNamedProps[i].lid == kNamedProps[j].lid)
                return false;
    return true;
}
static_assert(namedPropIdsUnique());

// The table's entry for a numeric named property, by its set and long id;
// null when the table has no such property.
constexpr const NamedProp *findNamedProp(const Guid &set, UInt32 lid)
{
    for (const NamedProp &prop : kNamedProps) {
        if (prop.lid == lid && guidOf(prop.set) == set)
            return &prop;
    }
    return nullptr;
}

} // namespace tnefprop

// Every reader of properties names types and tags bare.
using namespace tnefprop::tags;
