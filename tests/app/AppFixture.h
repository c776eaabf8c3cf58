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

// Every key of the store, in the order of their names.
const QStringList kPrefKeys{"AppleEventAuto",    "AppleEventBody",       "AppleEventDest",  "AppleEventDestOther",
                            "AppleEventFolder",  "AppleEventQuit",       "CarbonEventAuto", "CarbonEventBody",
                            "CarbonEventDest",   "CarbonEventDestOther", "CarbonEventFolder", "CarbonEventQuit",
                            "CreateDebugFile"};

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

// The keys the file holds, in the order of their names.
inline QStringList storedKeys(const QString &configHome)
{
    return QSettings(prefsFile(configHome), QSettings::IniFormat).allKeys();
}

} // namespace appfix
