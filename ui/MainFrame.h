#pragma once

#include <QMainWindow>

#include <functional>
#include <vector>

class CCommandMap;
class CRecentFileList;
class QLabel;
class QMenu;
class QToolBar;

// The main window: menu, toolbar and status bar around the view. Every
// command is one action of the command map, shared by its menu item, its
// toolbar button and its keys.
class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    explicit CMainFrame(CCommandMap& commands);

    // Builds the menu, toolbar, status bar and keys. False when a bar cannot
    // be made.
    bool OnCreate();

    // Rebuilds the recent-file items of the File menu from the list.
    void SetRecentFiles(const CRecentFileList& files);

    QToolBar* ToolBar() const { return m_pToolBar; }
    QMenu* Menu(int index) const;
    // The status bar's message pane text.
    QString Message() const;
    // Shows text in the status bar's count pane; hides it for an empty text.
    void ShowEntryCount(const QString& text);
    QString EntryCount() const;
    // The lock indicators' panes, in order CAP, NUM, SCRL.
    const std::vector<QLabel*>& Indicators() const { return m_indicators; }

    // Asked before the window closes: false keeps it open.
    std::function<bool()> m_canClose;
    // A recent-file item chosen (index in the list).
    std::function<void(int index)> m_openRecentFile;
    // Files dropped on the window from another program, in order.
    std::function<void(const QStringList& paths)> m_dropFiles;

protected:
    bool event(QEvent* pEvent) override;
    void closeEvent(QCloseEvent* pEvent) override;
    void dragEnterEvent(QDragEnterEvent* pEvent) override;
    void dropEvent(QDropEvent* pEvent) override;

private:
    void CreateActions();
    void CreateMenus();
    bool CreateToolBar();
    bool CreateStatusBar();
    void AddFrameCommands();
    void OnInitMenuPopup(QMenu* pMenu, int index);
    void UpdateIndicators();

    CCommandMap& m_commands;
    QToolBar* m_pToolBar = nullptr;
    std::vector<QMenu*> m_menus;
    QAction* m_pRecentPlaceholder = nullptr;
    std::vector<QAction*> m_recentActions;
    std::vector<QLabel*> m_indicators;
    QLabel* m_pEntryCount = nullptr;
};
