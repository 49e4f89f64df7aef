#include "platform/SingleInstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QSocketNotifier>

#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace SingleInstance {

namespace {

// "\0merrow-nikki-<hash of the folder>": the same folder by any path, one name.
sockaddr_un addressOf(const QString& folder, socklen_t* length)
{
    const QString canonical = QDir(folder).canonicalPath().isEmpty() ? folder : QDir(folder).canonicalPath();
    const QByteArray name =
        "merrow-nikki-" + QCryptographicHash::hash(canonical.toUtf8(), QCryptographicHash::Sha256).toHex(0).left(40);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path + 1, name.constData(), size_t(name.size()));
    *length = socklen_t(offsetof(sockaddr_un, sun_path) + 1 + size_t(name.size()));
    return address;
}

// The running diary takes a connection as the call to the front.
bool askRunningOne(const sockaddr_un& address, socklen_t length)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const bool asked = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), length) == 0;
    ::close(fd);
    return asked;
}

} // namespace

bool claim(const QString& folder, std::function<void()> onAnotherStart)
{
    socklen_t length = 0;
    const sockaddr_un address = addressOf(folder, &length);
    // A diary that is just ending may refuse the call and free the name: try again.
    for (int attempt = 0; attempt < 3; ++attempt) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (fd < 0)
            return true; // no sockets: nothing to coordinate with
        if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), length) == 0 && ::listen(fd, 4) == 0) {
            auto* notifier = new QSocketNotifier(fd, QSocketNotifier::Read);
            QObject::connect(notifier, &QSocketNotifier::activated, [fd, onAnotherStart = std::move(onAnotherStart)] {
                const int caller = ::accept4(fd, nullptr, nullptr, SOCK_CLOEXEC);
                if (caller >= 0)
                    ::close(caller);
                onAnotherStart();
            });
            return true;
        }
        const int why = errno;
        ::close(fd);
        if (why != EADDRINUSE)
            return true;
        if (askRunningOne(address, length))
            return false;
    }
    return true;
}

} // namespace SingleInstance
