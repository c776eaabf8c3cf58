#pragma once
// Contacts as vCard 4.0 (RFC 6350): the contact as read from a message and
// the one writer of its text, escaping and line folding included.
#include "platform/MacTypes.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

struct TNEFContactPhone {
    QString number;
    QString types;  // the TYPE list: "work,voice", "cell", "home,fax"; may be empty
};

struct TNEFContactAddress {
    QString types;  // "work", "home" or empty
    QString poBox;
    QString street;
    QString locality;
    QString region;
    QString postalCode;
    QString country;
};

struct TNEFContactItem {
    QString displayName;
    QString givenName;
    QString familyName;
    QString middleName;
    QString prefix;
    QString suffix;
    QStringList emails;
    QList<TNEFContactPhone> phones;
    QList<TNEFContactAddress> addresses;
    QString organization;
    QString department;
    QString title;
    QString note;  // the plain-text body
};

// The vCard TYPE list of each telephone property a contact carries.
struct TNEFContactPhoneTag {
    UInt16 tag;
    const char *types;
};
extern const TNEFContactPhoneTag kTNEFContactPhoneTags[];
extern const int kTNEFContactPhoneTagCount;

// True for IPM.Contact and the classes below it (any case).
bool TNEFContactIsContactClass(const QString &messageClass);

// The contact as one vCard (UTF-8, CRLF line ends, lines folded at 75
// octets). FN is the display name, else one made of the name parts, the
// organization or the first address; empty properties are left out.
QByteArray TNEFContactWriteVCard(const TNEFContactItem &contact);
