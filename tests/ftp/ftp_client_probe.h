#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ftp/ftp_client.h"

namespace test {

// A TFtpClient for 127.0.0.1:port with the account anna/secret that records
// every event it raises, in order, for the tests to compare.
struct ProbedClient {
  ftp::TFtpClient client;
  std::vector<std::string> statuses;
  std::vector<std::string> events;  // "failure 9", "unsupported 9", "success 8", "start", "stop"
  std::vector<ftp::TCmdType> successes;
  std::vector<ftp::TCmdType> failures;
  std::vector<std::string> errors;  // "10054:Connection reset by peer", from OnError
  int connected = 0;
  int connectionFailed = 0;
  bool handleFailures = false;

  explicit ProbedClient(std::uint16_t port) {
    client.Host = "127.0.0.1";
    client.Port = port;
    client.UserID = "anna";
    client.Password = "secret";
    client.TimeOut = 5000;
    client.OnStatus = [this](ftp::TSockSession&, const std::string& text) { statuses.push_back(text); };
    client.OnConnect = [this](ftp::TSockSession&) { ++connected; };
    client.OnConnectionFailed = [this](ftp::TSockSession&) { ++connectionFailed; };
    client.OnError = [this](ftp::TSockSession&, std::uint16_t, const std::string& text) { errors.push_back(text); };
    client.OnSuccess = [this](ftp::TCmdType kind) {
      successes.push_back(kind);
      events.push_back("success " + std::to_string(kind));
    };
    client.OnFailure = [this](bool& handled, ftp::TCmdType kind) {
      failures.push_back(kind);
      events.push_back("failure " + std::to_string(kind));
      handled = handleFailures;
    };
    client.OnUnSupportedFunction = [this](ftp::TCmdType kind) {
      events.push_back("unsupported " + std::to_string(kind));
    };
    client.OnTransactionStart = [this](ftp::TSockSession&) { events.push_back("start"); };
    client.OnTransactionStop = [this](ftp::TSockSession&) { events.push_back("stop"); };
  }
};

}  // namespace test
