// A caption: transparent, wrapping inside its fixed box, text in a colour value,
// and a click target.
#pragma once

#include "platform/ColourValue.h"

#include <QLabel>
#include <QMetaMethod>

class CaptionLabel : public QLabel {
    Q_OBJECT
public:
    explicit CaptionLabel(const QString& text, QWidget* parent = nullptr);

    ColourValue foreColour() const { return m_fore; }
    void setForeColour(ColourValue colour);

    // Something listens to clicked(): only then is this a control.
    bool isClickable() const { return isSignalConnected(QMetaMethod::fromSignal(&CaptionLabel::clicked)); }

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void applyForeColour();

    ColourValue m_fore;
};
