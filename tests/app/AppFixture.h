#pragma once
// What both application tests need: small TNEF files, a preferences file in
// a private configuration folder, and what that file holds.
#include "TnefBuilder.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStringList>
#include <QVariantMap>

namespace appfix {

using tnefbuild::listing;

const QStringList kPrefKeys{
    "CarbonEventAuto",  "CarbonEventDest", "CarbonEventDestOther", "CarbonEventFolder",
    "CarbonEventQuit",  "CarbonEventBody", "AppleEventAuto",       "AppleEventDest",
    "AppleEventDestOther", "AppleEventFolder", "AppleEventQuit",   "AppleEventBody", "CreateDebugFile",
};

// Two small text attachments.
inline bool writeTnef(const QString &path)
{
    using namespace tnefbuild;
    const MapiBlock plain = MapiBlock().longValue(0x3705, 1);
    return writeFile(path, Tnef().mapiProps(MapiBlock().unicode(0x1000, "Hi\r\n"))
                               .title(z0("one.txt")).data("first\n").attachment(plain)
                               .title(z0("two.txt")).data("second\n").attachment(plain).bytes());
}

inline QString prefsFile(const QString &configHome)
{
    return configHome + QStringLiteral("/Parvane/Parvane.conf");
}

inline void writePrefs(const QString &configHome, const QVariantMap &values)
{
    QSettings settings(prefsFile(configHome), QSettings::IniFormat);
    settings.clear();
    for (auto it = values.begin(); it != values.end(); ++it)
        settings.setValue(it.key(), it.value());
}

// The keys the file holds, in the store's order.
inline QStringList storedKeys(const QString &configHome)
{
    const QSettings settings(prefsFile(configHome), QSettings::IniFormat);
    QStringList keys = kPrefKeys;
    keys.removeIf([&](const QString &key) { return !settings.contains(key); });
    return keys;
}

} // namespace appfix
