// The splash screen, and the start sequence it runs.
#pragma once

#include <QWidget>

class Form1;

class FrmSplash : public QWidget {
    Q_OBJECT
public:
    FrmSplash();

    // Shows the splash, loads the main window behind it, closes the splash and
    // shows the main window, which it returns. When the main window cannot be
    // used, tells the user why and returns null, with no window left open.
    static Form1* Form_Load();
};
