#include "app/delivery/failure_class.h"

#include <cstdlib>

#include "app/workflow_errors.h"
#include "ftp/ftp_errors.h"
#include "ftp/reply_text.h"
#include "platform/ansi.h"
#include "ftp/tls_connection.h"

namespace app {

using platform::operator""_ansi;

namespace {

// The message on one line: a reply keeps its CR LF, which no result line may.
std::string OneLine(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

bool TransientReply(int code) { return code == 421 || code == 425 || code == 426 || code == 450 || code == 451; }

// Socket errors carry their number first ("10061:Connection refused"); the
// session's own texts have none: of those, the time-outs and a connection
// the server ended are transient, a name that does not resolve, a reply
// beyond every bound or a cancel are not.
bool TransientSocketError(const std::string& text) {
  const long number = std::strtol(text.c_str(), nullptr, 10);
  if (number == 0)
    return text.starts_with("Zeitüberschreitung"_ansi) || text == "Verbindung vom Server beendet" ||
           text == "Fehler beim Herstellen der Datenverbindung";
  switch (number) {
    case 10050:  // network is down
    case 10051:  // network is unreachable
    case 10052:  // network dropped the connection
    case 10053:  // connection aborted
    case 10054:  // connection reset by peer
    case 10055:  // no buffer space
    case 10060:  // timed out
    case 10061:  // refused
    case 10064:  // host is down
    case 10065:  // no route to host
    case 11002:  // the name server did not answer for sure
      return true;
    default:
      return false;
  }
}

}  // namespace

TargetFailure ClassifyFailure(const std::exception_ptr& error) {
  try {
    std::rethrow_exception(error);
  } catch (const EContainerChanged& e) {
    return {FailureClass::kChanged, {}, e.what()};
  } catch (const ftp::FTPException& e) {
    const std::string reply = OneLine(e.what());
    const auto code = ftp::ReplyCodeOf(e.what());
    return {code && TransientReply(*code) ? FailureClass::kTransient : FailureClass::kPermanent, reply, reply};
  } catch (const ftp::ETlsError& e) {
    return {e.Interrupted() ? FailureClass::kTransient : FailureClass::kTls, {}, OneLine(e.what())};
  } catch (const ftp::EVerifyError& e) {
    return {FailureClass::kVerification, {}, OneLine(e.what())};
  } catch (const ftp::EAbortError& e) {
    return {FailureClass::kTransient, {}, OneLine(e.what())};
  } catch (const ftp::ESockError& e) {
    const std::string text = OneLine(e.what());
    return {TransientSocketError(text) ? FailureClass::kTransient : FailureClass::kPermanent, {}, text};
  } catch (const ftp::Exception& e) {
    // Among them the SSH refusals (a host key, a login, a missing folder):
    // another attempt meets the same.
    return {FailureClass::kPermanent, {}, OneLine(e.what())};
  } catch (const std::exception& e) {
    return {FailureClass::kLocal, {}, OneLine(e.what())};
  }
}

}  // namespace app
