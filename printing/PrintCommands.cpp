#include "printing/PrintCommands.h"

#include "platform/AppInfo.h"
#include "platform/MessageBox.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QPdfWriter>
#include <QPrintDialog>
#include <QPrinter>
#include <QSaveFile>

namespace {

const QPageLayout A4Portrait(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(18, 15, 18, 15),
                             QPageLayout::Millimeter);

// The range and its days; nothing when cancelled or when no day of it has an entry.
std::optional<std::pair<PrintRange, QList<std::pair<QDate, Day>>>> ask(QWidget* parent, const QString& title,
                                                                       const PrintCommands::Source& source)
{
    const auto span = PrintRangeDialog::choose(parent, title, source.date, source.weekStart);
    if (!span)
        return std::nullopt;
    const PrintRange range = PrintRange::around(source.date, *span, source.weekStart);
    auto days = DiaryPrinter(source.diary, source.weather).daysOf(range);
    if (days.isEmpty()) {
        MessageBox::information(parent, QStringLiteral("%1には、書いた日がありません。").arg(range.name()));
        return std::nullopt;
    }
    return std::pair(range, days);
}

} // namespace

namespace PrintCommands {

void print(QWidget* parent, const Source& source)
{
    const auto what = ask(parent, QStringLiteral("印刷"), source);
    if (!what)
        return;
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageLayout(A4Portrait);
    // The job's name, and the file name the dialog suggests when printing to a file.
    printer.setDocName(QFileInfo(what->first.fileName()).completeBaseName());
    QPrintDialog dialog(&printer, parent);
    dialog.setWindowTitle(QStringLiteral("印刷"));
    // Every page of the range is printed; a page range would cut days apart.
    dialog.setOptions(QAbstractPrintDialog::PrintToFile | QAbstractPrintDialog::PrintCollateCopies
                      | QAbstractPrintDialog::PrintShowPageSize);
    if (dialog.exec() != QDialog::Accepted)
        return;
    if (!DiaryPrinter(source.diary, source.weather).print(what->first, what->second, &printer))
        MessageBox::warning(parent, QStringLiteral("印刷できませんでした。プリンターの設定を確かめてください。"));
}

void exportPdf(QWidget* parent, const Source& source)
{
    const auto what = ask(parent, QStringLiteral("PDFに書き出す"), source);
    if (!what)
        return;
    const QString path = PrintRangeDialog::savePath(parent, QDir::home().filePath(what->first.fileName()));
    if (path.isEmpty())
        return;
    // The pages are made in memory, then written beside the target and renamed
    // into place: a failure leaves no half file and an old file whole.
    QBuffer pdf;
    pdf.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&pdf);
        writer.setPageLayout(A4Portrait);
        writer.setTitle(QStringLiteral("日記 %1").arg(what->first.name()));
        writer.setCreator(AppInfo::title());
        DiaryPrinter(source.diary, source.weather).print(what->first, what->second, &writer);
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(pdf.data()) != pdf.size() || !file.commit())
        MessageBox::warning(parent, QStringLiteral("PDF ファイル「%1」を書き込めませんでした（%2）。"
                                                   "別の場所か別の名前を選んで、もう一度書き出してください。")
                                        .arg(QDir::toNativeSeparators(path), file.errorString()));
}

} // namespace PrintCommands
