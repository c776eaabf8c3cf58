#include "TNEFPrefs.h"

#include "platform/ErrorLog.h"
#include "platform/NativePath.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QSettings>
#include <QVariant>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <memory>
#include <cstdio>
#include <sys/stat.h>

SInt32 gTNEFPrefCEAuto = 0;
SInt32 gTNEFPrefCEDest = 1;
QString gTNEFPrefCEDestOther;
SInt32 gTNEFPrefCEFolder = 1;
SInt32 gTNEFPrefCEQuit = 0;
SInt32 gTNEFPrefCEBody = 0;
SInt32 gTNEFPrefAEAuto = 0;
SInt32 gTNEFPrefAEDest = 1;
QString gTNEFPrefAEDestOther;
SInt32 gTNEFPrefAEFolder = 1;
SInt32 gTNEFPrefAEQuit = 0;
SInt32 gTNEFPrefAEBody = 0;
bool gTNEFPrefDebug = false;

namespace {

// One stored key: an integer global with its default, or a string global.
struct Key {
    const char *key;
    SInt32 *integer;
    SInt32 defaultValue;
    QString *string;
};

// The twelve keys of the two sets, in stored order; "CreateDebugFile" follows
// them and is handled on its own.
const Key kKeys[] = {
    {"CarbonEventAuto", &gTNEFPrefCEAuto, 0, nullptr},
    {"CarbonEventDest", &gTNEFPrefCEDest, 1, nullptr},
    {"CarbonEventDestOther", nullptr, 0, &gTNEFPrefCEDestOther},
    {"CarbonEventFolder", &gTNEFPrefCEFolder, 1, nullptr},
    {"CarbonEventQuit", &gTNEFPrefCEQuit, 0, nullptr},
    {"CarbonEventBody", &gTNEFPrefCEBody, 0, nullptr},
    {"AppleEventAuto", &gTNEFPrefAEAuto, 0, nullptr},
    {"AppleEventDest", &gTNEFPrefAEDest, 1, nullptr},
    {"AppleEventDestOther", nullptr, 0, &gTNEFPrefAEDestOther},
    {"AppleEventFolder", &gTNEFPrefAEFolder, 1, nullptr},
    {"AppleEventQuit", &gTNEFPrefAEQuit, 0, nullptr},
    {"AppleEventBody", &gTNEFPrefAEBody, 0, nullptr},
};
constexpr char kDebugKey[] = "CreateDebugFile";
constexpr char kWindowSizeKey[] = "WindowSize";
constexpr char kWindowSplitterKey[] = "WindowSplitter";

// The globals of one set; null members for a selector that names none.
struct SetGlobals {
    SInt32 *autoExtract, *dest;
    QString *destOther;
    SInt32 *folder, *quit, *body;
};

SetGlobals setGlobals(UInt32 selector)
{
    switch (selector) {
    case 1:
        return {&gTNEFPrefCEAuto, &gTNEFPrefCEDest, &gTNEFPrefCEDestOther, &gTNEFPrefCEFolder, &gTNEFPrefCEQuit,
                &gTNEFPrefCEBody};
    case 2:
        return {&gTNEFPrefAEAuto, &gTNEFPrefAEDest, &gTNEFPrefAEDestOther, &gTNEFPrefAEFolder, &gTNEFPrefAEQuit,
                &gTNEFPrefAEBody};
    default: return {};
    }
}

// An INI file has no types: a number comes back as text. A value counts as an
// integer when it is one already or is text that reads wholly as a 32-bit
// decimal number; anything else (words, lists, numbers out of range) is not.
bool readInteger(const QSettings *settings, const char *key, SInt32 *value)
{
    const QVariant v = settings ? settings->value(QLatin1String(key)) : QVariant();
    if (!v.isValid())
        return false;
    bool ok = false;
    qlonglong number = 0;
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        number = v.toLongLong(&ok);
        break;
    case QMetaType::QString:
    case QMetaType::QByteArray:
        number = v.toString().trimmed().toLongLong(&ok, 10);
        break;
    default:
        return false;
    }
    if (!ok || number < INT32_MIN || number > INT32_MAX)
        return false;
    *value = static_cast<SInt32>(number);
    return true;
}

