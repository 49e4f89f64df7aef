// The diary workbook beside the program: where it is, what a usable one holds,
// how a new one starts, and the Japanese messages for what goes wrong with it.
#pragma once

#include "platform/workbook/Workbook.h"

#include <QString>

class Diary;

namespace DiaryStore {

QString fileName();     // "nikki.xls"
QString workbookPath(); // beside the program

// Writes a new diary: the header row and 365 empty records whose colour
// fields hold the system window-text colour.
bool createWorkbook(const QString& path, workbook::Error* error);

// Why a sheet cannot serve as the diary, or empty text when it can.
QString problemWith(const workbook::RecordTable& table);

// For a new diary that could not be made, and for a workbook that cannot be read.
QString createErrorMessage(const QString& path, const workbook::Error& error);
QString openErrorMessage(const QString& path, const workbook::Error& error);
// For a failed save of the diary's pending fields.
QString saveErrorMessage(const Diary& diary, const workbook::Error& error);
// What to tell the user after a save that found the file changed or gone; empty for none.
QString saveNoteMessage(const QString& path, workbook::SaveNote note);

} // namespace DiaryStore
