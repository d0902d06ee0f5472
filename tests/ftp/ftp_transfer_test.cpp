#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <optional>
#include <utility>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "ftp/ftp_client.h"
#include "ftp_client_probe.h"
#include "support/scripted_ftp_server.h"
#include "support/temp_dir.h"
#include "support/wait_until.h"

namespace ftp {
namespace {

using test::ScriptedFtpServer;
using Connection = ScriptedFtpServer::Connection;
using DataConnection = ScriptedFtpServer::DataConnection;

// A local file that must survive every failed download unchanged.
struct PreviousLocalFile {
  test::TempDir dir;
  std::string path = (dir / "ftpsend.xml").string();
  PreviousLocalFile() { test::WriteFile(path, "last good target list"); }
  bool Untouched() const {
    return test::ReadFile(path) == "last good target list" &&
           std::distance(std::filesystem::directory_iterator(dir.Path()),
                         std::filesystem::directory_iterator()) == 1;
  }
};

// A passive download of "ftpsend.xml" over a previous local file, expected
// to fail: what it raised and the events it reported.
struct FailedPassiveDownload {
  test::ProbedClient probe;
  PreviousLocalFile previous;
  std::string error;
  explicit FailedPassiveDownload(std::uint16_t port) : probe(port) {
    probe.client.Passive = true;
    probe.client.Connect();
    try {
      probe.client.Download("ftpsend.xml", previous.path);
    } catch (const Exception& raised) {
      error = raised.what();
    }
  }
};

TEST(FtpDownload, SizeFromTheOpeningReplyAndBytesReceived) {
  const std::string content = test::PatternBytes(100000);
  ScriptedFtpServer server([&](Connection& c) {
    c.Login();
    DataConnection data =
        c.AgreeActive("150 Opening BINARY mode data connection for x (100000 bytes)");
    data.Send(content);
    data.Close();
    c.Reply("226 Transfer complete.");
    c.AwaitClose();
  });
  test::ProbedClient probe(server.Port());
  probe.client.ReportLevel = 1;
  std::int64_t sizeAtStart = -1;
  probe.client.OnTransactionStart = [&](TSockSession& sender) { sizeAtStart = sender.TransferSize; };
  test::TempDir dir;
  probe.client.Connect();
  probe.client.Download("x", (dir / "x").string());
  EXPECT_EQ(sizeAtStart, 100000);
  EXPECT_EQ(probe.client.TransferSize, 100000);
  EXPECT_EQ(probe.client.BytesReceived(), 100000);
  EXPECT_TRUE(test::ReadFile(dir / "x") == content);
  EXPECT_EQ(probe.successes, std::vector<TCmdType>{ctDownload});
  EXPECT_NE(std::find(probe.statuses.begin(), probe.statuses.end(), "Empfangen 100000 Byte"),
            probe.statuses.end());
  EXPECT_EQ(server.Commands()[3], "RETR x");
  EXPECT_EQ(server.Commands()[2].rfind("PORT 127,0,0,1,", 0), 0u);
}

TEST(FtpDownload, MissingRemoteFileFailsTwiceAndLeavesTheLocalFile) {
  ScriptedFtpServer server([](Connection& c) {
    c.Login();
    c.Command();
    c.Reply("200 PORT command successful.");
    c.Command();
    c.Reply("550 ftpsend.xml: No such file or directory.");
    c.AwaitClose();
  });
  test::ProbedClient probe(server.Port());
  PreviousLocalFile previous;
  probe.client.Connect();
  try {
    probe.client.Download("ftpsend.xml", previous.path);
    FAIL();
  } catch (const FTPException& error) {
    EXPECT_STREQ(error.what(), "550 ftpsend.xml: No such file or directory.\r\n");
  }
  EXPECT_EQ(probe.failures, (std::vector<TCmdType>{ctDownload, ctDownload}));
  EXPECT_TRUE(previous.Untouched());
  EXPECT_EQ(probe.client.DataConnection(), nullptr);
  EXPECT_TRUE(probe.client.Connected);
}

TEST(FtpDownload, FinalFailureReplyIsAFailureAndKeepsTheLocalFile) {
  ScriptedFtpServer server([](Connection& c) {
    c.Login();
    DataConnection data = c.AgreeActive("150 Opening data connection.");
    data.Send("half of the new list");
    data.Close();
    c.Reply("451 Requested action aborted: local error in processing.");
    c.AwaitClose();
  });
  test::ProbedClient probe(server.Port());
  PreviousLocalFile previous;
  probe.client.Connect();
  EXPECT_THROW(probe.client.Download("ftpsend.xml", previous.path), FTPException);
  EXPECT_EQ(probe.events, (std::vector<std::string>{"start", "stop", "failure 8", "failure 8"}));
  EXPECT_TRUE(previous.Untouched());
}

TEST(FtpDownload, DroppedDataConnectionIsAFailureAndKeepsTheLocalFile) {
  ScriptedFtpServer server([](Connection& c) {
    c.Login();
    DataConnection data = c.AgreeActive("150 Opening data connection.");
    data.Send(test::PatternBytes(50000));
    data.Reset();
    c.Reply("426 Connection closed; transfer aborted.");
    c.AwaitClose();
  });
  test::ProbedClient probe(server.Port());
  PreviousLocalFile previous;
  probe.client.Connect();
  EXPECT_THROW(probe.client.Download("ftpsend.xml", previous.path), Exception);
  EXPECT_TRUE(probe.successes.empty());
  EXPECT_FALSE(probe.failures.empty());
  EXPECT_TRUE(previous.Untouched());
}

// The reset reaches the client while it waits for the opening reply, so the
// event loop has taken the socket's error before the data is read; the reader
// must still learn of it. Even a positive final reply then cannot make the
// download a success: the data never came.
TEST(FtpDownload, ResetDataConnectionIsAFailureWhateverTheFinalReplySays) {
  ScriptedFtpServer server([](Connection& c) {
    c.Login();
    c.Command();
    {
      auto listener = c.Listen();
      c.Reply("229 Entering Extended Passive Mode " + listener.ExtendedTuple());
      c.Command();
    }  // closing the listener resets the connection it has not accepted
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    c.Reply("150 Here it comes.");
    c.Reply("226 Transfer complete.");
    c.AwaitClose();
  });
  const FailedPassiveDownload download(server.Port());
  EXPECT_EQ(download.error, "10054:Connection reset by peer");
  EXPECT_EQ(download.probe.errors, std::vector<std::string>{"10054:Connection reset by peer"});
  EXPECT_TRUE(download.probe.successes.empty());
  EXPECT_EQ(download.probe.failures, std::vector<TCmdType>{ctDownload});
  EXPECT_TRUE(download.previous.Untouched());
}

TEST(FtpDownload, StalledTransferEndsAfterTheIdleTimeOut) {
  ScriptedFtpServer server([](Connection& c) {
    c.Login();
    DataConnection data = c.AgreeActive("150 Opening data connection.");
    data.Send("a first chunk");
    data.AwaitClose();
    c.AwaitClose();
  });
  test::ProbedClient probe(server.Port());
  probe.client.TimeOut = 300;
  PreviousLocalFile previous;
  probe.client.Connect();
  try {
    probe.client.Download("ftpsend.xml", previous.path);
    FAIL();
  } catch (const EAbortError& error) {
    EXPECT_STREQ(error.what(), "Socket-send abgebrochen");
  }
  EXPECT_EQ(probe.failures, std::vector<TCmdType>{ctDownload});
  EXPECT_TRUE(previous.Untouched());
}

// The PORT command `port` with the address "a1,a2,a3,a4" in place of its own.
std::string PortAt(const std::string& port, const std::string& address) {
  std::size_t at = 0;
  for (int i = 0; i < 4; ++i) at = port.find(',', at) + 1;
  return "PORT " + address + "," + port.substr(at);
}

// The data port listens where the control connection is, not on every
// address of the machine (127.0.0.2 is another local one); of those that
// reach it, only the server's connection counts.
TEST(FtpDownload, ActiveModeTurnsAwayStrangers) {
  std::atomic<bool> reachableElsewhere = false;
  ScriptedFtpServer server([&](Connection& c) {
    c.Login();
    const std::string port = c.Command();
    c.Reply("200 PORT command successful.");
    c.Command();
    c.Reply("150 Opening data connection.");
    try {
      c.ConnectTo(PortAt(port, "127,0,0,2"));
      reachableElsewhere = true;
    } catch (const std::system_error&) {
    }
    try {
      DataConnection stranger = c.ConnectTo(port, "127.0.0.2");
      stranger.Send("injected");
    } catch (const std::system_error&) {
      // turned away before it could say a word
    }
    DataConnection data = c.ConnectTo(port);
    data.Send("genuine");
    data.Close();
    c.Reply("226 Transfer complete.");
    c.AwaitClose();
  });
  test::ProbedClient probe(server.Port());
  test::TempDir dir;
  probe.client.Connect();
  probe.client.Download("x", (dir / "x").string());
  EXPECT_EQ(test::ReadFile(dir / "x"), "genuine");
  EXPECT_FALSE(reachableElsewhere);
}

// A server behind NAT names its private address, a hostile one a third
// host (the FTP bounce): either way the data goes to the server we talk to.
// An IPv4 server that does not know EPSV gets PASV, for the rest of the connection.
TEST(FtpDownload, PassiveConnectsToTheServerWhateverTheReplyNames) {
  ScriptedFtpServer server([](Connection& c) {
    c.Login();
    c.Command();
    c.Reply("500 'EPSV': command not understood.");
    for (const char* content : {"passive bytes", "more bytes"}) {
      c.Command();
      auto listener = c.Listen();
      const std::string tuple = listener.Tuple();
      c.Reply("227 Entering Passive Mode (10,1,2,3" + tuple.substr(tuple.find(',', 9)) + ").");
      c.Command();
      c.Reply("150 Here it comes.");
      DataConnection data = listener.Accept();
      data.Send(content);
      data.Close();
      c.Reply("226 Transfer complete.");
    }
    c.AwaitClose();
  });
  test::ProbedClient probe(server.Port());
  probe.client.Passive = true;
  std::vector<std::string> notes;
  probe.client.OnTransferNote = [&](const std::string& note) { notes.push_back(note); };
  test::TempDir dir;
  probe.client.Connect();
  probe.client.Download("x", (dir / "x").string());
  probe.client.Download("y", (dir / "y").string());
  EXPECT_EQ(test::ReadFile(dir / "x"), "passive bytes");
  EXPECT_EQ(test::ReadFile(dir / "y"), "more bytes");
  EXPECT_EQ(server.Commands(), (std::vector<std::string>{"USER anna", "PASS secret", "EPSV", "PASV", "RETR x",
                                                         "PASV", "RETR y"}));
  EXPECT_EQ(notes, std::vector<std::string>(
                       2, "passive mode: the server named 10.1.2.3, connecting to 127.0.0.1 instead"));
}

TEST(FtpDownload, PassiveReplyWithoutClosingParenthesisIsRefused) {
  ScriptedFtpServer server([](Connection& c) {
    c.Login();
    c.Command();
    c.Reply("502 EPSV not implemented.");
    c.Command();
    c.Reply("227 Entering Passive Mode (127,0,0,1,200,10");
    c.AwaitClose();
  });
  const FailedPassiveDownload download(server.Port());
  EXPECT_EQ(download.error, "Ungültige Antwort auf PASV"_ansi);
  EXPECT_EQ(download.probe.failures, std::vector<TCmdType>{ctDownload});
  EXPECT_TRUE(download.previous.Untouched());
}

TEST(FtpUpload, FinalFailureReplyIsAFailureNotASuccess) {
  std::string stored;
  ScriptedFtpServer server([&](Connection& c) {
    c.Login();
    DataConnection data = c.AgreeActive("150 Ok to send data.");
    stored = data.ReceiveAll();
    c.Reply("552 Requested file action aborted. Exceeded storage allocation.");
    c.AwaitClose();
  });
  test::ProbedClient probe(server.Port());
  test::TempDir dir;
  test::WriteFile(dir / "container.cnt", "container");
  probe.client.Connect();
  try {
    probe.client.Upload((dir / "container.cnt").string(), "remote.cnt");
    FAIL();
  } catch (const FTPException& error) {
    EXPECT_STREQ(error.what(), "552 Requested file action aborted. Exceeded storage allocation.\r\n");
  }
  EXPECT_EQ(probe.events, (std::vector<std::string>{"start", "stop", "failure 9", "failure 9"}));
  EXPECT_EQ(stored, "container");
}

TEST(FtpUpload, ServerLeavingWithoutTheFinalReplyIsAFailure) {
  ScriptedFtpServer server([](Connection& c) {
    c.Login();
    DataConnection data = c.AgreeActive("150 Ok to send data.");
    data.ReceiveAll();
    c.Close();
  });
  test::ProbedClient probe(server.Port());
  test::TempDir dir;
  test::WriteFile(dir / "c.cnt", "container");
  probe.client.Connect();
  try {
    probe.client.Upload((dir / "c.cnt").string(), "c.cnt");
    FAIL();
  } catch (const ESockError& error) {
    EXPECT_STREQ(error.what(), "Verbindung vom Server beendet");
  }
  EXPECT_EQ(probe.events, (std::vector<std::string>{"start", "stop", "failure 9"}));
}

TEST(FtpUpload, RefusedStoreFailsTwiceAndKeepsTheLogin) {
  ScriptedFtpServer server([](Connection& c) {
    c.Login();
    c.Command();
    c.Reply("200 PORT command successful.");
    c.Command();
    c.Reply("553 Could not create file.");
    c.Command();
    c.Reply("200 PORT command successful.");
    c.Command();
    c.Reply("502 Command not implemented.");
    c.AwaitClose();
  });
  test::ProbedClient probe(server.Port());
  test::TempDir dir;
  test::WriteFile(dir / "c.cnt", "x");
  probe.client.Connect();
  EXPECT_THROW(probe.client.Upload((dir / "c.cnt").string(), ""), FTPException);
  EXPECT_EQ(probe.events, (std::vector<std::string>{"failure 9", "failure 9"}));
  EXPECT_EQ(server.Commands()[3], "STOR c.cnt");
  EXPECT_EQ(probe.client.DataConnection(), nullptr);
  EXPECT_TRUE(probe.client.Connected);

  probe.events.clear();
  EXPECT_THROW(probe.client.Upload((dir / "c.cnt").string(), "c.cnt"), FTPException);
  EXPECT_EQ(probe.events, (std::vector<std::string>{"unsupported 9", "failure 9", "failure 9"}));
}

TEST(FtpUpload, SlowCommandReplyIsAFailureNotASkippedSuccess) {
  ScriptedFtpServer server([](Connection& c) {
    c.Login();
    c.Command();
    c.Reply("200 PORT command successful.");
    c.Command();  // STOR, never answered
    c.AwaitClose();
  });
  test::ProbedClient probe(server.Port());
  probe.client.TimeOut = 200;
  test::TempDir dir;
  test::WriteFile(dir / "c.cnt", "x");
  probe.client.Connect();
  try {
    probe.client.Upload((dir / "c.cnt").string(), "c.cnt");
    FAIL();
  } catch (const EAbortError& error) {
    EXPECT_STREQ(error.what(), "Zeitüberschreitung beim Warten auf Antwort"_ansi);
  }
  EXPECT_EQ(probe.events, std::vector<std::string>{"failure 9"});
}

TEST(FtpUpload, CancelInTheCommandPhaseIsAFailure) {
  ScriptedFtpServer server([](Connection& c) {
    c.Login();
    c.Command();
    c.Reply("200 PORT command successful.");
    c.AwaitClose();
  });
  test::ProbedClient probe(server.Port());
  probe.client.ReportLevel = 1;
  probe.client.OnStatus = [&](TSockSession& sender, const std::string& text) {
    if (text == "STOR c.cnt") sender.Cancel();
  };
  test::TempDir dir;
  test::WriteFile(dir / "c.cnt", "x");
  probe.client.Connect();
  EXPECT_THROW(probe.client.Upload((dir / "c.cnt").string(), "c.cnt"), EAbortError);
  EXPECT_TRUE(probe.successes.empty());
  EXPECT_EQ(probe.failures, std::vector<TCmdType>{ctUpload});
}

TEST(FtpUpload, RemoteNameWithLineBreakIsRefusedBeforeAnyCommand) {
  ScriptedFtpServer server([](Connection& c) {
    c.Login();
    c.Command();
    c.Reply("200 NOOP ok.");
    c.AwaitClose();
  });
  test::ProbedClient probe(server.Port());
  test::TempDir dir;
  test::WriteFile(dir / "c.cnt", "x");
  probe.client.Connect();
  EXPECT_THROW(probe.client.Upload((dir / "c.cnt").string(), "c.cnt\r\nDELE ftpsend.xml"),
               FTPException);
  probe.client.SendCommand("NOOP");
  EXPECT_EQ(server.Commands(), (std::vector<std::string>{"USER anna", "PASS secret", "NOOP"}));
}

TEST(FtpUpload, MissingLocalFileFailsBeforeAnyCommand) {
  ScriptedFtpServer server([](Connection& c) {
    c.Login();
    c.AwaitClose();
  });
  test::ProbedClient probe(server.Port());
  probe.client.Connect();
  EXPECT_THROW(probe.client.Upload("/no/such/container.cnt", ""), Exception);
  EXPECT_EQ(probe.failures, std::vector<TCmdType>{ctUpload});
  EXPECT_EQ(server.Commands().size(), 2u);
}

// After the final reply the server is asked what it stored: SIZE, then the
// strongest digest it offers, compared with what was sent ("abc" unless said).
struct VerificationCase {
  const char* name;
  std::optional<std::vector<std::string>> features;  // nullopt: FEAT refused
  TTransferMode mode;
  std::vector<std::pair<std::string, std::string>> checks;  // command expected, reply
  std::vector<std::string> notes;
  std::string error;  // empty: the upload succeeds
  std::string content = "abc";
};

void PrintTo(const VerificationCase& c, std::ostream* out) { *out << c.name; }

class FtpUploadVerification : public testing::TestWithParam<VerificationCase> {};

TEST_P(FtpUploadVerification, ComparesWhatTheServerStored) {
  const VerificationCase& c = GetParam();
  std::string received;
  ScriptedFtpServer server([&](Connection& s) {
    s.Login();
    s.Command();
    s.Reply("200 Type set.");
    DataConnection data = s.AgreeActive("150 Ok to send data.");
    received = data.ReceiveAll();
    s.Reply("226 Transfer complete.");
    for (const auto& check : c.checks) {
      s.Command();
      s.Reply(check.second);
    }
    s.AwaitClose();
  });
  if (c.features) server.SetFeatures(*c.features);
  test::ProbedClient probe(server.Port());
  std::vector<std::string> notes;
  probe.client.OnTransferNote = [&](const std::string& note) { notes.push_back(note); };
  test::TempDir dir;
  test::WriteFile(dir / "c.bin", c.content);
  probe.client.Connect();
  probe.client.SetTransferMode(c.mode);
  std::string error;
  try {
    probe.client.Upload((dir / "c.bin").string(), "c.bin");
  } catch (const Exception& raised) {
    error = raised.what();
  }
  EXPECT_EQ(error, c.error);
  EXPECT_EQ(notes, c.notes);
  std::vector<std::string> expected = {"USER anna", "PASS secret", server.Commands()[2],
                                       server.Commands()[3], "STOR c.bin"};
  for (const auto& check : c.checks) expected.push_back(check.first);
  EXPECT_EQ(server.Commands(), expected);
  if (c.error.empty()) {
    EXPECT_EQ(probe.successes.back(), ctUpload);
    EXPECT_TRUE(probe.failures.empty());
  } else {
    EXPECT_EQ(probe.successes, std::vector<TCmdType>{ctOther});
    EXPECT_EQ(probe.failures, std::vector<TCmdType>{ctUpload});
    EXPECT_TRUE(probe.client.Connected);
  }
}

const std::string kSha256 = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";

INSTANTIATE_TEST_SUITE_P(
    Cases, FtpUploadVerification,
    testing::Values(
        VerificationCase{"NoFeat", std::nullopt, tmImage, {}, {"not verified (server offers no SIZE)"}, ""},
        VerificationCase{"NoSizeOffered", std::vector<std::string>{"MDTM", "XSHA256"}, tmImage, {},
                         {"not verified (server offers no SIZE)"}, ""},
        VerificationCase{"SizeMatches", std::vector<std::string>{"SIZE"}, tmLocal8,
                         {{"SIZE c.bin", "213 3"}}, {"verified: 3 bytes"}, ""},
        VerificationCase{"SizeDiffers", std::vector<std::string>{"SIZE"}, tmImage, {{"SIZE c.bin", "213 2"}}, {},
                         "Upload unvollständig: der Server hat 2 Byte gespeichert, gesendet wurden 3 Byte"_ansi},
        VerificationCase{"SizeRefused", std::vector<std::string>{"SIZE"}, tmImage,
                         {{"SIZE c.bin", "550 Could not get file size."}},
                         {"not verified (SIZE answered 550 Could not get file size.)"}, ""},
        VerificationCase{"TextSizeAskedInImageType", std::vector<std::string>{"SIZE"}, tmAscii,
                         {{"SIZE c.bin", "550 SIZE not allowed in ASCII mode."},
                          {"TYPE I", "200 Type set to: Binary."},
                          {"SIZE c.bin", "213 3"}},
                         {"verified: 3 bytes"}, ""},
        VerificationCase{"TextStoredWithItsOwnLineEnds", std::vector<std::string>{"SIZE", "XSHA256"}, tmAscii,
                         {{"SIZE c.bin", "213 4"}}, {"verified: 4 bytes"}, "", "a\r\nb\r\n"},
        // The CR ends the first 64 KiB the client reads, the LF begins the next.
        VerificationCase{"LineEndAcrossChunks", std::vector<std::string>{"SIZE"}, tmAscii,
                         {{"SIZE c.bin", "213 65536"}}, {"verified: 65536 bytes"}, "",
                         std::string(65535, 'x') + "\r\n"},
        VerificationCase{"TextStoredShorterStill", std::vector<std::string>{"SIZE"}, tmAscii,
                         {{"SIZE c.bin", "213 3"}}, {},
                         "Upload unvollständig: der Server hat 3 Byte gespeichert, gesendet wurden 6 Byte"_ansi,
                         "a\r\nb\r\n"},
        VerificationCase{"StrongestDigest", std::vector<std::string>{"SIZE", "XCRC", "XMD5", "XSHA1", "XSHA256"},
                         tmImage, {{"SIZE c.bin", "213 3"}, {"XSHA256 c.bin", "250 " + kSha256}},
                         {"verified: 3 bytes", "verified: SHA-256 " + kSha256}, ""},
        VerificationCase{"HashSelectsItsDigestFirst", std::vector<std::string>{"SIZE", "HASH SHA-1*;SHA-256;MD5"},
                         tmImage,
                         {{"SIZE c.bin", "213 3"}, {"OPTS HASH SHA-256", "200 SHA-256"},
                          {"HASH c.bin", "213 SHA-256 0-2 " + kSha256 + " c.bin"}},
                         {"verified: 3 bytes", "verified: SHA-256 " + kSha256}, ""},
        VerificationCase{"CrcMatches", std::vector<std::string>{"SIZE", "XCRC"}, tmImage,
                         {{"SIZE c.bin", "213 3"}, {"XCRC c.bin", "250 352441C2"}},
                         {"verified: 3 bytes", "verified: CRC32 352441c2"}, ""},
        VerificationCase{"DigestDiffers", std::vector<std::string>{"SIZE", "XMD5"}, tmImage,
                         {{"SIZE c.bin", "213 3"}, {"XMD5 c.bin", "250 " + std::string(32, '0')}},
                         {"verified: 3 bytes"},
                         "Upload verfälscht: MD5 des Servers "_ansi + std::string(32, '0') +
                             ", gesendet 900150983cd24fb0d6963f7d28e17f72"},
        VerificationCase{"DigestRefused", std::vector<std::string>{"SIZE", "XSHA1"}, tmImage,
                         {{"SIZE c.bin", "213 3"}, {"XSHA1 c.bin", "500 Unknown command."}},
                         {"verified: 3 bytes", "digest not compared (XSHA1 answered 500 Unknown command.)"}, ""}),
    [](const testing::TestParamInfo<VerificationCase>& info) { return std::string(info.param.name); });

// A server that refused SIZE in ASCII mode is asked in image type at once
// for the rest of the connection; the next transfer sets TYPE A again before
// anything else, and fails when the server refuses it. A refused QUIT is an
// error only where the last transfer was not confirmed.
TEST(FtpUploadVerification, TheNextUploadGoesAsTextAgainAndAsksTheSizeInImageTypeAtOnce) {
  for (const std::string restored : {"200 Type set to: ASCII.", "504 Not implemented."}) {
    const bool refused = !restored.starts_with("200");
    std::vector<std::string> replies = {"200 Type set.", "PORT", "550 SIZE not allowed.", "200 Binary.", "213 3",
                                        restored};
    if (!refused) replies.insert(replies.end(), {"PORT", "200 Binary.", "213 3"});
    replies.push_back("500 Go away.");
    ScriptedFtpServer server([&](Connection& s) {
      s.Login();
      for (const std::string& reply : replies) {
        if (reply == "PORT")
          s.AgreeActive("150 Ok to send data.").ReceiveAll();
        else
          s.Command();
        s.Reply(reply == "PORT" ? "226 Transfer complete." : reply);
      }
      s.AwaitClose();
    });
    server.SetFeatures({"SIZE"});
    test::ProbedClient probe(server.Port());
    test::TempDir dir;
    test::WriteFile(dir / "c.cnt", "abc");
    const auto error = [](const std::function<void()>& step) -> std::string {
      try {
        step();
      } catch (const Exception& raised) {
        return raised.what();
      }
      return "";
    };
    probe.client.Connect();
    probe.client.SetTransferMode(tmAscii);
    probe.client.Upload((dir / "c.cnt").string(), "1.cnt");
    EXPECT_EQ(error([&] { probe.client.Upload((dir / "c.cnt").string(), "2.cnt"); }),
              refused ? "ASCII-Modus nicht wiederhergestellt: 504 Not implemented." : "");
    EXPECT_EQ(error([&] { probe.client.Disconnect(); }), refused ? "500 Go away.\r\n" : "");
    EXPECT_TRUE(test::WaitUntil(platform::EventLoop::Current(), [&] { return server.Commands().back() == "QUIT"; }));
    std::vector<std::string> commands;
    for (const auto& command : server.Commands()) commands.push_back(command.starts_with("PORT ") ? "PORT" : command);
    std::vector<std::string> expected = {"USER anna", "PASS secret", "TYPE A", "PORT", "STOR 1.cnt",
                                         "SIZE 1.cnt", "TYPE I", "SIZE 1.cnt", "TYPE A"};
    if (!refused) expected.insert(expected.end(), {"PORT", "STOR 2.cnt", "TYPE I", "SIZE 2.cnt"});
    expected.push_back("QUIT");
    EXPECT_EQ(commands, expected) << restored;
  }
}

// On an IPv6 control connection the data connection is announced by EPRT
// (active) or asked for by EPSV (passive); PASV and PORT cannot say IPv6.
TEST(FtpDownload, Ipv6TakesEprtAndEpsv) {
  ScriptedFtpServer server(
      [](Connection& c) {
        c.Login();
        DataConnection active = c.AgreeActive("150 Here it comes.");
        active.Send("active bytes");
        active.Close();
        c.Reply("226 Transfer complete.");
        DataConnection passive = c.AgreePassive("150 Here it comes.");
        passive.Send("passive bytes");
        passive.Close();
        c.Reply("226 Transfer complete.");
        c.Command();
        c.Reply("500 EPSV not understood.");
        c.AwaitClose();
      },
      "::1");
  test::ProbedClient probe(server.Port());
  probe.client.Host = "::1";
  test::TempDir dir;
  probe.client.Connect();
  probe.client.Download("a", (dir / "a").string());
  probe.client.Passive = true;
  probe.client.Download("p", (dir / "p").string());
  EXPECT_THROW(probe.client.Download("q", (dir / "q").string()), FTPException);
  EXPECT_EQ(test::ReadFile(dir / "a"), "active bytes");
  EXPECT_EQ(test::ReadFile(dir / "p"), "passive bytes");
  const auto commands = server.Commands();
  ASSERT_EQ(commands.size(), 7u) << "no PASV after a refused EPSV on IPv6";
  EXPECT_TRUE(commands[2].starts_with("EPRT |2|::1|")) << commands[2];
  EXPECT_EQ(commands[4], "EPSV");
  EXPECT_EQ(commands[6], "EPSV");
}

}  // namespace
}  // namespace ftp
