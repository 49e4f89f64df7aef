// A control that shows one field of the day on screen and hands back what it holds.
#pragma once

#include <QString>

class BoundField {
public:
    virtual ~BoundField() = default;
    virtual QString boundText() const = 0;
    virtual void setBoundText(const QString& text) = 0;
};
