#include "main_window/DataControl.h"

#include "platform/BoundField.h"

DataControl::DataControl(QObject* parent)
    : QObject(parent)
{
}

void DataControl::bind(BoundField* field, const QString& column) { m_bindings.append({field, column}); }

BoundField* DataControl::fieldOf(const QString& column) const
{
    for (const auto& [field, name] : m_bindings) {
        if (name == column)
            return field;
    }
    return nullptr;
}

void DataControl::readPage(Day& day) const
{
    for (const auto& [field, column] : m_bindings)
        day.setText(column, field->boundText());
}

void DataControl::showDay(const Day& day)
{
    for (const auto& [field, column] : m_bindings)
        field->setBoundText(day.text(column));
}
