#pragma once

#include <QString>

class COstrevaneDoc;
class QWidget;

// File > Export All: every entry of the document written into folder, one
// file each, named as `ostr extract-all` names them. Asks once before
// replacing files; shows progress with Cancel; each file is written whole or
// not at all. Entries that cannot be written are told of in one message at
// the end. Messages are owned by pOwner.
void ExportAllEntries(const COstrevaneDoc& doc, const QString& folder, QWidget* pOwner);
