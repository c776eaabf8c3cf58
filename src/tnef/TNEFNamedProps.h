#pragma once
// The MAPI properties that meetings, appointments and contacts are read from:
// the named ones by property set and long id, the tagged ones by tag. Kept
// in a namespace of their own so that they never collide with the tags the
// parser and the message model name.
#include "platform/MacTypes.h"

#include <array>
#include <cstddef>

namespace tnefprop {

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

// Tagged properties (the id half of the tag).
enum : UInt16 {
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
    PR_RECIPIENT_TYPE = 0x0C15,
    PR_SENDER_NAME = 0x0C1A,
    PR_SENDER_ADDRTYPE = 0x0C1E,
    PR_SENDER_EMAIL_ADDRESS = 0x0C1F,
    PR_BODY = 0x1000,
    PR_ADDRTYPE = 0x3002,
    PR_EMAIL_ADDRESS = 0x3003,
    PR_CREATION_TIME = 0x3007,
    PR_LAST_MODIFICATION_TIME = 0x3008,
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
    PR_SENDER_SMTP_ADDRESS = 0x5D01,
    PR_SENT_REPRESENTING_SMTP_ADDRESS = 0x5D02,
};

struct NamedProp {
    PropSet set;
    UInt16 lid;
    UInt16 type;  // the type the property is written with (strings may also come as PT_STRING8)
    const char *name;
};

// Types, repeated here so that the table needs no other header.
enum : UInt16 {
    kTypeLong = 0x0003,
    kTypeBoolean = 0x000B,
    kTypeUnicode = 0x001F,
    kTypeSystime = 0x0040,
    kTypeBinary = 0x0102,
    kTypeMultiUnicode = 0x101F,
};

#define TNEF_NAMED(set, lid, type) NamedProp{PropSet::set, lid, type, #lid}
constexpr NamedProp kNamedProps[] = {
    TNEF_NAMED(Meeting, PidLidAttendeeCriticalChange, kTypeSystime),
    TNEF_NAMED(Meeting, PidLidWhere, kTypeUnicode),
    TNEF_NAMED(Meeting, PidLidGlobalObjectId, kTypeBinary),
    TNEF_NAMED(Meeting, PidLidIsSilent, kTypeBoolean),
    TNEF_NAMED(Meeting, PidLidIsRecurring, kTypeBoolean),
    TNEF_NAMED(Meeting, PidLidIsException, kTypeBoolean),
    TNEF_NAMED(Meeting, PidLidTimeZone, kTypeLong),
    TNEF_NAMED(Meeting, PidLidStartRecurrenceDate, kTypeLong),
    TNEF_NAMED(Meeting, PidLidStartRecurrenceTime, kTypeLong),
    TNEF_NAMED(Meeting, PidLidEndRecurrenceDate, kTypeLong),
    TNEF_NAMED(Meeting, PidLidEndRecurrenceTime, kTypeLong),
    TNEF_NAMED(Meeting, PidLidOwnerCriticalChange, kTypeSystime),
    TNEF_NAMED(Meeting, PidLidCleanGlobalObjectId, kTypeBinary),
    TNEF_NAMED(Meeting, PidLidMeetingType, kTypeLong),
    TNEF_NAMED(Meeting, PidLidOldWhenStartWhole, kTypeSystime),
    TNEF_NAMED(Meeting, PidLidOldWhenEndWhole, kTypeSystime),
    TNEF_NAMED(Address, PidLidFileUnder, kTypeUnicode),
    TNEF_NAMED(Address, PidLidHomeAddress, kTypeUnicode),
    TNEF_NAMED(Address, PidLidWorkAddress, kTypeUnicode),
    TNEF_NAMED(Address, PidLidOtherAddress, kTypeUnicode),
    TNEF_NAMED(Address, PidLidPostalAddressId, kTypeLong),
    TNEF_NAMED(Address, PidLidHtml, kTypeUnicode),
    TNEF_NAMED(Address, PidLidWorkAddressStreet, kTypeUnicode),
    TNEF_NAMED(Address, PidLidWorkAddressCity, kTypeUnicode),
    TNEF_NAMED(Address, PidLidWorkAddressState, kTypeUnicode),
    TNEF_NAMED(Address, PidLidWorkAddressPostalCode, kTypeUnicode),
    TNEF_NAMED(Address, PidLidWorkAddressCountry, kTypeUnicode),
    TNEF_NAMED(Address, PidLidWorkAddressPostOfficeBox, kTypeUnicode),
    TNEF_NAMED(Address, PidLidInstantMessagingAddress, kTypeUnicode),
    TNEF_NAMED(Address, PidLidEmail1DisplayName, kTypeUnicode),
    TNEF_NAMED(Address, PidLidEmail1AddressType, kTypeUnicode),
    TNEF_NAMED(Address, PidLidEmail1EmailAddress, kTypeUnicode),
    TNEF_NAMED(Address, PidLidEmail1OriginalDisplayName, kTypeUnicode),
    TNEF_NAMED(Address, PidLidEmail2DisplayName, kTypeUnicode),
    TNEF_NAMED(Address, PidLidEmail2AddressType, kTypeUnicode),
    TNEF_NAMED(Address, PidLidEmail2EmailAddress, kTypeUnicode),
    TNEF_NAMED(Address, PidLidEmail2OriginalDisplayName, kTypeUnicode),
    TNEF_NAMED(Address, PidLidEmail3DisplayName, kTypeUnicode),
    TNEF_NAMED(Address, PidLidEmail3AddressType, kTypeUnicode),
    TNEF_NAMED(Address, PidLidEmail3EmailAddress, kTypeUnicode),
    TNEF_NAMED(Address, PidLidEmail3OriginalDisplayName, kTypeUnicode),
    TNEF_NAMED(Task, PidLidTaskStatus, kTypeLong),
    TNEF_NAMED(Task, PidLidPercentComplete, 0x0005),
    TNEF_NAMED(Task, PidLidTaskStartDate, kTypeSystime),
    TNEF_NAMED(Task, PidLidTaskDueDate, kTypeSystime),
    TNEF_NAMED(Task, PidLidTaskDateCompleted, kTypeSystime),
    TNEF_NAMED(Task, PidLidTaskComplete, kTypeBoolean),
    TNEF_NAMED(Appointment, PidLidAppointmentSequence, kTypeLong),
    TNEF_NAMED(Appointment, PidLidBusyStatus, kTypeLong),
    TNEF_NAMED(Appointment, PidLidLocation, kTypeUnicode),
    TNEF_NAMED(Appointment, PidLidAppointmentStartWhole, kTypeSystime),
    TNEF_NAMED(Appointment, PidLidAppointmentEndWhole, kTypeSystime),
    TNEF_NAMED(Appointment, PidLidAppointmentDuration, kTypeLong),
    TNEF_NAMED(Appointment, PidLidAppointmentSubType, kTypeBoolean),
    TNEF_NAMED(Appointment, PidLidAppointmentRecur, kTypeBinary),
    TNEF_NAMED(Appointment, PidLidAppointmentStateFlags, kTypeLong),
    TNEF_NAMED(Appointment, PidLidResponseStatus, kTypeLong),
    TNEF_NAMED(Appointment, PidLidRecurring, kTypeBoolean),
    TNEF_NAMED(Appointment, PidLidIntendedBusyStatus, kTypeLong),
    TNEF_NAMED(Appointment, PidLidRecurrenceType, kTypeLong),
    TNEF_NAMED(Appointment, PidLidRecurrencePattern, kTypeUnicode),
    TNEF_NAMED(Appointment, PidLidTimeZoneStruct, kTypeBinary),
    TNEF_NAMED(Appointment, PidLidTimeZoneDescription, kTypeUnicode),
    TNEF_NAMED(Appointment, PidLidClipStart, kTypeSystime),
    TNEF_NAMED(Appointment, PidLidClipEnd, kTypeSystime),
    TNEF_NAMED(Appointment, PidLidAllAttendeesString, kTypeUnicode),
    TNEF_NAMED(Appointment, PidLidToAttendeesString, kTypeUnicode),
    TNEF_NAMED(Appointment, PidLidCcAttendeesString, kTypeUnicode),
    TNEF_NAMED(Appointment, PidLidAppointmentTimeZoneDefinitionStartDisplay, kTypeBinary),
    TNEF_NAMED(Appointment, PidLidAppointmentTimeZoneDefinitionRecur, kTypeBinary),
    TNEF_NAMED(Common, PidLidReminderDelta, kTypeLong),
    TNEF_NAMED(Common, PidLidReminderTime, kTypeSystime),
    TNEF_NAMED(Common, PidLidReminderSet, kTypeBoolean),
    TNEF_NAMED(Common, PidLidPrivate, kTypeBoolean),
    TNEF_NAMED(Common, PidLidCommonStart, kTypeSystime),
    TNEF_NAMED(Common, PidLidCommonEnd, kTypeSystime),
    TNEF_NAMED(Common, PidLidTaskGlobalId, kTypeBinary),
    TNEF_NAMED(Common, PidLidReminderSignalTime, kTypeSystime),
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
