// A push button whose face is drawn in its own colour.
#pragma once

#include "platform/ColourValue.h"

#include <QPushButton>

class FaceButton : public QPushButton {
    Q_OBJECT
public:
    explicit FaceButton(const QString& text, ColourValue face, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};