// The name "mktemp" would make from the template: the six X replaced by
// letters and digits so that nothing of that name exists yet. The file
// itself is not created; the name is only announced.
QByteArray makeTempName()
{
    static const char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    const QByteArray prefix =
        QByteArrayLiteral("/tmp/") + QByteArray(PARVANE_APP_ID).toLower() + "temp.";
    for (int attempt = 0; attempt < 100; ++attempt) {
        QByteArray name = prefix;
        for (int i = 0; i < 6; ++i)
            name += kChars[QRandomGenerator::system()->bounded(int(sizeof kChars - 1))];
        struct stat st;
        if (::lstat(name.constData(), &st) != 0 && errno == ENOENT)
            return name;
    }
    return QByteArray();
}

// QSettings makes an object, as large as its bytes claim, of any value
// that reads as @Variant(...) or @DateTime(...) once its escapes are undone.
// This program writes neither, so a file that holds one is neither read nor
// written over. The file is read as one value, keys, comments and list
// commas included, with the escapes QSettings knows: that finds every such
// value, and at worst a few that are not one.
bool holdsSerializedValue(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    static const QByteArray kMarks[] = {QByteArrayLiteral("@Variant("), QByteArrayLiteral("@DateTime(")};
    qsizetype matched[2] = {0, 0};
    const auto take = [&](uint c) {
        bool found = false;
        for (int m = 0; m < 2; ++m) {
            matched[m] = c == uchar(kMarks[m][matched[m]]) ? matched[m] + 1 : c == '@' ? 1 : 0;
            found = found || matched[m] == kMarks[m].size();
        }
        return found;
    };
    static const char kEscapes[] = "a\ab\bf\fn\nr\rt\tv\v\"\"?\?''\\\\";
    enum class State { Plain, Escape, Hex, Octal, LineEnd } state = State::Plain;
    uint code = 0, digits = 0;
    uchar lineEnd = 0;
    char buffer[65536];
    for (qint64 n; (n = file.read(buffer, sizeof buffer)) > 0;) {
        for (qint64 i = 0; i < n; ++i) {
            const uchar c = uchar(buffer[i]);
            if (state == State::Hex || state == State::Octal) {
                const int digit = state == State::Octal ? (c >= '0' && c <= '7' ? c - '0' : -1)
                    : c >= '0' && c <= '9'                    ? c - '0'
                    : std::isxdigit(c)                        ? (c | 0x20) - 'a' + 10
                                                              : -1;
                if (digit >= 0) {
                    code = (code << (state == State::Hex ? 4 : 3)) + uint(digit);
                    ++digits;
                    continue;
                }
                state = State::Plain;
                if (digits > 0 && take(code & 0xFFFF))
                    return true;
            } else if (state == State::LineEnd) {
                // An escaped line end is skipped with its other half.
                state = State::Plain;
                if ((c == '\n' || c == '\r') && c != lineEnd)
                    continue;
            } else if (state == State::Escape) {
                state = State::Plain;
                if (c == 'x' || (c >= '0' && c <= '7')) {
                    state = c == 'x' ? State::Hex : State::Octal;
                    code = c == 'x' ? 0 : uint(c - '0');
                    digits = c == 'x' ? 0 : 1;
                } else if (c == '\n' || c == '\r') {
                    state = State::LineEnd;
                    lineEnd = c;
                } else if (const char *known = c ? std::strchr(kEscapes, c) : nullptr;
                           known && (known - kEscapes) % 2 == 0 && take(uchar(known[1]))) {
                    return true;
                }
                continue;
            }
            if (c == '\\')
                state = State::Escape;
            else if (c != '"' && take(c))
                return true;
        }
    }
    return (state == State::Hex || state == State::Octal) && digits > 0 && take(code & 0xFFFF);
}

// The preference store, or none when its file must be left alone (logged).
std::unique_ptr<QSettings> openStore()
{
    const QString path = TNEFPrefsFilePath();
    if (holdsSerializedValue(path)) {
        TNEF_LOG_ERROR("    %s holds a value this program never writes; it is neither read nor written.\n",
                       path.toLocal8Bit().constData());
        return nullptr;
    }
    return std::make_unique<QSettings>(path, QSettings::IniFormat);
}

// Writes the store: noErr, or ioErr (logged) when it could not be written or
// there is none.
OSStatus synchronize(QSettings *settings)
{
    if (settings)
        settings->sync();
    if (!settings || settings->status() != QSettings::NoError) {
        TNEF_LOG_ERROR("    CFPreferencesAppSynchronize() returned false.\n");
        return ioErr;
    }
    return noErr;
}

} // namespace

QString TNEFPrefsFilePath()
{
    // A relative XDG_CONFIG_HOME is invalid and ignored, as the base directory
    // rules ask.
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/Parvane/Parvane.conf");
}

