#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "support/socket_wait.h"

namespace test {

// A loopback FTP server that plays a script, for the replies, refusals and
// broken connections that real servers will not produce on demand. It listens
// on 127.0.0.1 at a free port and runs the script on its own thread once for
// every control connection it accepts, in turn. Every command line it reads is
// recorded, so a test can check what the client sent:
//
//   ScriptedFtpServer server([](auto& c) {
//     c.Login();
//     c.Command();                 // "CWD in"
//     c.Reply("550 No such directory");
//     c.AwaitClose();
//   });
//   ... client.Connect(); ...
//   EXPECT_EQ(server.Commands()[2], "CWD in");
//
// Blocking steps of the script wait at most ten seconds and end at once when
// the server is destroyed; a script that ends early says why in Failure().
//
// FEAT is answered by the server itself, not the script (and not recorded):
// "502 Command not implemented." unless SetFeatures names what to offer.
class ScriptedFtpServer {
 public:
  class DataConnection;
  class PassiveListener;
  class Connection;
  using Script = std::function<void(Connection&)>;

  // With `listenOn` "::1" the server listens on IPv6.
  explicit ScriptedFtpServer(Script script, const char* listenOn = "127.0.0.1");
  ~ScriptedFtpServer();
  ScriptedFtpServer(const ScriptedFtpServer&) = delete;
  ScriptedFtpServer& operator=(const ScriptedFtpServer&) = delete;

  std::uint16_t Port() const { return port_; }
  // Every command line received so far, without CR LF, over all connections.
  std::vector<std::string> Commands() const;
  // How many control connections the script has finished.
  int Finished() const;
  // Why a script run ended early (timeout, closed connection); empty if none did.
  std::string Failure() const;
  // The feature lines of the FEAT reply from now on, e.g. {"SIZE", "XSHA1"}.
  void SetFeatures(std::vector<std::string> features);

 private:
  friend class Connection;
  void Serve();
  void Record(const std::string& command);

  Script script_;
  platform::SocketHandle listener_ = platform::kNoSocket;
  StopSignal stop_;  // raised once the server is being destroyed
  std::uint16_t port_ = 0;
  mutable std::mutex lock_;
  std::vector<std::string> commands_;
  int finished_ = 0;
  std::string failure_;
  std::optional<std::vector<std::string>> features_;
  std::thread thread_;
};

// One end of a TCP connection as the script sees it.
class ScriptedFtpServer::DataConnection {
 public:
  DataConnection(platform::SocketHandle fd, platform::SocketHandle stop);
  DataConnection(DataConnection&& other) noexcept;
  ~DataConnection();
  DataConnection(const DataConnection&) = delete;
  DataConnection& operator=(const DataConnection&) = delete;

  void Send(const std::string& bytes);
  // Sends `bytes` one byte at a time with `gap` between them.
  void Trickle(const std::string& bytes, std::chrono::milliseconds gap);
  // Sends `bytes` again and again until the peer goes away.
  void Flood(const std::string& bytes);
  // Lets `gap` pass, as a server busy with something else does; raises when
  // the server stops meanwhile.
  void Pause(std::chrono::milliseconds gap) const;
  // Everything until the peer closes.
  std::string ReceiveAll();
  // The same, taking at most `piece` bytes and then pausing for `gap`, as a
  // server that reads slowly does.
  std::string ReceiveSlowly(std::size_t piece, std::chrono::milliseconds gap);
  // Waits until the peer closes, discarding what arrives.
  void AwaitClose();
  // Closes at once, with a reset, as a server that breaks off does.
  void Reset();
  void Close();

 protected:
  // Waits (bounded) until the socket is ready for `events`; raises when the
  // server stops or the bound passes.
  void Await(short events) const;

  platform::SocketHandle fd_;
  platform::SocketHandle stop_;
};

// The control connection: command lines in, reply lines out.
class ScriptedFtpServer::Connection : public DataConnection {
 public:
  Connection(ScriptedFtpServer& server, platform::SocketHandle fd);

  // The next command line (without CR LF), recorded by the server. Raises when
  // the client closes or nothing comes within the bound.
  std::string Command();
  // Sends `line` followed by CR LF.
  void Reply(const std::string& line);
  // Greeting 220, then USER answered 331 and PASS answered 230.
  void Login();
  // The server side of an active transfer: reads PORT and agrees, reads the
  // transfer command and answers `reply`, then opens the data connection.
  DataConnection AgreeActive(const std::string& reply);
  // Connects to the address of a "PORT h1,h2,h3,h4,p1,p2" command, from
  // the loopback address `from` (another 127.x.y.z plays a stranger), or
  // to that of an "EPRT |2|address|port|" command.
  DataConnection ConnectTo(const std::string& portCommand, const char* from = "127.0.0.1");
  // Listens on a free loopback port (of the control connection's family)
  // for a passive data connection.
  PassiveListener Listen();
  // The server side of a passive transfer: reads EPSV (or, after refusing
  // it with `epsvRefusal`, PASV) and agrees, reads the transfer command
  // and answers `reply`, then accepts the data connection.
  DataConnection AgreePassive(const std::string& reply, const std::string& epsvRefusal = "");

 private:
  void AnswerFeat();

  ScriptedFtpServer& server_;
  std::string pending_;
};

// A listening socket for one passive data connection.
class ScriptedFtpServer::PassiveListener {
 public:
  PassiveListener(platform::SocketHandle stop, int family);
  PassiveListener(PassiveListener&& other) noexcept;
  ~PassiveListener();
  PassiveListener(const PassiveListener&) = delete;
  PassiveListener& operator=(const PassiveListener&) = delete;

  // "127,0,0,1,p1,p2", the tuple of a 227 reply.
  std::string Tuple() const;
  // "(|||port|)" of a 229 reply.
  std::string ExtendedTuple() const;
  DataConnection Accept();

 private:
  platform::SocketHandle fd_;
  platform::SocketHandle stop_;
};

}  // namespace test
