#include "cli/ArchiveSession.h"

#include "cli/Commands.h"
#include "platform/MessageBox.h"

#include <cstdio>

bool OpenArchive(COstrevaneDoc& doc, const std::string& path) {
    return doc.OnOpenDocument(path) && !doc.WasLoadRefused();
}

int ChangeArchive(const std::string& path, const std::function<bool(COstrevaneDoc&)>& change) {
    COstrevaneDoc doc;
    if (!OpenArchive(doc, path) || !change(doc))
        return kExitFailure;
    if (doc.IsModified() && !doc.OnSaveDocument(path))
        return kExitFailure;
    return kExitOk;
}

CQuestionAnswerer::CQuestionAnswerer(bool bYes) {
    SetMessageBoxHandler(
        [bYes](void*, const std::string& text, const std::string& caption, unsigned style) {
            std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
            if ((style & MB_BUTTONMASK) != MB_YESNO)
                return IDOK;
            if (!bYes)
                std::fprintf(stderr, "%s: not replaced (use --replace to answer yes)\n",
                             GetAppTitle().c_str());
            return bYes ? IDYES : IDNO;
        });
}

CQuestionAnswerer::~CQuestionAnswerer() {
    SetMessageBoxHandler({});
}
