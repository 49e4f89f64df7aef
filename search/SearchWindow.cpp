#include "search/SearchWindow.h"

#include "platform/Fonts.h"
#include "platform/InputMethodSwitch.h"
#include "platform/WidgetColour.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QSet>
#include <QStyledItemDelegate>
#include <QTreeView>
#include <QVBoxLayout>

#include <optional>

namespace {

constexpr int SnippetRole = Qt::UserRole; // QStringList{before, match, after}

// Draws a snippet with the word in bold on a marker colour.
class SnippetDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyleOptionViewItem opt(option);
        initStyleOption(&opt, index);
        opt.text.clear();
        const QWidget* view = opt.widget;
        QStyle* style = view ? view->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, view);
        const QRect area = style->subElementRect(QStyle::SE_ItemViewItemText, &opt, view).adjusted(3, 0, -3, 0);
        const bool selected = opt.state & QStyle::State_Selected;
        const QStringList parts = index.data(SnippetRole).toStringList();
        painter->save();
        painter->setClipRect(area);
        painter->setPen(opt.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
        // Drawing gives the width the next part starts after: each part is laid out as few times as it can be.
        int x = area.left();
        for (int i = 0; i < parts.size() && x <= area.right(); ++i) {
            QFont font = opt.font;
            font.setBold(i == 1);
            painter->setFont(font);
            const QRect rest(x, area.top(), area.right() - x + 1, area.height());
            if (i == 1 && !selected) {
                const int width = QFontMetrics(font).horizontalAdvance(parts[i]);
                painter->fillRect(QRect(x, area.top() + 1, width, area.height() - 2), QColor(255, 230, 120));
            }
            const QString text =
                i == 2 ? QFontMetrics(font).elidedText(parts[i], Qt::ElideRight, rest.width()) : parts[i];
            QRect drawn;
            painter->drawText(rest, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text, &drawn);
            x += drawn.width();
        }
        painter->restore();
    }
};

} // namespace

// The hits of the last search as the list's rows: date, box, snippet.
class SearchResults : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;

    void setHits(QList<SearchHit> hits)
    {
        beginResetModel();
        m_hits = std::move(hits);
        endResetModel();
    }
    const QList<SearchHit>& hits() const { return m_hits; }

    int rowCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : int(m_hits.size()); }
    int columnCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : 3; }

    QVariant data(const QModelIndex& index, int role) const override
    {
        if (!index.isValid() || (role != Qt::DisplayRole && role != SnippetRole))
            return {};
        const SearchHit& hit = m_hits[index.row()];
        if (index.column() == 0)
            return role == Qt::DisplayRole ? DiarySearch::dateCaption(hit.date) : QVariant();
        if (index.column() == 1)
            return role == Qt::DisplayRole ? DiarySearch::boxCaption(hit.column) : QVariant();
        const SearchSnippet parts = DiarySearch::snippet(hit);
        if (role == SnippetRole)
            return QStringList{parts.before, parts.match, parts.after};
        return parts.before + QStringLiteral("【") + parts.match + QStringLiteral("】") + parts.after;
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
            return {};
        static const char16_t* const titles[3] = {u"日付", u"欄", u"書いてあること"};
        return QString::fromUtf16(titles[section]);
    }

private:
    QList<SearchHit> m_hits;
};

