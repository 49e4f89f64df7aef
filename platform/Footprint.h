// The diary writes its two files and nothing else: what Qt would leave
// elsewhere (a runtime folder, the file dialog's memory) is kept in a private
// folder that goes when the program ends, and no D-Bus daemon is started.
#pragma once

#include <QString>
#include <QTemporaryDir>

// Made before the QApplication, destroyed after it.
class Footprint {
public:
    Footprint();
    Footprint(const Footprint&) = delete;
    Footprint& operator=(const Footprint&) = delete;

    QString folder() const { return m_dir.path(); }

    // After the QApplication: under a locale without UTF-8 (C, POSIX) Xlib
    // would label the UTF-8 window title Latin-1 in WM_NAME.
    static void useUtf8Characters();

private:
    QTemporaryDir m_dir;
};
