#pragma once

namespace app {

// Keeps Qt's own notes ("QStandardPaths: XDG_RUNTIME_DIR not set ...", a
// platform plugin's remarks) off standard error, which carries only the
// program's own words: cron mails whatever a job prints there. The notes pass
// as Qt would print them when QT_LOGGING_RULES asks for any; fatal ones always do.
void InstallQtMessageFilter();

}  // namespace app
