#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "ftp/sftp_packet.h"
#include "ftp/ssh_connection.h"
#include "ftp/ssh_socket.h"

namespace ftp {

// SFTP packets over the channel of an SSH connection. Requests queue up and
// go out while the channel waits for replies, so a transfer keeps many in
// flight; every wait is the socket's.
class TSftpChannel {
 public:
  TSftpChannel(TSshConnection& ssh, TSshSocket& socket, std::string host);

  // INIT and VERSION: the extensions the server offers, by name. Raises
  // ESshError (Protocol) when it speaks no SFTP version 3 or later.
  std::map<std::string, std::string> Init();

  std::uint32_t NextId() { return nextId_++; }
  // Queues the request; its bytes go out during the next waits.
  void Send(TSftpRequest& request);
  // Sends the request and returns its reply, which must come within TimeOut.
  // Raises ESshError (Protocol) for a reply to another request.
  TSftpReply Call(TSftpRequest& request);
  // The next reply during a transfer, whose time-out the caller has armed:
  // every reply counts as progress. `beforeWait` runs before each wait.
  TSftpReply ReceiveDuringTransfer(const char* what, const std::function<void()>& beforeWait);

 private:
  // The next reply; raises EAbortError on the time-out or a cancel, ESockError
  // when the server ends the channel first.
  TSftpReply Receive(const char* what, TSshSocket::Pumping pumping, const std::function<void()>& beforeWait);
  // Moves what it can both ways without waiting; Done once a reply is complete.
  SshStatus Exchange();
  // Whether `received_` holds a whole reply; raises for one beyond kMaxReply.
  bool HasReply() const;
  TSftpReply TakeReply();

  TSshConnection& ssh_;
  TSshSocket& socket_;
  std::string host_;
  std::string outgoing_;
  std::size_t sent_ = 0;  // of outgoing_
  std::string received_;
  std::vector<char> chunk_;
  std::uint32_t nextId_ = 1;
};

}  // namespace ftp
