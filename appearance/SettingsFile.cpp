#include "appearance/SettingsFile.h"

#include "platform/AppInfo.h"
#include "platform/SafeFile.h"

#include <QFile>
#include <QFileInfo>

namespace SettingsFile {

QString path() { return AppInfo::programFilePath(QStringLiteral("inf.txt")); }

} // namespace SettingsFile

void LoadColourScheme(SchemeTarget& form)
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

bool SaveColourScheme(const ColourScheme& scheme, QString* message)
{
    QString reason;
    if (SafeFile::write(SettingsFile::path(), SettingsFile::format(scheme), &reason))
        return true;
    *message = QStringLiteral("色の設定をファイル「%1」に保存できませんでした。\n理由: %2\n\n"
                              "次に起動したときは、前の色の設定になります。日記の内容はこのあと保存します。")
                   .arg(SettingsFile::path(), reason);
    return false;
}
