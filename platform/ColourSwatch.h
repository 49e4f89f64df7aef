// A box that shows one colour value as its background; typing into it is ignored.
#pragma once

#include "platform/ColourValue.h"

#include <QFrame>

class ColourSwatch : public QFrame {
    Q_OBJECT
public:
    explicit ColourSwatch(QWidget* parent = nullptr);
    ColourValue colour() const { return m_colour; }
    void setColour(ColourValue colour);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    ColourValue m_colour;
};
