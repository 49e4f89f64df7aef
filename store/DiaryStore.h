// The diary workbook beside the program: where it is, what a usable one holds,
// how a new one starts, and the Japanese messages for what goes wrong with it.
#pragma once

#include "platform/workbook/Workbook.h"

#include <QString>

class Diary;
struct SaveReport;

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
// While another program holds the file, and when it let it go.
QString heldMessage(const QString& path, const QString& holder);
QString freedMessage(const QString& path, const QString& holder);
// The close's question while another program holds the file.
QString heldAtCloseMessage(const QString& path, const QString& holder);
// What the saves found on disk (the file gone, another program's changes); empty for nothing.
QString reportMessage(const QString& path, const SaveReport& report);

} // namespace DiaryStore
