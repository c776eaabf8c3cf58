// Loading the preferences from whatever the file holds: the store always
// comes up with usable values.
#include "FuzzSupport.h"

#include "platform/ErrorLog.h"
#include "prefs/TNEFPrefs.h"

#include <QDir>
#include <QFile>
#include <cstdint>
#include <cstdlib>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const QString file = [] {
        DebugAssertSetHook([](const DebugAssertReport &) {});
        ParvaneSetErrorLogSink([](const std::string &) {});
        const std::string home = FuzzScratchFolder("prefs");
        setenv("XDG_CONFIG_HOME", home.c_str(), 1);
        QDir().mkpath(QString::fromStdString(home + "/Parvane"));
        return TNEFPrefsFilePath();
    }();
    QFile out(file);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return 0;
    out.write(reinterpret_cast<const char *>(data), qint64(size));
    out.close();
    TNEFPrefsInit();
    // The debug flag is a true Boolean whatever was stored.
    FUZZ_CHECK(gTNEFPrefDebug == true || gTNEFPrefDebug == false);
    // A stored folder that loads is usable as a path or refused, never half.
    if (!gTNEFPrefCEDestOther.isNull())
        (void)TNEFPrefsPathFromDestOther(gTNEFPrefCEDestOther);
    if (!gTNEFPrefAEDestOther.isNull())
        (void)TNEFPrefsPathFromDestOther(gTNEFPrefAEDestOther);
    return 0;
}
