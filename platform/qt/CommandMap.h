#pragma once

#include <QObject>

#include <functional>
#include <map>

class QAction;

// The state of one command's user-interface items, handed to its update
// handler: one QAction serves the menu item, the toolbar button and the keys.
class CCmdUI {
public:
    CCmdUI(int nID, QAction* pAction) : m_nID(nID), m_pAction(pAction) {}
    void Enable(bool bOn = true);
    void SetCheck(bool bCheck = true);

    const int m_nID;

private:
    QAction* m_pAction;
};

// Every command of the program by ID: its action, its handler and its update
// handler. A command without a handler is disabled, as are its keys; one
// with a handler and no update handler is enabled.
class CCommandMap : public QObject {
    Q_OBJECT
public:
    explicit CCommandMap(QObject* pParent = nullptr) : QObject(pParent) {}

    // Creates the action for nID with its menu text; pParent owns it.
    QAction* AddCommand(int nID, const QString& text, QObject* pParent);
    QAction* Action(int nID) const;
    // The command ID of an action made here, or 0.
    static int CommandOf(const QAction* pAction);

    void OnCommand(int nID, std::function<void()> handler);
    void OnUpdate(int nID, std::function<void(CCmdUI*)> handler);

    // Sets the state of every command from its handlers.
    void UpdateAll();
    void Update(int nID);

    // Runs the handler of an enabled command, as a menu choice would.
    bool Execute(int nID);

private:
    struct SCommand {
        QAction* pAction = nullptr;
        std::function<void()> handler;
        std::function<void(CCmdUI*)> update;
    };
    std::map<int, SCommand> m_commands;
};
