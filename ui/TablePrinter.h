#pragma once

#include <QString>

class CEntryTableModel;
class COstrevaneView;
class QPrinter;
class QWidget;

// Paints the entry table onto a printer: the archive's name as a heading,
// the column titles on every page, the rows split across pages, and "Page n
// of m" at the foot. False when the printer cannot be painted on.
bool PrintEntryTable(QPrinter& printer, const CEntryTableModel& model, const QString& title);

// The printer settings the program keeps between Print Setup and printing.
QPrinter& SharedPrinter();

// The printing commands of the view. Each reports a printer that cannot be
// used with a message owned by the view.
void PrintWithDialog(COstrevaneView& view);
bool PrintToDefaultPrinter(COstrevaneView& view);
void ShowPrintPreview(COstrevaneView& view);
void ShowPrintSetup(QWidget* pParent);
