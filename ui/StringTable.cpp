#include "ui/StringTable.h"

#include "ui/Resource.h"

#include <QStringList>

#include <map>

namespace {

const std::map<int, const char*>& Strings() {
    static const std::map<int, const char*> strings = {
        {IDR_MAINFRAME, DOC_TEMPLATE_STRING},
        {ID_FILE_IMPORT, "Import SelectedFile"},
        {ID_FILE_EXPORT, "Export Selected File"},
        {ID_VIEW_PREVIEW, "Show or hide the preview pane\nToggle Preview"},
        {ID_FILE_EXPORT_ALL, "Export every entry into a folder, one file each\nExport All"},
        {AFX_IDS_APP_TITLE, "Ostrevane"},
        {AFX_IDS_IDLEMESSAGE, "Ready"},
        {ID_FILE_NEW, "Create a new document\nNew"},
        {ID_FILE_OPEN, "Open an existing document\nOpen"},
        {ID_FILE_CLOSE, "Close the active document\nClose"},
        {ID_FILE_SAVE, "Save the active document\nSave"},
        {ID_FILE_SAVE_AS, "Save the active document with a new name\nSave As"},
        {ID_FILE_PAGE_SETUP, "Change the printing options\nPage Setup"},
        {ID_FILE_PRINT_SETUP, "Change the printer and printing options\nPrint Setup"},
        {ID_FILE_PRINT, "Print the active document\nPrint"},
        {ID_FILE_PRINT_PREVIEW, "Display full pages\nPrint Preview"},
        {57632, "Erase the selection\nErase"},
        {57633, "Erase everything\nErase All"},
        {ID_EDIT_COPY, "Copy the selection and put it on the Clipboard\nCopy"},
        {ID_EDIT_CUT, "Cut the selection and put it on the Clipboard\nCut"},
        {57636, "Find the specified text\nFind"},
        {ID_EDIT_PASTE, "Insert Clipboard contents\nPaste"},
        {57640, "Repeat the last action\nRepeat"},
        {57641, "Replace specific text with different text\nReplace"},
        {57642, "Select the entire document\nSelect All"},
        {ID_EDIT_UNDO, "Undo the last action\nUndo"},
        {ID_EDIT_REDO, "Redo the previously undone action\nRedo"},
        {57644, "Redo the previously undone action\nRedo"},
        {57653, "Split the active window into panes\nSplit"},
        {ID_APP_ABOUT, "Display program information, version number and copyright\nAbout"},
        {ID_APP_EXIT, "Quit the application; prompts to save documents\nExit"},
        {ID_NEXT_PANE, "Switch to the next window pane\nNext Pane"},
        {ID_PREV_PANE, "Switch back to the previous window pane\nPrevious Pane"},
        {59136, "EXT"},
        {ID_INDICATOR_CAPS, "CAP"},
        {ID_INDICATOR_NUM, "NUM"},
        {ID_INDICATOR_SCRL, "SCRL"},
        {59140, "OVR"},
        {59141, "REC"},
        {ID_VIEW_TOOLBAR, "Show or hide the toolbar\nToggle ToolBar"},
        {ID_VIEW_STATUS_BAR, "Show or hide the status bar\nToggle StatusBar"},
        {61184, "Change the window size"},
        {61185, "Change the window position"},
        {61186, "Reduce the window to an icon"},
        {61187, "Enlarge the window to full size"},
        {61188, "Switch to the next document window"},
        {61189, "Switch to the previous document window"},
        {61190, "Close the active window and prompts to save the documents"},
        {61202, "Restore the window to normal size"},
        {61203, "Activate Task List"},
        {AFX_IDS_PREVIEW_CLOSE, "Close print preview mode\nCancel Preview"},
    };
    return strings;
}

} // namespace

QString LoadString(int nID) {
    if (nID >= ID_FILE_MRU_FILE1 && nID <= ID_FILE_MRU_LAST)
        return "Open this document";
    const auto it = Strings().find(nID);
    return it == Strings().end() ? QString() : QString::fromLatin1(it->second);
}

QString PromptOf(int nID) {
    return LoadString(nID).section('\n', 0, 0);
}

QString TooltipOf(int nID) {
    return LoadString(nID).section('\n', 1, 1);
}

QString GetDocString(DocString index) {
    return QString::fromLatin1(DOC_TEMPLATE_STRING).split('\n').value(static_cast<int>(index));
}
