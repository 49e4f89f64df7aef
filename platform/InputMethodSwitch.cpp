#include "platform/InputMethodSwitch.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTimer>

namespace {

constexpr int Fcitx5Attempts = 30; // 100 ms apart

// IBus has no call that turns a Japanese mode on; making a Japanese engine
// the global one is the nearest. These are the engines Debian packages.
const QStringList IBusJapaneseEngines{QStringLiteral("mozc-jp"), QStringLiteral("anthy"), QStringLiteral("kkc"),
                                      QStringLiteral("skk")};

QDBusMessage fcitx5Call(const QString& method)
{
    QDBusMessage call =
        QDBusMessage::createMethodCall(QStringLiteral("org.fcitx.Fcitx5"), QStringLiteral("/controller"),
                                       QStringLiteral("org.fcitx.Fcitx.Controller1"), method);
    call.setAutoStartService(false);
    return call;
}

// fcitx5 activates the input context that has the focus. Right after start the
// Qt input-method plugin creates and focuses its context only after our call
// has arrived, so the call is repeated until fcitx5 reports the input method on
// (state 2), for a few seconds at most. A newer request ends an older series.
int fcitx5Series = 0;

void activateFcitx5(int mine, int attemptsLeft)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    bus.asyncCall(fcitx5Call(QStringLiteral("Activate")));
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(fcitx5Call(QStringLiteral("State"))));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, [mine, attemptsLeft](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        const QDBusMessage reply = w->reply();
        // An error means no fcitx5 on this desktop: nothing to wait for.
        if (w->isError() || mine != fcitx5Series || attemptsLeft <= 1)
            return;
        if (reply.arguments().value(0).toInt() != 2)
            QTimer::singleShot(100, [mine, attemptsLeft] { activateFcitx5(mine, attemptsLeft - 1); });
    });
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
    QDBusMessage set =
        QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.IBus"), QStringLiteral("/org/freedesktop/IBus"),
                                       QStringLiteral("org.freedesktop.IBus"), QStringLiteral("SetGlobalEngine"));
    set << IBusJapaneseEngines[candidate];
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(set));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, [bus, candidate](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        if (w->isError())
            setIBusEngine(bus, candidate + 1); // not installed: try the next one
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
    activateFcitx5(++fcitx5Series, Fcitx5Attempts);
    activateIBus();
}

} // namespace InputMethodSwitch
