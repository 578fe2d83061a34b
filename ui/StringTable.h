#pragma once

#include <QString>

// The program's string table: each command's status-bar prompt, with the
// button's tooltip after "\n" where it has one. Empty for unknown IDs.
QString LoadString(int nID);

// The parts of a command string: the prompt before "\n", the tooltip after.
QString PromptOf(int nID);
QString TooltipOf(int nID);

// The document template's string and its fields.
inline constexpr char DOC_TEMPLATE_STRING[] =
    "Ostrevane\n\nOstrev\nOstrevane (*.dat)\n.dat\nOstrevane.Document\nOstrevane Doc";
enum class DocString {
    WindowTitle,
    DocName,
    FileNewName,
    FilterName,
    FilterExt,
    RegFileTypeId,
    RegFileTypeName
};
QString GetDocString(DocString index);
