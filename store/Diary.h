// The diary: the days of the year over the workbook's data control. Every day
// reads as the diary would write it, the page on screen's unsaved edits
// included, so a search or an export needs nothing of the windows.
#pragma once

#include "store/Day.h"

#include <QDate>

#include <functional>

class DataControl;

class Diary {
public:
    explicit Diary(DataControl& data1);

    // The first and last date of the diary's year, and the conversions
    // between a date and its record (1-based, as the data control counts).
    static QDate firstDate();
    static QDate lastDate();
    static int recordOf(const QDate& date);
    static QDate dateOf(int record);

    bool isOpen() const;
    // The day of a date of the diary's year; an empty day outside it.
    Day day(const QDate& date);
    // The day on screen.
    Day currentDay();
    QDate currentDate() const;
    // Every day of the year in date order.
    void forEachDay(const std::function<void(const QDate&, const Day&)>& visit);

    // Replaces the fields of a day that differ; they reach the file with the
    // next write, as edits on screen do. The page on screen shows them at once.
    void setDay(const QDate& date, const Day& day);

private:
    DataControl& m_data;
};
