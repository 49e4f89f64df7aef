// The splash screen, and the start sequence it runs.
#pragma once

#include <QWidget>

class FrmSplash : public QWidget {
    Q_OBJECT
public:
    FrmSplash();

    // Shows the splash, loads the main window behind it, then hands over.
    // Returns the program's exit code.
    static int Form_Load();
};
