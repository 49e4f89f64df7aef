// A control bound to one field of the data control's current record.
#pragma once

#include <QString>

class BoundField {
public:
    virtual ~BoundField() = default;
    virtual QString boundText() const = 0;
    virtual void setBoundText(const QString& text) = 0;
};
