// The data control: binds the page's controls to the fields of the day on
// screen by column name, so that the diary reads what they hold and shows a
// day in them. The diary keeps the workbook and the edits not yet written.
#pragma once

#include "store/PageBinding.h"

#include <QList>
#include <QObject>
#include <QPair>

class BoundField;

class DataControl : public QObject, public PageBinding {
public:
    explicit DataControl(QObject* parent = nullptr);

    void bind(BoundField* field, const QString& column);
    // The control bound to a column, or null.
    BoundField* fieldOf(const QString& column) const;

    void readPage(Day& day) const override;
    void showDay(const Day& day) override;

private:
    QList<QPair<BoundField*, QString>> m_bindings;
};
