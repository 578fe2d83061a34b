#pragma once

#include <QString>

// Registers the program with the user's Linux desktop: the launcher entry, the
// archive MIME type and the icons of both are copied from the bundled
// resources into the per-user XDG data folder, so that archives open in
// Ostrevane and show its document icon.
//
// Only files that are missing or differ from the bundled ones are written,
// and the desktop's caches are refreshed (in the background) only when their
// sources changed. Quiet: prints nothing, shows nothing and never throws.
// Returns true when every file is current afterwards.
//
// executablePath should be absolute (QCoreApplication::applicationFilePath());
// when empty, the entry runs "ostrevane" from PATH.
bool RegisterShellFileTypes(const QString& executablePath);

// The launcher's "Exec=" line that opens one file with executablePath, quoted
// and escaped so that desktops read back exactly that path whatever
// characters it holds.
QString DesktopExecLine(const QString& executablePath);
