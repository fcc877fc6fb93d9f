#pragma once

#include <QString>

class QWidget;

inline constexpr const char* kProductName = "Tablehop Dual Server Table Copy & Move Software";

// True when a file is present at the path; never fails.
bool FileExists(const QString& path);

// The folder of the program file, and a file beside it ("HAND-M.CUR", "x/o.cjs").
QString ProgramFolder();
QString ProgramFile(const QString& relativeName);

// Cuts the name just before its last space, then again while it is longer than
// the limit. The first cut always happens.
QString CutTitle(const QString& name, int limit = 40);

// Sets the application title (the product name cut by CutTitle); message and
// input boxes without a title of their own carry it.
void SetApplicationTitle();
QString ApplicationTitle();

// Paints the form and its frames, labels, option buttons and check boxes in the
// system button-face colour.
void ApplyFormColors(QWidget* form);

// The skin: when "x/o.cjs" lies beside the program (or in skinFolder), the
// login form is recoloured and the file is applied as its style sheet.
// Returns whether a skin was applied.
bool ApplySkin(QWidget* loginForm, const QString& programFolder = ProgramFolder());
