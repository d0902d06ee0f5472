// Targets served at once: each target's log lines stay one block, the
// blocks in list order, one server gets two sessions at a time at most,
// targets of one mailbox take a name each, and a target whose server hangs
// holds up no other.
#include <algorithm>

#include "end_to_end_fixture.h"
#include "platform/event_loop.h"
#include "support/counting_proxy.h"
#include "support/scripted_ftp_server.h"
#include "support/wait_until.h"

namespace {

// A block with its target's name and its remote name's stamp left out, so
// that the blocks of like targets compare equal.
std::vector<std::string> Neutral(std::vector<std::string> block, const std::string& name) {
  for (std::string& line : block) {
    for (auto at = line.find(name); at != std::string::npos; at = line.find(name)) line.replace(at, name.size(), "#");
    if (line.starts_with("TargetFile: ")) line.erase(line.rfind('.'));
  }
  return block;
}

class ParallelSendEndToEnd : public test::EndToEnd {
 protected:
  // Targets TGT1 ... TGTn in mailboxes of the same names at `address`.
  std::vector<std::string> Targets(int count, std::string& werke, const std::string& address = "127.0.0.1") {
    std::vector<std::string> names;
    for (int i = 1; i <= count; ++i) {
      names.push_back("TGT" + std::to_string(i));
      werke += Werk(names.back(), names.back(), address);
    }
    return names;
  }
  std::vector<std::string> Arguments(const std::vector<std::string>& names, std::vector<std::string> more) {
    std::vector<std::string> arguments{container.string()};
    for (const std::string& name : names) arguments.insert(arguments.end(), {"-t", name});
    arguments.insert(arguments.end(), more.begin(), more.end());
    return arguments;
  }
};

// Five targets behind one proxy, which counts the control connections the
// server gets at once.
TEST_P(ParallelSendEndToEnd, TargetsOnOneServerGetTwoSessionsAtMostAndTheirBlocksInOrder) {
  test::CountingProxy proxy(server.Port());
  std::string werke;
  const auto names = Targets(5, werke, "127.0.0.1:" + std::to_string(proxy.Port()));
  PublishTargets(names, werke);
  struct Bound {
    const char* parallel;
    int mostAtOnce;  // over this run and those before
  };
  std::size_t run = 0;
  for (const Bound& bound : {Bound{"1", 1}, Bound{"4", 2}}) {
    SCOPED_TRACE(std::string("-parallel ") + bound.parallel);
    const auto result = Run(Arguments(names, {"-parallel", bound.parallel}));
    ++run;
    ASSERT_EQ(result.exitCode, 0) << result.output;
    EXPECT_EQ(proxy.MostAtOnce(), bound.mostAtOnce);
    const auto blocks = LogBlocks();
    ASSERT_EQ(blocks.size(), names.size()) << Log();
    for (std::size_t i = 0; i < names.size(); ++i) {
      EXPECT_EQ(Mailbox(names[i]).size(), run) << names[i];
      EXPECT_EQ(blocks[i][0], "target: " + names[i] + " plant") << Log();
      EXPECT_EQ(Neutral(blocks[i], names[i]), Neutral(blocks[0], names[0])) << Log();
    }
  }
}

// Two Werke of one mailbox sent at once: each gets a name of its own, so
// that neither upload replaces or cuts the other.
TEST_P(ParallelSendEndToEnd, TargetsOfOneMailboxSentAtOnceGetANameEach) {
  PublishTargets({"plant1"}, Werk("TGT1", "plant1") + Werk("TGT2", "plant1"));
  const auto result = Run({container.string(), "-t", "TGT1", "-t", "TGT2"});
  EXPECT_EQ(result.exitCode, 0) << result.output;
  const auto files = Mailbox("plant1");
  ASSERT_EQ(files.size(), 2u) << result.output;
  EXPECT_EQ(Arrived("plant1", files[0]), Arrived("plant1", files[1]));
}

// The first target's server takes the connection and never greets: the
// others are delivered while it waits, and it fails by its time-out.
TEST_P(ParallelSendEndToEnd, ATargetWhoseServerNeverAnswersHoldsUpNoOther) {
  std::string werke;
  const auto names = Targets(3, werke);
  bool othersDeliveredMeanwhile = false;
  test::ScriptedFtpServer silent([&](test::ScriptedFtpServer::Connection& c) {
    try {
      c.AwaitClose();
    } catch (const std::exception&) {
      // The program gives up with a reset.
    }
    othersDeliveredMeanwhile = std::ranges::all_of(names, [&](const auto& name) { return !Mailbox(name).empty(); });
  });
  PublishTargets(names, Werk("SILENT", "silent", "127.0.0.1:" + std::to_string(silent.Port())) + werke);
  std::vector<std::string> all{"SILENT"};
  all.insert(all.end(), names.begin(), names.end());
  const auto result = Run(Arguments(all, {"-parallel", "2", "-retry", "0"}));
  EXPECT_EQ(result.exitCode, 2) << result.output;
  ASSERT_TRUE(test::WaitUntil(platform::EventLoop::Current(), [&] { return silent.Finished() == 1; }));
  EXPECT_TRUE(othersDeliveredMeanwhile);
  EXPECT_NE(result.output.find("SILENT failed: Zeitüberschreitung beim Warten auf Antwort\n"), std::string::npos) << result.output;
  const auto blocks = LogBlocks();
  ASSERT_EQ(blocks.size(), all.size()) << Log();
  for (std::size_t i = 0; i < all.size(); ++i) EXPECT_EQ(blocks[i][0], "target: " + all[i] + " plant") << Log();
}

INSTANTIATE_TEST_SUITE_P(RealServers, ParallelSendEndToEnd,
                         ::testing::Values(test::RealServerKind::Pyftpdlib, test::RealServerKind::Vsftpd),
                         [](const auto& info) {
                           return std::string(info.param == test::RealServerKind::Pyftpdlib ? "Pyftpdlib" : "Vsftpd");
                         });

}  // namespace
