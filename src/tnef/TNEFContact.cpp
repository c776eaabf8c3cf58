#include "TNEFContact.h"

#include "TNEFProps.h"
#include "platform/ErrorLog.h"
#include "platform/TextCodec.h"

#include <iterator>

const TNEFContactPhoneTag kTNEFContactPhoneTags[] = {
    {tnefprop::PR_BUSINESS_TELEPHONE_NUMBER, "work,voice"},
    {tnefprop::PR_BUSINESS2_TELEPHONE_NUMBER, "work,voice"},
    {tnefprop::PR_COMPANY_MAIN_PHONE_NUMBER, "work,voice"},
    {tnefprop::PR_HOME_TELEPHONE_NUMBER, "home,voice"},
    {tnefprop::PR_HOME2_TELEPHONE_NUMBER, "home,voice"},
    {tnefprop::PR_MOBILE_TELEPHONE_NUMBER, "cell"},
    {tnefprop::PR_PRIMARY_TELEPHONE_NUMBER, "voice"},
    {tnefprop::PR_CAR_TELEPHONE_NUMBER, "voice"},
    {tnefprop::PR_OTHER_TELEPHONE_NUMBER, "voice"},
    {tnefprop::PR_ASSISTANT_TELEPHONE_NUMBER, "voice"},
    {tnefprop::PR_PAGER_TELEPHONE_NUMBER, "pager"},
    {tnefprop::PR_BUSINESS_FAX_NUMBER, "work,fax"},
    {tnefprop::PR_HOME_FAX_NUMBER, "home,fax"},
    {tnefprop::PR_PRIMARY_FAX_NUMBER, "fax"},
};
const int kTNEFContactPhoneTagCount = int(std::size(kTNEFContactPhoneTags));

namespace {

constexpr qsizetype kLineOctets = 75;

// A text value escaped for its property: backslash, comma and line breaks
// always; the semicolon only inside a compound value, where it separates
// the fields. No value can start a line of its own.
QString escapeValue(const QString &value, bool compound)
{
    const QString text = TextWithoutControls(value);
    QString out;
    out.reserve(text.size() + 8);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\\') || c == QLatin1Char(',') || (compound && c == QLatin1Char(';'))) {
            out += QLatin1Char('\\');
            out += c;
        } else if (c == QLatin1Char('\n')) {
            out += QLatin1String("\\n");
        } else {
            out += c;
        }
    }
    return out;
}

QString compoundValue(const QStringList &fields)
{
    QStringList escaped;
    for (const QString &field : fields)
        escaped << escapeValue(field, true);
    return escaped.join(QLatin1Char(';'));
}

bool anyText(const QStringList &fields)
{
    for (const QString &field : fields) {
        if (!field.isEmpty())
            return true;
    }
    return false;
}

// A TYPE list keeps to the characters its tokens are made of.
QString typeParameter(const QString &types)
{
    QString kept;
    for (const QChar c : types) {
        if (c.isLetterOrNumber() && c.unicode() < 0x80)
            kept += c.toLower();
        else if (c == QLatin1Char(',') || c == QLatin1Char('-'))
            kept += c;
    }
    return kept.isEmpty() ? QString() : QStringLiteral(";TYPE=") + kept;
}

class VCardText {
public:
    // One content line, its value already escaped.
    void add(const char *name, const QString &value, const QString &parameters = QString())
    {
        fold(QByteArray(name) + parameters.toUtf8() + ':' + value.toUtf8());
    }
    const QByteArray &bytes() const { return m_out; }

private:
    // Lines longer than 75 octets go on in lines that start with a space,
    // never splitting a UTF-8 sequence.
    void fold(const QByteArray &line)
    {
        qsizetype pos = 0;
        qsizetype room = kLineOctets;
        while (line.size() - pos > room) {
            qsizetype cut = pos + room;
            while (cut > pos && (uchar(line.at(cut)) & 0xC0) == 0x80)
                --cut;
            m_out.append(line.constData() + pos, cut - pos);
            m_out.append("\r\n ");
            pos = cut;
            room = kLineOctets - 1;
        }
        m_out.append(line.constData() + pos, line.size() - pos);
        m_out.append("\r\n");
    }
    QByteArray m_out;
};

QString formattedName(const TNEFContactItem &c)
{
    if (!c.displayName.isEmpty())
        return c.displayName;
    QStringList parts;
    for (const QString &part : {c.prefix, c.givenName, c.middleName, c.familyName, c.suffix}) {
        if (!part.isEmpty())
            parts << part;
    }
    if (!parts.isEmpty())
        return parts.join(QLatin1Char(' '));
    if (!c.organization.isEmpty())
        return c.organization;
    return c.emails.isEmpty() ? QString() : c.emails.first();
}

} // namespace

bool TNEFContactIsContactClass(const QString &messageClass)
{
    const QLatin1String name("IPM.Contact");
    return messageClass.compare(name, Qt::CaseInsensitive) == 0
        || messageClass.startsWith(name + QLatin1Char('.'), Qt::CaseInsensitive);
}

QByteArray TNEFContactWriteVCard(const TNEFContactItem &contact)
{
    VCardText card;
    card.add("BEGIN", QStringLiteral("VCARD"));
    card.add("VERSION", QStringLiteral("4.0"));
    card.add("PRODID", QStringLiteral("-//Parvane//Parvane " PARVANE_VERSION "//EN"));
    card.add("FN", escapeValue(formattedName(contact), false));
    const QStringList name{contact.familyName, contact.givenName, contact.middleName, contact.prefix, contact.suffix};
    if (anyText(name))
        card.add("N", compoundValue(name));
    if (!contact.organization.isEmpty() || !contact.department.isEmpty()) {
        QStringList org{contact.organization};
        if (!contact.department.isEmpty())
            org << contact.department;
        card.add("ORG", compoundValue(org));
    }
    if (!contact.title.isEmpty())
        card.add("TITLE", escapeValue(contact.title, false));
    for (const QString &email : contact.emails) {
        if (TextIsOneLine(email))
            card.add("EMAIL", escapeValue(email, false));
        else if (!email.isEmpty())
            TNEF_LOG_ERROR("    e-mail address \"%s\" left out: not one line of printable text.\n",
                           TextForLog(email).constData());
    }
    for (const TNEFContactPhone &phone : contact.phones) {
        if (!phone.number.isEmpty())
            card.add("TEL", escapeValue(phone.number, false), typeParameter(phone.types));
    }
    for (const TNEFContactAddress &a : contact.addresses) {
        // PO box; extended address (unused); street; locality; region; code; country
        const QStringList fields{a.poBox, QString(), a.street, a.locality, a.region, a.postalCode, a.country};
        if (anyText(fields))
            card.add("ADR", compoundValue(fields), typeParameter(a.types));
    }
    if (!contact.note.isEmpty())
        card.add("NOTE", escapeValue(contact.note, false));
    card.add("END", QStringLiteral("VCARD"));
    return card.bytes();
}