SearchWindow::SearchWindow(Diary& diary, std::function<void(const QDate&)> showDay)
    : QWidget(nullptr, Qt::Window)
    , m_diary(diary)
    , m_showDay(std::move(showDay))
{
    setObjectName(QStringLiteral("SearchWindow"));
    setWindowTitle(QStringLiteral("日記の検索"));
    setWindowIcon(QIcon(QStringLiteral(":/window.ico")));
    setFont(Fonts::font(Fonts::Gothic, 9));
    setWidgetColour(this, QPalette::Window, ColourValue(0x00FDE8C4));
    setAutoFillBackground(true);

    auto* prompt = new QLabel(QStringLiteral("探す言葉(&F):"), this);
    wordField = new QLineEdit(this);
    wordField->setObjectName(QStringLiteral("wordField"));
    wordField->setClearButtonEnabled(true);
    prompt->setBuddy(wordField);
    countLabel = new QLabel(this);
    countLabel->setObjectName(QStringLiteral("countLabel"));

    m_results = new SearchResults(this);
    resultList = new QTreeView(this);
    resultList->setObjectName(QStringLiteral("resultList"));
    resultList->setModel(m_results);
    resultList->setItemDelegateForColumn(2, new SnippetDelegate(resultList));
    resultList->setRootIsDecorated(false);
    resultList->setUniformRowHeights(true);
    resultList->setAllColumnsShowFocus(true);
    resultList->setAlternatingRowColors(true);
    resultList->setSelectionBehavior(QAbstractItemView::SelectRows);
    resultList->setSelectionMode(QAbstractItemView::SingleSelection);
    resultList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Fixed widths: measuring every row's text would cost more than the search.
    const QFontMetrics metrics(font());
    resultList->header()->setStretchLastSection(true);
    resultList->header()->resizeSection(0, metrics.horizontalAdvance(QStringLiteral("2002年12月31日(火)")) + 16);
    resultList->header()->resizeSection(1, metrics.horizontalAdvance(QStringLiteral("7時間目 授業内容")) + 16);

    auto* fieldRow = new QHBoxLayout;
    fieldRow->addWidget(prompt);
    fieldRow->addWidget(wordField, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fieldRow);
    layout->addWidget(resultList, 1);
    layout->addWidget(countLabel);
    resize(640, 420);

    connect(wordField, &QLineEdit::textChanged, this, &SearchWindow::search);
    connect(wordField, &QLineEdit::returnPressed, this, &SearchWindow::wordEntered);
    connect(resultList, &QAbstractItemView::activated, this, &SearchWindow::showSelected);
    wordField->installEventFilter(this);
    m_search.prepare(m_diary);
    search();
}

SearchWindow::~SearchWindow() = default;

void SearchWindow::search()
{
    // The row selected before stays selected while it is still found.
    const QModelIndex current = resultList->currentIndex();
    std::optional<std::pair<QDate, QString>> kept;
    if (current.isValid() && m_listedWord == wordField->text())
        kept = {m_results->hits()[current.row()].date, m_results->hits()[current.row()].column};

    m_listedWord = wordField->text();
    m_results->setHits(m_search.find(m_diary, m_listedWord));
    const QList<SearchHit>& hits = m_results->hits();
    int row = 0;
    for (int i = 0; kept && i < hits.size(); ++i) {
        if (hits[i].date == kept->first && hits[i].column == kept->second)
            row = i;
    }
    if (!hits.isEmpty())
        resultList->setCurrentIndex(m_results->index(row, 0));

    QSet<QDate> days;
    for (const SearchHit& hit : hits)
        days.insert(hit.date);
    if (m_listedWord.trimmed().isEmpty())
        countLabel->setText(QStringLiteral("ひらがなとカタカナ、全角と半角、大文字と小文字は同じ字として探します。"));
    else if (hits.isEmpty())
        countLabel->setText(QStringLiteral("「%1」は見つかりませんでした。").arg(m_listedWord.trimmed()));
    else
        countLabel->setText(QStringLiteral("%1 日の %2 か所に見つかりました。Enter でその日を表示します。")
                                .arg(days.size())
                                .arg(hits.size()));
}

void SearchWindow::wordEntered()
{
    if (m_listedWord != wordField->text())
        search();
    else
        showSelected();
}

void SearchWindow::showSelected()
{
    const QModelIndex current = resultList->currentIndex();
    if (current.isValid() && m_showDay)
        m_showDay(m_results->hits()[current.row()].date);
}

bool SearchWindow::event(QEvent* event)
{
    // The diary may have changed while another window was active.
    if (event->type() == QEvent::WindowActivate && !m_listedWord.isEmpty())
        search();
    return QWidget::event(event);
}

bool SearchWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == wordField && event->type() == QEvent::FocusIn)
        InputMethodSwitch::turnOnJapanese();
    // The arrow keys in the field move through the results.
    if (watched == wordField && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_PageUp || key == Qt::Key_PageDown) {
            QCoreApplication::sendEvent(resultList, event);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void SearchWindow::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape)
        close();
    else
        QWidget::keyPressEvent(event);
}
