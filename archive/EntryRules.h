#pragma once

#include <string>
#include <string_view>

class CFileEntry;
class COstrevaneDoc;

// Rules for making and changing entries that the editor's dialogs and `ostr`
// share.

// The name proposed for an imported file: its name without the folder and
// without the last extension, unless the only dot is the name's first
// character (".wav" stays ".wav"). Works on bytes; '/' separates folders.
std::string ProposedEntryName(std::string_view path);

// Before pEntry takes the type and ID tmpl gives it (as ModifyEntry reads the
// template: type 255 and ID -1 keep the entry's own): when another entry
// already has them, asks through MessageBox (owner pOwner) whether to delete
// that entry, and deletes it on Yes. Returns false, changing nothing, on any
// other answer; true when there is nothing in the way or it was deleted.
// pEntry stays valid either way.
bool ResolveDuplicate(COstrevaneDoc& doc, const CFileEntry* pEntry, const CFileEntry& tmpl,
                      void* pOwner);
