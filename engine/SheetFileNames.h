#pragma once

#include <QStringList>

// Parts of file names for a workbook's sheets, one per sheet in order, for
// outputs named "base.<part>.csv": a sheet's name is the user's text and may
// hold anything a file name must not.
//
// A part never holds '/' or NUL, never starts with '.', has every control
// character replaced by '_', stays within kMaxSheetPartBytes bytes of UTF-8
// (cut on a character boundary) and is never empty. Sheets whose parts come
// out the same get "~2", "~3", ... after the later ones, so every part is
// distinct.
inline constexpr int kMaxSheetPartBytes = 100;

QStringList sheetFileNameParts(const QStringList &sheetNames);
