#include "store/DiaryStore.h"

#include "platform/AppInfo.h"
#include "platform/DateText.h"
#include "store/DayRecord.h"
#include "store/Diary.h"

#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>

namespace DiaryStore {

using workbook::ErrorKind;

namespace {

// Why a write failed, as the disk, the folder and the file look now.
QString writeCause(const QString& path)
{
    const QFileInfo file(path);
    const QFileInfo folder(file.absolutePath());
    const QStorageInfo disk(folder.absoluteFilePath());
    if (!folder.isDir())
        return QStringLiteral("日記のフォルダーが見つかりません。移動または削除されたか、ディスクが外されたようです。");
    if (disk.isValid() && disk.isReadOnly())
        return QStringLiteral("日記のフォルダーのあるディスクが、読み取り専用になっています。");
    // The new file is written beside the old one: it needs as much room again.
    if (disk.isValid() && disk.bytesAvailable() < file.size() + 64 * 1024)
        return QStringLiteral("ディスクがいっぱいです。いらないファイルを消して、空きを作ってください。");
    if (!folder.isWritable())
        return QStringLiteral("日記のフォルダーに書き込む許可がありません。");
    if (file.exists() && !file.isWritable())
        return QStringLiteral("日記ファイルが読み取り専用になっています。");
    return QStringLiteral("ファイルを書き込めませんでした。");
}

} // namespace

QString fileName() { return QStringLiteral("nikki.xls"); }

QString workbookPath() { return AppInfo::programFilePath(fileName()); }

bool createWorkbook(const QString& path, workbook::Error* error)
{
    const QStringList columns = DayRecord::allColumns();
    const QStringList colourColumns = DayRecord::colourColumns();
    const QString defaultColour = QString::number(DayRecord::DefaultColour);

    QList<workbook::FieldWrite> writes;
    writes.reserve(columns.size() + DayRecord::DaysInYear * colourColumns.size());
    for (int c = 0; c < columns.size(); ++c)
        writes.append({-1, c, columns[c], false});
    for (int r = 0; r < DayRecord::DaysInYear; ++r) {
        for (const QString& name : colourColumns)
            writes.append({r, int(columns.indexOf(name)), defaultColour, true});
    }
    // Written under a temporary name and renamed, so a failure never leaves a
    // half-made diary that the next start would refuse.
    const QString temporary = path + QStringLiteral(".new");
    QFile::remove(temporary);
    if (!workbook::Workbook::createEmpty(temporary, DayRecord::SheetName, error))
        return false;
    auto book = workbook::Workbook::open(temporary, error);
    if (!book || !book->writeFields(DayRecord::SheetName, writes, error)) {
        QFile::remove(temporary);
        return false;
    }
    book.reset();
    if (!QFile::rename(temporary, path)) {
        QFile::remove(temporary);
        *error = {ErrorKind::WriteFailed, QStringLiteral("rename failed")};
        return false;
    }
    return true;
}

QString problemWith(const workbook::RecordTable& table)
{
    for (const QString& column : DayRecord::allColumns()) {
        const int count = int(table.columnNames.count(column));
        if (count == 0)
            return QStringLiteral("シート「Sheet1」に列「%1」がありません。").arg(column);
        if (count > 1)
            return QStringLiteral("シート「Sheet1」に列「%1」が %2 つあり、どちらが日記か決められません。")
                .arg(column)
                .arg(count);
    }
    if (table.recordCount() < DayRecord::DaysInYear) {
        return QStringLiteral("シート「Sheet1」には %1 日分の行しかありません（%2 日分が必要です）。")
            .arg(table.recordCount())
            .arg(DayRecord::DaysInYear);
    }
    return QString();
}

QString createErrorMessage(const QString& path, const workbook::Error& error)
{
    // Most often the folder was unpacked where the user may not write.
    return QStringLiteral("日記ファイル「%1」を新しく作れませんでした。\n"
                          "このフォルダーには書き込めません。\n読み取り専用か、ディスクがいっぱいかもしれません。\n"
                          "（%2）\n\n"
                          "日記のフォルダーごと、ホームフォルダーなど書き込める場所に置いてから、"
                          "もう一度起動してください。")
        .arg(path, error.detail);
}

QString openErrorMessage(const QString& path, const workbook::Error& error)
{
    QString why;
    switch (error.kind) {
    case ErrorKind::Missing: why = QStringLiteral("ファイルが見つかりません。"); break;
    case ErrorKind::Unreadable: why = QStringLiteral("ファイルを読み込めません（%1）。").arg(error.detail); break;
    case ErrorKind::NotWorkbook: why = QStringLiteral("Excel 97-2003 形式のブック（.xls）ではありません。"); break;
    case ErrorKind::OldFormat:
        why = QStringLiteral("Excel 5.0/95 以前の古い形式のブックです。Excel 97-2003 形式で保存し直してください。");
        break;
    case ErrorKind::Encrypted: why = QStringLiteral("パスワードで保護（暗号化）されています。"); break;
    case ErrorKind::NoSheet: why = QStringLiteral("シート「Sheet1」がありません。"); break;
    default: why = QStringLiteral("ファイルが壊れています（%1）。").arg(error.detail); break;
    }
    return QStringLiteral("日記ファイル「%1」を開けません。\n%2\n\nファイルは変更していません。").arg(path, why);
}

QString saveErrorMessage(const Diary& diary, const workbook::Error& error)
{
    const QString path = diary.path();
    QString why;
    QDate date;
    QString column;
    switch (error.kind) {
    case ErrorKind::FieldTooLong:
        if (diary.firstTooLongPending(&date, &column)) {
            why = QStringLiteral("%1の「%2」が、1 つの欄に書ける文字数（%3 文字）を超えています。"
                                 "文字を減らしてください。")
                      .arg(DateText::date(date), DayRecord::boxName(column))
                      .arg(workbook::MaxCellChars);
        } else {
            why = QStringLiteral("1 つの欄に書ける文字数（%1 文字）を超えた欄があります。文字を減らしてください。")
                      .arg(workbook::MaxCellChars);
        }
        break;
    case ErrorKind::WriteFailed:
    case ErrorKind::Unreadable: why = writeCause(path); break;
    default:
        // The file on disk was replaced by something else while the diary was open.
        why = QStringLiteral("ほかのプログラムが、日記ファイルをこの日記では読めないファイルに置き換えたようです。"
                             "上書きはしていません。もとの日記ファイルに戻してください。");
        break;
    }
    // The system's own words help whoever mends the disk; for a long text the date and box say it all.
    if (!error.detail.isEmpty() && error.kind != ErrorKind::FieldTooLong)
        why += QStringLiteral("\n（詳しい情報: %1）").arg(error.detail);
    return QStringLiteral("日記ファイル「%1」に保存できませんでした。\n%2\n\n"
                          "入力した内容は消えていません。保存できるようになりしだい、自動的に保存します。")
        .arg(path, why);
}

QString heldMessage(const QString& path, const QString& holder)
{
    return QStringLiteral("日記ファイル「%1」は、いま %2 で開かれています。\n"
                          "%2 が開いているあいだに保存すると、%2 で次に保存したときに日記の内容が消えてしまうので、"
                          "保存を待っています。書いた内容は消えていません。\n"
                          "%2 で日記ファイルを閉じると、自動的に保存します。")
        .arg(path, holder);
}

QString freedMessage(const QString& path, const QString& holder)
{
    return QStringLiteral("%2 が日記ファイル「%1」を閉じたので、書いた内容を保存しました。").arg(path, holder);
}

QString heldAtCloseMessage(const QString& path, const QString& holder)
{
    return QStringLiteral(
               "日記ファイル「%1」は、いま %2 で開かれているので、まだ保存していません。\n"
               "%2 で日記ファイルを閉じてから「もう一度保存する」を押してください。\n"
               "「それでも保存する」と、%2 で次に保存したときに、この日記で書いた内容が消えることがあります。")
        .arg(path, holder);
}

QString reportMessage(const QString& path, const SaveReport& report)
{
    QStringList lines;
    if (report.recreated)
        lines << QStringLiteral("日記ファイル「%1」が見つかりませんでした（移動または削除されたようです）。"
                                "開いていた日記の内容から作り直しました。")
                     .arg(path);
    if (report.otherChanges)
        lines << QStringLiteral("日記ファイル「%1」が、ほかのプログラムで変更されました。その変更を読み込みました。")
                     .arg(path);
    const auto box = [](const std::pair<QDate, QString>& field) {
        return QStringLiteral("%1の「%2」").arg(DateText::date(field.first), DayRecord::boxName(field.second));
    };
    for (const auto& field : report.bothChanged)
        lines << QStringLiteral(
                     "%1は、この日記とほかのプログラムの両方で書き換えられていました。"
                     "どちらも消さずに、この日記の内容のあとに「ほかのプログラムで保存された内容」として続けました。")
                     .arg(box(field));
    for (const auto& field : report.restored)
        lines << QStringLiteral("%1は、ほかのプログラムの保存で消えていたので、この日記の内容を書き直しました。")
                     .arg(box(field));
    return lines.join(u'\n');
}

} // namespace DiaryStore
