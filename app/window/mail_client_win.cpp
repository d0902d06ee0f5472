#include <windows.h>
#include <shlwapi.h>

#include "app/window/mail_client.h"
#include "platform/shell.h"
#include "platform/wide_text.h"

namespace app {

// The desktop's mail client is the program registered for mailto: URIs.
void TMailClient::Connect() {
  if (Connected()) return;
  wchar_t program[MAX_PATH];
  DWORD length = MAX_PATH;
  if (AssocQueryStringW(ASSOCF_NONE, ASSOCSTR_EXECUTABLE, L"mailto", L"open", program, &length) != S_OK)
    throw EMailClientError("No mail client found: no program is registered for mailto");
  program_ = platform::Narrow(program);
}

void TMailClient::DisplayMail(const std::vector<std::string>& addresses, const std::string& subject) {
  Connect();
  // The shell hands the URI to the registered client with the command line the client registered.
  if (!platform::StartProgram("", MailtoUri(addresses, subject), false))
    throw EMailClientError("The mail client could not be started: " + program_);
}

}  // namespace app
