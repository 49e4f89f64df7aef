// A temporary program folder and a fixed today for one test.
#pragma once

#include <QDate>
#include <QString>
#include <QTemporaryDir>

class TestFolder {
public:
    explicit TestFolder(const QDate& today = QDate(2002, 5, 10));
    ~TestFolder();

    QString path() const { return m_dir.path(); }
    QString file(const QString& name) const;
    // Copies a committed test workbook (tests/data/NAME) to NAME-in-folder.
    void copyData(const QString& dataName, const QString& as) const;
    void copyWeatherIcons() const;

private:
    QTemporaryDir m_dir;
};
