#include "platform/Footprint.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

#include <clocale>
#include <cstring>
#include <langinfo.h>

Footprint::Footprint()
    : m_dir(QDir::tempPath() + QStringLiteral("/pravok-XXXXXX"))
{
    if (!m_dir.isValid())
        return;
    const QByteArray folder = QFile::encodeName(m_dir.path());
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    // Without a session bus, Qt's screen-reader bridge and the input-method
    // switch would make libdbus start a daemon of its own (autolaunch) that
    // outlives the diary; an address that leads nowhere means no bus.
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")
        && (runtime.isEmpty() || !QFileInfo::exists(QFile::decodeName(runtime + "/bus"))))
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + folder + "/no-session-bus");
    // Else Qt makes /tmp/runtime-<user> and warns about it.
    if (runtime.isEmpty())
        qputenv("XDG_RUNTIME_DIR", folder);
    // The file dialog's memory, QtProject.conf, else in ~/.config.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_dir.path());
}

void Footprint::useUtf8Characters()
{
    const char* codeset = nl_langinfo(CODESET);
    if (std::strcmp(codeset, "UTF-8") != 0)
        std::setlocale(LC_CTYPE, "C.UTF-8");
}
