// The colour settings dialog: the program's title and version, and six
// swatches for the colour scheme, applied to the main window on "OK".
#pragma once

#include "appearance/ColourScheme.h"

#include <QWidget>

#include <array>

class ColourSwatch;
class FaceButton;
class SchemeTarget;
class QLabel;
class QPushButton;

class FrmAbout : public QWidget {
    Q_OBJECT
public:
    // Loads the dialog hidden, its swatches filled from the scheme in force.
    explicit FrmAbout(SchemeTarget* form1);

    // The six swatch colours as they stand, unconfirmed picks included.
    ColourScheme swatchScheme() const;

    QLabel* lblTitle = nullptr;
    QLabel* lblVersion = nullptr;
    std::array<ColourSwatch*, 6> swatches{};     // Text1 ... Text6
    std::array<QPushButton*, 6> changeButtons{}; // Command1, 2, 4, 5, 6, 7
    FaceButton* cmdOK = nullptr;
    FaceButton* Command3 = nullptr;

public slots:
    void cmdOK_Click();
    void Command3_Click();
    void changeSwatch(int swatch);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void Form_Load();
    void createControls();

    SchemeTarget* m_form1;
};
