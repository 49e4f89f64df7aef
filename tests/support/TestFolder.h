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
    void copyWeatherIcons() const;

private:
    QTemporaryDir m_dir;
};
