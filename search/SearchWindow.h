// The search of the year: as the pupil types a word, every box of every day
// that holds it is listed in date order; Enter or a double click shows that
// box of that day in the main window.
#pragma once

#include "search/DiarySearch.h"

#include <QWidget>

#include <functional>

class QLabel;
class QLineEdit;
class QTreeView;
class SearchResults;

class SearchWindow : public QWidget {
    Q_OBJECT
public:
    // A window of its own, without owner; showHit shows a hit's day the way a
    // click on that day of the calendar does, the cursor at the word.
    SearchWindow(Diary& diary, std::function<void(const SearchHit&)> showHit);
    ~SearchWindow() override;

    QLineEdit* wordField = nullptr;
    QTreeView* resultList = nullptr;
    QLabel* countLabel = nullptr;

public slots:
    // Lists the boxes that hold the word in the field, the first one selected.
    void search();
    // Shows the day and box of the selected result.
    void showSelected();

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void wordEntered();

    Diary& m_diary;
    std::function<void(const SearchHit&)> m_showHit;
    DiarySearch m_search;
    SearchResults* m_results = nullptr;
    QString m_listedWord; // the word the list was made for
};
