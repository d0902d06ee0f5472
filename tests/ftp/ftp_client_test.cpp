#include "ftp/ftp_client.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "ftp_client_probe.h"
#include "platform/console_dialogs.h"
#include "support/scripted_ftp_server.h"
#include "support/temp_dir.h"

namespace ftp {
namespace {

using test::ScriptedFtpServer;
using Connection = ScriptedFtpServer::Connection;

TEST(FtpClientLogin, MultiLineGreetingIsReadBeforeUser) {
  ScriptedFtpServer server([](Connection& c) {
    c.Send("220-Welcome\r\n220-to the scripted server\r\n220 ready\r\n");
    c.Command();
    c.Reply("331 Password required");
    c.Command();
    c.Reply("230 Logged in");
    c.AwaitClose();
  });
  test::ProbedClient probe(server.Port());
  probe.client.ReportLevel = 1;
  probe.client.Connect();
  EXPECT_TRUE(probe.client.Connected);
  EXPECT_EQ(server.Commands(), (std::vector<std::string>{"USER anna", "PASS secret"}));
  const std::vector<std::string> expected{"220-Welcome\r\n", "220-to the scripted server\r\n",
                                          "220 ready\r\n", "USER anna"};
  ASSERT_GE(probe.statuses.size(), expected.size());
  EXPECT_EQ(std::vector<std::string>(probe.statuses.begin(), probe.statuses.begin() + 4), expected);
  EXPECT_EQ(probe.connected, 1);
}

TEST(FtpClientLogin, UserAnsweredWith230SkipsThePassword) {
  ScriptedFtpServer server([](Connection& c) {
    c.Reply("220 ready");
    c.Command();
    c.Reply("230 No password needed");
    c.AwaitClose();
  });
  test::ProbedClient probe(server.Port());
  probe.client.Connect();
  EXPECT_EQ(server.Commands(), std::vector<std::string>{"USER anna"});
  EXPECT_EQ(probe.connected, 1);
}

TEST(FtpClientLogin, RefusedPasswordClosesAndRaisesTheReply) {
  ScriptedFtpServer server([](Connection& c) {
    c.Reply("220 ready");
    c.Command();
    c.Reply("331 Password required");
    c.Command();
    c.Reply("530 Login incorrect.");
    c.Command();
    c.Reply("221 Goodbye.");
    c.AwaitClose();
  });
  test::ProbedClient probe(server.Port());
  probe.client.ReportLevel = 1;
  try {
    probe.client.Connect();
    FAIL();
  } catch (const FTPException& error) {
    EXPECT_STREQ(error.what(), "530 Login incorrect.\r\n");
  }
  EXPECT_EQ(probe.connectionFailed, 1);
  EXPECT_FALSE(probe.client.Connected);
  EXPECT_EQ(server.Commands(), (std::vector<std::string>{"USER anna", "PASS secret", "QUIT"}));
  EXPECT_EQ(probe.client.StatusText(), "Verbindung abgebrochen");
  for (const std::string& status : probe.statuses) EXPECT_EQ(status.find("secret"), std::string::npos);
}

TEST(FtpClientLogin, ProxyUserStyleSendsOneCombinedUser) {
  ScriptedFtpServer server([](Connection& c) {
    c.Login();
    c.AwaitClose();
  });
  test::ProbedClient probe(server.Port());
  probe.client.Proxy = "127.0.0.1";
  probe.client.ProxyPort = server.Port();
  probe.client.Port = 1;  // the proxy's port counts, not this one
  probe.client.Host = "ftp.site.example";
  probe.client.FirewallType = FTUser;
  probe.client.Connect();
  EXPECT_EQ(server.Commands(),
            (std::vector<std::string>{"USER anna@ftp.site.example", "PASS secret"}));
}

TEST(FtpClientLogin, SilentServerEndsTheLoginAfterTheTimeOut) {
  ScriptedFtpServer server([](Connection& c) { c.AwaitClose(); });
  test::ProbedClient probe(server.Port());
  probe.client.TimeOut = 200;
  probe.client.ReportLevel = 1;
  try {
    probe.client.Connect();
    FAIL();
  } catch (const EAbortError& error) {
    EXPECT_STREQ(error.what(), "Zeitüberschreitung beim Warten auf Antwort"_ansi);
  }
  EXPECT_FALSE(probe.client.Connected);
  EXPECT_EQ(probe.client.StatusText(), "Verbindung abgebrochen");
}

TEST(FtpClientLogin, ConnectTwiceSendsNothingTheSecondTime) {
  ScriptedFtpServer server([](Connection& c) {
    c.Login();
    c.AwaitClose();
  });
  test::ProbedClient probe(server.Port());
  probe.client.Connect();
  probe.client.Connect();
  EXPECT_EQ(server.Commands().size(), 2u);
  EXPECT_EQ(probe.connected, 1);
}

TEST(FtpClientLogin, DisconnectAfter221AllowsANewConnect) {
  ScriptedFtpServer server([](Connection& c) {
    c.Login();
    c.Command();
    c.Reply("221 Goodbye.");
    c.AwaitClose();
  });
  test::ProbedClient probe(server.Port());
  probe.client.Connect();
  probe.client.Disconnect();
  EXPECT_FALSE(probe.client.Connected);
  probe.client.Connect();
  EXPECT_TRUE(probe.client.Connected);
  EXPECT_EQ(server.Commands(), (std::vector<std::string>{"USER anna", "PASS secret", "QUIT",
                                                         "USER anna", "PASS secret"}));
}

TEST(FtpClientCommands, KindsFollowTheFirstWord) {
  ScriptedFtpServer server([](Connection& c) {
    c.Login();
    for (;;) {
      c.Command();
      c.Reply("250 OK");
    }
  });
  test::ProbedClient probe(server.Port());
  probe.client.Connect();
  for (const char* command : {"PWD", "PWD ", "cwd x", "CWD x", "MKD x", "DELE x", "RMD x", "NOOP"})
    probe.client.SendCommand(command);
  EXPECT_EQ(probe.successes, (std::vector<TCmdType>{ctCurrentDir, ctOther, ctOther, ctChangeDir,
                                                    ctMakeDir, ctDelete, ctRemoveDir, ctOther}));
}

TEST(FtpClientCommands, MissingDirectoryFailsAndStaysLoggedIn) {
  ScriptedFtpServer server([](Connection& c) {
    c.Login();
    c.Command();
    c.Reply("550 No such directory.");
    c.Command();
    c.Reply("250 OK");
    c.AwaitClose();
  });
  test::ProbedClient probe(server.Port());
  probe.client.Connect();
  try {
    probe.client.ChangeDirectory("../../../k3/fab/cae");
    FAIL();
  } catch (const FTPException& error) {
    EXPECT_STREQ(error.what(), "550 No such directory.\r\n");
  }
  EXPECT_EQ(probe.failures, std::vector<TCmdType>{ctChangeDir});
  EXPECT_TRUE(probe.client.Connected);
  probe.client.ChangeDirectory("in");
  EXPECT_EQ(server.Commands()[2], "CWD ../../../k3/fab/cae");
  EXPECT_EQ(probe.successes, std::vector<TCmdType>{ctChangeDir});
}

TEST(FtpClientCommands, NotImplementedIsReportedBeforeTheFailure) {
  ScriptedFtpServer server([](Connection& c) {
    c.Login();
    c.Command();
    c.Reply("502 Command not implemented.");
    c.Command();
    c.Reply("421 Service not available.");
    c.AwaitClose();
  });
  test::ProbedClient probe(server.Port());
  probe.client.Connect();
  EXPECT_THROW(probe.client.SendCommand("SITE X"), FTPException);
  EXPECT_EQ(probe.events, (std::vector<std::string>{"unsupported 14", "failure 14"}));
  probe.events.clear();
  EXPECT_THROW(probe.client.SendCommand("NOOP"), FTPException);
  EXPECT_EQ(probe.events, std::vector<std::string>{"failure 14"});
}

TEST(FtpClientCommands, HandledFailureReturnsQuietly) {
  ScriptedFtpServer server([](Connection& c) {
    c.Login();
    c.Command();
    c.Reply("550 No.");
    c.AwaitClose();
  });
  test::ProbedClient probe(server.Port());
  probe.handleFailures = true;
  probe.client.Connect();
  EXPECT_NO_THROW(probe.client.SendCommand("DELE x"));
  EXPECT_EQ(probe.failures, std::vector<TCmdType>{ctDelete});
}

TEST(FtpClientCommands, TransferModesAndOthersThatSendNothing) {
  ScriptedFtpServer server([](Connection& c) {
    c.Login();
    for (;;) {
      c.Command();
      c.Reply("200 Type set.");
    }
  });
  test::ProbedClient probe(server.Port());
  probe.client.Connect();
  probe.client.SetTransferMode(tmAscii);
  probe.client.SetTransferMode(tmImage);
  probe.client.SetTransferMode(tmLocal8);
  probe.client.SetTransferMode(static_cast<TTransferMode>(0));
  probe.client.SetTransferMode(static_cast<TTransferMode>(4));
  probe.client.SendCommand("NOOP");  // a barrier: everything before it has arrived
  EXPECT_EQ(server.Commands(), (std::vector<std::string>{"USER anna", "PASS secret", "TYPE A",
                                                         "TYPE I", "TYPE L 8", "NOOP"}));
  EXPECT_EQ(probe.successes.size(), 4u);
}

TEST(FtpClientCommands, ContinuationLinesAreNotTakenForTheNextReply) {
  ScriptedFtpServer server([](Connection& c) {
    c.Login();
    c.Command();
    c.Send("214-Commands recognized:\r\nUSER\r\n PASS\r\n214 Help OK.\r\n");
    c.Command();
    c.Reply("257 \"/\" is the current directory");
    c.AwaitClose();
  });
  test::ProbedClient probe(server.Port());
  probe.client.Connect();
  // The reply's second line ends the continuation early; the rest stays unread.
  probe.client.SendCommand("HELP");
  EXPECT_EQ(probe.client.LastReply, "214-Commands recognized:\r\n");
  probe.client.SendCommand("PWD");
  EXPECT_EQ(probe.client.ReplyCode, 257);
}

TEST(FtpClientCommands, ControlCharactersAreRefusedBeforeSending) {
  ScriptedFtpServer server([](Connection& c) {
    c.Login();
    for (;;) {
      c.Command();
      c.Reply("250 OK");
    }
  });
  test::ProbedClient probe(server.Port());
  probe.client.Connect();
  for (const std::string& directory :
       {std::string("in\r\nDELE important"), std::string("in\nDELE x"), std::string("in\0x", 4)})
    EXPECT_THROW(probe.client.ChangeDirectory(directory), FTPException);
  // Refused like a command the server refuses, so the caller's log shows it.
  EXPECT_EQ(probe.failures, std::vector<TCmdType>(3, ctChangeDir));
  probe.client.SendCommand("NOOP");
  EXPECT_EQ(server.Commands(), (std::vector<std::string>{"USER anna", "PASS secret", "NOOP"}));
}

// The control connection speaks Telnet: a byte 255 (IAC) that belongs to a
// name (an sw-ident, a password) goes out twice, else the server reads a
// Telnet command there.
TEST(FtpClientCommands, Byte255IsDoubledOnTheWire) {
  ScriptedFtpServer server([](Connection& c) {
    c.Login();
    c.Command();
    c.Reply("250 OK");
    c.Command();
    c.Reply("200 PORT command successful.");
    c.Command();
    c.Reply("550 No such file.");
    c.AwaitClose();
  });
  test::ProbedClient probe(server.Port());
  probe.client.Password = "se\xFF" "cret";
  probe.client.Connect();
  probe.client.ChangeDirectory("in\xFF");
  test::TempDir dir;
  EXPECT_THROW(probe.client.Download("ABC\xFF.1", (dir / "x").string()), FTPException);
  const std::vector<std::string> commands = server.Commands();
  ASSERT_EQ(commands.size(), 5u);
  EXPECT_EQ(commands[1], "PASS se\xFF\xFF" "cret");
  EXPECT_EQ(commands[2], "CWD in\xFF\xFF");
  EXPECT_EQ(commands[4], "RETR ABC\xFF\xFF.1");
}

// The client's texts are in the program's code page, so that the terminal
// reads them right and the log (Windows-1252) holds them right.
TEST(FtpClientCommands, GermanTextsReadRightOnAUtf8Terminal) {
  std::ostringstream out;
  try {
    CheckCommandText("in\r\nDELE victim");
    FAIL();
  } catch (const FTPException& error) {
    EXPECT_EQ(std::string(error.what()).substr(0, 6), "Unzul\xE4");
    platform::ConsoleDialogs(out).MessageBox(error.what(), "Error", platform::MessageIcon::kError);
  }
  EXPECT_EQ(out.str(), "Error: Unzul\xC3\xA4ssiges Steuerzeichen (CR, LF oder NUL) im FTP-Befehl\n");
}

TEST(FtpClientCommands, CommandWithoutConnectionAsksOnceThenFails) {
  TFtpClient client;
  int asked = 0;
  client.OnConnectionRequired = [&](bool&) { ++asked; };
  try {
    client.SendCommand("NOOP");
    FAIL();
  } catch (const Exception& error) {
    EXPECT_STREQ(error.what(), "Nicht verbunden");
  }
  EXPECT_EQ(asked, 1);
}

}  // namespace
}  // namespace ftp
