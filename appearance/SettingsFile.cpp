#include "appearance/SettingsFile.h"

#include "appearance/FrmAbout.h"
#include "main_window/Form1.h"
#include "platform/AppInfo.h"
#include "platform/SafeFile.h"

#include <QFile>
#include <QFileInfo>

namespace SettingsFile {

QString path()
{
    return AppInfo::programFilePath(QStringLiteral("inf.txt"));
}

namespace {

bool isSpace(char c)
{
    return c == ' ' || c == '\t';
}

std::optional<qint32> parseInteger(QByteArrayView text)
{
    while (!text.isEmpty() && isSpace(text.back()))
        text.chop(1);
    if (text.isEmpty() || text.size() > 12)
        return std::nullopt;
    bool ok = false;
    const qlonglong value = text.toByteArray().toLongLong(&ok, 10);
    if (!ok || value < std::numeric_limits<qint32>::min() || value > std::numeric_limits<qint32>::max())
        return std::nullopt;
    return qint32(value);
}

} // namespace

std::optional<ColourScheme> parse(const QByteArray& bytes)
{
    ColourScheme scheme;
    qsizetype pos = 0;
    const qsizetype end = bytes.size();
    for (int i = 0; i < 6; ++i) {
        // Spaces before a value, and blank lines, are skipped.
        while (pos < end && (isSpace(bytes[pos]) || bytes[pos] == '\r' || bytes[pos] == '\n'))
            ++pos;
        const qsizetype start = pos;
        while (pos < end && bytes[pos] != ',' && bytes[pos] != '\r' && bytes[pos] != '\n')
            ++pos;
        const auto value = parseInteger(QByteArrayView(bytes).sliced(start, pos - start));
        if (!value)
            return std::nullopt;
        scheme.colours[size_t(i)] = ColourValue(*value);
        if (pos < end && bytes[pos] == ',')
            ++pos;
    }
    return scheme;
}

QByteArray format(const ColourScheme& scheme)
{
    QByteArray out;
    for (ColourValue colour : scheme.colours)
        out += QByteArray::number(colour.raw()) + "\r\n";
    return out;
}

} // namespace SettingsFile

void LoadColourScheme(Form1& form)
{
    const QString path = SettingsFile::path();
    const QFileInfo info(path);
    if (!info.isFile())
        return;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    if (const auto scheme = SettingsFile::parse(file.read(SettingsFile::MaxBytes)))
        ApplyColourScheme(form, *scheme);
}

bool SaveColourScheme(Form1& form, QString* message)
{
    const ColourScheme scheme = form.colourSettings()->swatchScheme();
    QString reason;
    if (SafeFile::write(SettingsFile::path(), SettingsFile::format(scheme), &reason))
        return true;
    *message = QStringLiteral("色の設定をファイル「%1」に保存できませんでした。\n理由: %2\n\n"
                              "次に起動したときは、前の色の設定になります。日記の内容はこのあと保存します。")
                   .arg(SettingsFile::path(), reason);
    return false;
}
