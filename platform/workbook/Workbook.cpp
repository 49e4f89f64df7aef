#include "platform/workbook/Workbook.h"

#include "platform/workbook/BiffBook.h"
#include "platform/workbook/CompoundFile.h"
#include "platform/workbook/FileAccess.h"

#include <algorithm>

namespace workbook {

using namespace detail;

namespace {

// A workbook as read: the compound file's tree and the parsed workbook stream.
struct Model {
    QByteArray file; // the workbook stream may refer into these bytes: they go last
    CompoundEntry root;
    QByteArray streamName;
    BiffBook book;
};

QString describeForeign(const QByteArray& bytes)
{
    if (bytes.isEmpty())
        return QStringLiteral("the file is empty");
    if (bytes.startsWith("PK\x03\x04"))
        return QStringLiteral("a zip archive (an .xlsx or .ods file?), not an Excel 97-2003 workbook");
    const QByteArray start = bytes.left(512).trimmed().toLower();
    if (start.startsWith('<') || start.startsWith("\xEF\xBB\xBF"))
        return QStringLiteral("a text, HTML or XML file, not an Excel 97-2003 workbook");
    return QStringLiteral("not an Excel 97-2003 workbook");
}

std::shared_ptr<Model> loadModel(const QByteArray& file, Error* error)
{
    if (file.size() > MaxFileBytes) {
        *error = tooLarge(file.size());
        return nullptr;
    }
    if (!looksLikeCompoundFile(file)) {
        // Excel 2.x-4.0 wrote the BIFF stream as the file itself.
        if (file.size() >= 8) {
            const quint16 type = u16(file.constData());
            const quint16 size = u16(file.constData() + 2);
            if ((isEarlyBof(type) || type == rt::Bof) && size >= 4 && size <= 20) {
                *error = {ErrorKind::OldFormat, QStringLiteral("an Excel 2.x-4.0 workbook")};
                return nullptr;
            }
        }
        *error = {ErrorKind::NotWorkbook, describeForeign(file)};
        return nullptr;
    }
    auto model = std::make_shared<Model>();
    model->file = file;
    if (!readCompoundFile(model->file, &model->root, error, QStringLiteral("Workbook")))
        return nullptr;
    // Excel 5.0/95 names its stream "Book", yet some writers put BIFF8 in a
    // stream of that name: the stream's first BOF decides, not its name.
    const CompoundEntry* stream = model->root.findStream("Workbook");
    const bool namedBook = !stream && (stream = model->root.findStream("Book")) != nullptr;
    if (!stream) {
        if (model->root.findEntry("EncryptedPackage") || model->root.findEntry("EncryptionInfo"))
            *error = {ErrorKind::Encrypted, QStringLiteral("a password-protected Office document")};
        else
            *error = {ErrorKind::NotWorkbook, QStringLiteral("a compound file without a workbook stream")};
        return nullptr;
    }
    model->streamName = stream->name;
    if (!BiffBook::parse(stream->data, &model->book, error)) {
        if (namedBook && error->kind == ErrorKind::OldFormat)
            error->detail = QStringLiteral("an Excel 5.0/95 workbook (BIFF5)");
        return nullptr;
    }
    return model;
}

bool writeFailed(Error* error, const QString& why)
{
    *error = {ErrorKind::WriteFailed, why};
    return false;
}

bool saveAtomically(const QString& path, const QByteArray& bytes, Error* error)
{
    WriteFailure failure;
    return writeFileAtomically(path, bytes, &failure) || writeFailed(error, failure.detail);
}

const SheetInfo* findWorksheet(const BiffBook& book, const QString& name, Error* error)
{
    const SheetInfo* sheet = book.findWorksheet(name);
    if (!sheet)
        *error = {ErrorKind::NoSheet, QStringLiteral("no worksheet named \"%1\"").arg(name)};
    return sheet;
}

// The new file for writes applied to one sheet of base; written is that file
// read back, which it must before it may replace anything.
bool buildFile(const Model& base, const QString& sheetName, const std::vector<CellWrite>& writes, QByteArray* file,
               std::shared_ptr<Model>* written, Error* error)
{
    const SheetInfo* sheet = findWorksheet(base.book, sheetName, error);
    if (!sheet)
        return false;
    QByteArray stream;
    if (!base.book.write(*sheet, writes, &stream, error))
        return false;
    CompoundEntry root = base.root;
    root.findStream(base.streamName)->data = stream;
    if (!writeCompoundFile(root, file, error))
        return false;
    *written = loadModel(*file, error);
    if (!*written)
        return writeFailed(error, QStringLiteral("the new workbook does not read back: ") + error->detail);
    return true;
}

bool validSheetName(const QString& name)
{
    static const QString forbidden = QStringLiteral("[]:*?/\\");
    if (name.isEmpty() || name.size() > 31 || name.startsWith(u'\'') || name.endsWith(u'\''))
        return false;
    return std::none_of(name.cbegin(), name.cend(), [](QChar c) { return forbidden.contains(c); });
}

} // namespace

QString RecordTable::field(int record, int column) const
{
    if (record == -1)
        return columnNames.value(column);
    if (record < 0 || record >= records.size())
        return QString();
    return records[record].value(column);
}

void RecordTable::setField(int record, int column, const QString& text)
{
    if (record < 0 || record >= records.size() || column < 0)
        return;
    QStringList& fields = records[record];
    while (fields.size() <= column)
        fields.append(QString());
    fields[column] = text;
}

struct Workbook::Private {
    QString path;
    QByteArray fileBytes; // the file exactly as last read or written
    std::shared_ptr<const Model> model;
    SaveNote lastSaveNote = SaveNote::None;
};

Workbook::Workbook()
    : d(new Private)
{
}
Workbook::~Workbook() = default;

std::unique_ptr<Workbook> Workbook::open(const QString& path, Error* error)
{
    Error local;
    Error* e = error ? error : &local;
    *e = Error();
    QByteArray bytes;
    if (!readWholeFile(path, &bytes, e))
        return nullptr;
    std::unique_ptr<Workbook> book = openBytes(bytes, e);
    if (book)
        book->d->path = path;
    return book;
}

std::unique_ptr<Workbook> Workbook::openBytes(const QByteArray& bytes, Error* error)
{
    Error local;
    Error* e = error ? error : &local;
    *e = Error();
    std::shared_ptr<Model> model = loadModel(bytes, e);
    if (!model)
        return nullptr;
    std::unique_ptr<Workbook> book(new Workbook);
    book->d->fileBytes = bytes;
    book->d->model = std::move(model);
    return book;
}

bool Workbook::createEmpty(const QString& path, const QString& sheetName, Error* error)
{
    Error local;
    Error* e = error ? error : &local;
    *e = Error();
    if (!validSheetName(sheetName))
        return writeFailed(e, QStringLiteral("\"%1\" cannot name a worksheet").arg(sheetName));
    // Built raw, then passed once through the writer so the sheet gets its INDEX.
    BiffBook raw;
    QByteArray stream;
    if (!BiffBook::parse(BiffBook::newWorkbookStream(sheetName), &raw, e)
        || !raw.write(raw.sheets.front(), {}, &stream, e))
        return false;
    CompoundEntry root;
    root.isStorage = true;
    root.classId = excelClassId();
    CompoundEntry workbookStream;
    workbookStream.name = "Workbook";
    workbookStream.data = stream;
    root.children.push_back(workbookStream);
    QByteArray file;
    if (!writeCompoundFile(root, &file, e))
        return false;
    return saveAtomically(path, file, e);
}

QString Workbook::path() const { return d->path; }

QStringList Workbook::sheetNames() const { return d->model->book.worksheetNames(); }

bool Workbook::readTable(const QString& sheetName, RecordTable* table, Error* error) const
{
    Error local;
    Error* e = error ? error : &local;
    *e = Error();
    const SheetInfo* sheet = findWorksheet(d->model->book, sheetName, e);
    if (!sheet)
        return false;
    RecordTable result;
    if (!d->model->book.readTable(*sheet, &result, e))
        return false;
    *table = std::move(result);
    return true;
}

bool Workbook::writeFields(const QString& sheetName, const QList<FieldWrite>& writes, Error* error)
{
    Error local;
    Error* e = error ? error : &local;
    *e = Error();
    std::vector<CellWrite> cellWrites;
    if (!prepareWrites(writes, &cellWrites, e))
        return false;
    if (cellWrites.empty())
        return true;
    if (d->path.isEmpty())
        return writeFailed(e, QStringLiteral("the workbook was opened from memory and has no file"));

    std::shared_ptr<const Model> base = d->model;
    SaveNote note = SaveNote::None;
    QByteArray onDisk;
    Error readError;
    if (sameOnDisk(d->path, d->fileBytes)) {
        // Unchanged since read or written: the model in memory is the base.
    } else if (readWholeFile(d->path, &onDisk, &readError)) {
        if (onDisk != d->fileBytes) {
            // Another program saved the workbook since: apply the writes to its
            // version so that its changes elsewhere survive.
            std::shared_ptr<Model> current = loadModel(onDisk, e);
            if (!current)
                return false;
            base = std::move(current);
            note = SaveNote::MergedOtherChanges;
        }
    } else if (readError.kind != ErrorKind::Missing) {
        *e = readError;
        return false;
    } else {
        note = SaveNote::Recreated;
    }
    // A workbook that vanished since it was read is written anew from the model
    // in memory, so that nothing the user had is lost.

    QByteArray file;
    std::shared_ptr<Model> written;
    if (!buildFile(*base, sheetName, cellWrites, &file, &written, e))
        return false;
    if (!saveAtomically(d->path, file, e))
        return false;
    d->fileBytes = file;
    d->model = std::move(written);
    d->lastSaveNote = note;
    return true;
}

SaveNote Workbook::lastSaveNote() const { return d->lastSaveNote; }

bool Workbook::changedOnDisk() const { return !d->path.isEmpty() && !sameOnDisk(d->path, d->fileBytes); }

bool Workbook::rewrite(const QString& sheetName, const QList<FieldWrite>& writes, QByteArray* file, Error* error) const
{
    Error local;
    Error* e = error ? error : &local;
    *e = Error();
    std::vector<CellWrite> cellWrites;
    if (!prepareWrites(writes, &cellWrites, e))
        return false;
    if (cellWrites.empty()) {
        *file = d->fileBytes;
        return true;
    }
    std::shared_ptr<Model> written;
    return buildFile(*d->model, sheetName, cellWrites, file, &written, e);
}

} // namespace workbook
