#include "platform/InputMethodSwitch.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>

namespace InputMethodSwitch {

void turnOnJapanese()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    // fcitx5 activates the input context that last had the focus, which is
    // the entry box that is taking it now. The reply is not awaited: a missing
    // service just answers with an error nobody reads.
    QDBusMessage activate = QDBusMessage::createMethodCall(
        QStringLiteral("org.fcitx.Fcitx5"), QStringLiteral("/controller"),
        QStringLiteral("org.fcitx.Fcitx.Controller1"), QStringLiteral("Activate"));
    activate.setAutoStartService(false);
    bus.asyncCall(activate);
}

} // namespace InputMethodSwitch
