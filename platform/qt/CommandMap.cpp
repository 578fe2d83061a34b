#include "platform/qt/CommandMap.h"

#include <QAction>

namespace {
constexpr char COMMAND_ID[] = "commandId";
}

void CCmdUI::Enable(bool bOn) {
    m_pAction->setEnabled(bOn);
}

void CCmdUI::SetCheck(bool bCheck) {
    m_pAction->setCheckable(true);
    m_pAction->setChecked(bCheck);
}

QAction* CCommandMap::AddCommand(int nID, const QString& text, QObject* pParent) {
    auto* pAction = new QAction(text, pParent);
    pAction->setProperty(COMMAND_ID, nID);
    pAction->setEnabled(false);
    connect(pAction, &QAction::triggered, this, [this, nID] {
        const SCommand& command = m_commands[nID];
        if (command.handler)
            command.handler();
    });
    m_commands[nID].pAction = pAction;
    return pAction;
}

QAction* CCommandMap::Action(int nID) const {
    const auto it = m_commands.find(nID);
    return it == m_commands.end() ? nullptr : it->second.pAction;
}

int CCommandMap::CommandOf(const QAction* pAction) {
    return pAction == nullptr ? 0 : pAction->property(COMMAND_ID).toInt();
}

void CCommandMap::OnCommand(int nID, std::function<void()> handler) {
    m_commands[nID].handler = std::move(handler);
    Update(nID);
}

void CCommandMap::OnUpdate(int nID, std::function<void(CCmdUI*)> handler) {
    m_commands[nID].update = std::move(handler);
    Update(nID);
}

void CCommandMap::UpdateAll() {
    for (const auto& [nID, command] : m_commands)
        Update(nID);
}

void CCommandMap::Update(int nID) {
    const SCommand& command = m_commands[nID];
    if (command.pAction == nullptr)
        return;
    CCmdUI cmdUI(nID, command.pAction);
    if (command.update)
        command.update(&cmdUI);
    else
        cmdUI.Enable(static_cast<bool>(command.handler));
}

bool CCommandMap::Execute(int nID) {
    Update(nID);
    QAction* pAction = Action(nID);
    if (pAction == nullptr || !pAction->isEnabled())
        return false;
    pAction->trigger();
    return true;
}