QString TNEFPrefsDestOtherFromPath(const QString &folderPath)
{
    QString path = folderPath;
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    return QString::fromLatin1(FSPathToNative(path).toPercentEncoding("/"));
}

QString TNEFPrefsPathFromDestOther(const QString &destOther)
{
    if (destOther.isNull())
        return QString();
    QByteArray text = destOther.toUtf8();
    // A file URL is its path, behind no authority or that of this computer.
    if (text.size() >= 5 && qstrnicmp(text.constData(), "file:", 5) == 0) {
        text.remove(0, 5);
        if (text.startsWith("//")) {
            const qsizetype end = text.indexOf('/', 2);
            const QByteArray host = text.mid(2, end < 0 ? -1 : end - 2).toLower();
            if (!host.isEmpty() && host != "localhost")
                return QString();
            text = end < 0 ? QByteArray() : text.mid(end);
        }
    }
    const QString path = FSPathFromNative(QByteArray::fromPercentEncoding(text));
    if (!path.startsWith(QLatin1Char('/')) || path.contains(QChar(u'\0')))
        return QString();
    return path;
}

TNEFPrefSet TNEFPrefsGetSet(UInt32 selector)
{
    const SetGlobals g = setGlobals(selector);
    if (!g.autoExtract)
        return {};
    return {*g.autoExtract, *g.dest, *g.destOther, *g.folder, *g.quit, *g.body};
}

void TNEFPrefsSetSet(UInt32 selector, const TNEFPrefSet &set)
{
    const SetGlobals g = setGlobals(selector);
    if (!g.autoExtract)
        return;
    *g.autoExtract = set.autoExtract;
    *g.dest = set.dest;
    *g.destOther = set.destOther;
    *g.folder = set.folder;
    *g.quit = set.quit;
    *g.body = set.body;
}

void TNEFPrefsInit()
{
    const std::unique_ptr<QSettings> store = openStore();
    const QSettings *settings = store.get();

    for (const Key &k : kKeys) {
        if (k.integer) {
            SInt32 value = 0;
            *k.integer = readInteger(settings, k.key, &value) ? value : k.defaultValue;
        } else {
            const QVariant v = settings ? settings->value(QLatin1String(k.key)) : QVariant();
            // Anything but text (a list, say) names no folder; it loads as absent.
            *k.string = v.typeId() == QMetaType::QString ? v.toString() : QString();
        }
    }

    SInt32 debug = 0;
    if (readInteger(settings, kDebugKey, &debug) && debug == 1) {
        gTNEFPrefDebug = true;
        const QByteArray name = makeTempName();
        if (!name.isEmpty())
            std::fprintf(stderr, "Parvane Debug -- temp file at %s.\n\n", name.constData());
    } else {
        gTNEFPrefDebug = false;
    }
}

TNEFPrefWindow TNEFPrefsGetWindow()
{
    TNEFPrefWindow window;
    const std::unique_ptr<QSettings> settings = openStore();
    if (!settings)
        return window;
    const QVariant size = settings->value(QLatin1String(kWindowSizeKey));
    const QVariant splitter = settings->value(QLatin1String(kWindowSplitterKey));
    if (size.typeId() == QMetaType::QSize && size.toSize().isValid())
        window.size = size.toSize();
    if (splitter.typeId() == QMetaType::QByteArray)
        window.splitter = splitter.toByteArray();
    return window;
}

OSStatus TNEFPrefsSetWindow(const TNEFPrefWindow &window)
{
    const std::unique_ptr<QSettings> settings = openStore();
    if (settings && window.size.isValid())
        settings->setValue(QLatin1String(kWindowSizeKey), window.size);
    if (settings && !window.splitter.isEmpty())
        settings->setValue(QLatin1String(kWindowSplitterKey), window.splitter);
    return synchronize(settings.get());
}

OSStatus TNEFPrefsQuit()
{
    const std::unique_ptr<QSettings> settings = openStore();
    for (const Key &k : kKeys) {
        if (!settings)
            break;
        if (k.integer)
            settings->setValue(QLatin1String(k.key), static_cast<int>(*k.integer));
        else if (k.string->isNull())
            settings->remove(QLatin1String(k.key));
        else
            settings->setValue(QLatin1String(k.key), *k.string);
    }
    if (settings)
        settings->setValue(QLatin1String(kDebugKey), gTNEFPrefDebug ? 1 : 0);
    return synchronize(settings.get());
}
