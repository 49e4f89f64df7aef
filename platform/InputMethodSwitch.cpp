#include "platform/InputMethodSwitch.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

namespace {

// IBus has no call that turns a Japanese mode on; making a Japanese engine
// the global one is the nearest. These are the engines Debian packages.
const QStringList IBusJapaneseEngines{QStringLiteral("mozc-jp"), QStringLiteral("anthy"),
                                      QStringLiteral("kkc"), QStringLiteral("skk")};

void activateFcitx5()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    // fcitx5 activates the input context that last had the focus, which is
    // the entry box taking it now. A missing service answers with an error
    // that nobody waits for.
    QDBusMessage activate = QDBusMessage::createMethodCall(
        QStringLiteral("org.fcitx.Fcitx5"), QStringLiteral("/controller"),
        QStringLiteral("org.fcitx.Fcitx.Controller1"), QStringLiteral("Activate"));
    activate.setAutoStartService(false);
    bus.asyncCall(activate);
}

// The IBus daemon runs a bus of its own; its address is in the newest file
// under ~/.config/ibus/bus/.
QString ibusAddress()
{
    const QDir folder(QDir::homePath() + QStringLiteral("/.config/ibus/bus"));
    const QFileInfoList files = folder.entryInfoList(QDir::Files, QDir::Time);
    for (const QFileInfo& info : files) {
        QFile file(info.filePath());
        if (info.size() > 4096 || !file.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray& line : file.readAll().split('\n')) {
            if (line.startsWith("IBUS_ADDRESS="))
                return QString::fromUtf8(line.mid(13)).trimmed();
        }
    }
    return {};
}

void setIBusEngine(QDBusConnection bus, int candidate)
{
    if (candidate >= IBusJapaneseEngines.size())
        return;
    QDBusMessage set = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.IBus"), QStringLiteral("/org/freedesktop/IBus"),
        QStringLiteral("org.freedesktop.IBus"), QStringLiteral("SetGlobalEngine"));
    set << IBusJapaneseEngines[candidate];
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(set));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, [bus, candidate](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        if (w->isError())
            setIBusEngine(bus, candidate + 1);   // not installed: try the next one
    });
}

void activateIBus()
{
    static bool looked = false;
    static QString address;
    if (!looked) {
        looked = true;
        address = ibusAddress();
    }
    if (address.isEmpty())
        return;
    QDBusConnection bus = QDBusConnection::connectToBus(address, QStringLiteral("pravok-ibus"));
    if (bus.isConnected())
        setIBusEngine(bus, 0);
}

} // namespace

namespace InputMethodSwitch {

void turnOnJapanese()
{
    activateFcitx5();
    activateIBus();
}

} // namespace InputMethodSwitch
