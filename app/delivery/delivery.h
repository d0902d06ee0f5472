#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "app/container/container_preparer.h"
#include "app/delivery/file_operation.h"
#include "app/delivery/name_claims.h"
#include "app/delivery/retry_policy.h"
#include "app/delivery/session_thread.h"
#include "app/delivery/target_outcome.h"
#include "app/delivery/transport.h"
#include "app/site/netrc.h"
#include "app/site/site_config.h"
#include "app/site/target_list.h"
#include "platform/event_loop.h"

namespace entity {
class TCharToEntityTranslator;
}

namespace app {

class ContainerLock;
class ContainerSnapshot;
class LogBlocks;
class Transport;

// What one send is asked to do.
struct DeliveryOptions {
  std::string container;              // the path as the user named it
  std::vector<rTargetList> targets;   // the selected targets, in list order
  std::vector<std::size_t> rows;      // their rows of the target list
  bool backup = true;
  std::string backupFolder;
  bool unattended = false;            // a run that will send nothing leaves the container as it is
  RetryPolicy retry{0};               // the window retries nothing by itself
  int parallel = 1;                   // sessions at once (at most two to one server)
  bool readRecipients = false;        // the mail will want the EMAIL addresses
  SiteServer site;                    // the account, and the port of targets that name none
  ftp::TTlsSettings tls;              // trusted authorities, client certificate, revocation lists
  std::string knownHostsFile;         // Parcelo's own, for SFTP targets
  // Asked on this thread about an SFTP host key nobody knows yet (the
  // window asks the user); none: such a key is refused.
  std::function<bool(const std::string& host, const std::string& fingerprint)> trustHostKey;
  int timeOut = 5000;
  int slowTimeOut = -1;
  std::string status;  // the status text shown when the send starts
  std::chrono::milliseconds lockBound = std::chrono::minutes(10);
  const entity::TCharToEntityTranslator* translator = nullptr;
  // "date time" as the log writes it.
  std::function<std::string()> now;
};

// What the send tells the one who shows it (the window, or the command line).
class DeliveryEvents {
 public:
  virtual ~DeliveryEvents() = default;
  // Raises EInOutError when the log cannot be written.
  virtual void LogLine(const std::string& text) = 0;
  // `now`: the send goes on without handling events.
  virtual void Status(const std::string& text, bool now) = 0;
  // Before a box that ends the send early.
  virtual void StopAnimation() {}
  // A server took the transfer type: text (ASCII) or binary.
  virtual void TransferMode(bool text) {}
  virtual void TargetChanged(const TargetOutcome& outcome, TargetState state, int percent) {}
  // An upload in progress; `size` < 0 when it ended.
  virtual void UploadProgress(std::int64_t sent, std::int64_t size) {}
  // The backup copy's progress; false cancels it.
  virtual bool BackupProgress(std::uint64_t copied, std::uint64_t size) { return true; }
  // The transfer log could not be written (once per send); the send goes on.
  virtual void LogUnwritable(const std::string& reason) {}
};

// What a send did, for people and scripts.
struct DeliveryReport {
  // Why the send stopped before its targets ("No file selected", "No
  // target selected"); empty when it reached them.
  std::string stopped;
  std::string container;
  std::int64_t bytes = 0;
  std::string sha256;
  std::chrono::system_clock::time_point started;
  std::chrono::system_clock::time_point finished;
  std::vector<TargetOutcome> targets;
  bool backupWanted = false;
  bool backupDone = false;
  std::string backupPath;
  std::string backupError;
  std::string ident;                    // "<ecu-ident>-<sw-ident>", empty when unknown
  std::vector<std::string> recipients;  // when they were asked for
  bool containerIsText = false;         // as the last target left it
  bool logUnwritable = false;           // the transfer log lost lines of this send
  int interruptedBy = 0;                // the signal that ended the send early; 0: none

  std::size_t Failed() const;
  bool AnyFtpDelivered() const;
  // 0: every target got the container (and the backup copy was made when
  // asked for); 2: some did; 1: none did; 128 + the signal that interrupted it.
  int ExitCode() const;
};

// A selected target before its send: what it is and where it goes.
TargetOutcome PlannedOutcome(const rTargetList& target, std::size_t row, const SiteServer& site,
                             const std::string& container);

// One send of a container to the selected targets: it locks the container
// against other runs, prepares it, takes one snapshot of it, gives every
// target its attempt (retrying transient failures as the policy says,
// several targets at once), logs each target's steps as one block in list
// order, then makes the backup copy and reads what the mail needs. A failed
// target never stops the others.
class Delivery {
 public:
  Delivery(DeliveryOptions options, DeliveryEvents& events);
  ~Delivery();
  Delivery(const Delivery&) = delete;
  Delivery& operator=(const Delivery&) = delete;

  // Runs the send; keeps the thread's events flowing while it waits. False
  // when it stopped before the targets after telling the user why (no
  // container named, no target selected, a signal: the report's `stopped`).
  // SIGTERM, SIGINT and SIGHUP end it cleanly: the sessions are cancelled,
  // what they left on the servers removed where a few seconds allow. Raises ECopyError (the container
  // is missing, or its backup copy would overwrite it), EContainerBusy, and
  // the preparation's EInOutError.
  bool Run();
  // Ends the sessions in progress and sends to no further target.
  void Cancel();

  const DeliveryReport& Report() const { return report_; }

 private:
  struct Target;
  class Posted;

  void CheckBackupTarget();
  void Log(const std::string& text);
  void Status(const std::string& text, bool now);
  void StartWhatCan();
  bool CanStart(const Target& target) const;
  void Start(std::size_t index);
  void HandOverToStowa(Target& target);
  void StartAttempt(std::size_t index);
  // The request of an attempt at target `index`; raises when it cannot be made.
  AttemptRequest RequestFor(std::size_t index);
  // The account for a target: the netrc file's entry for its host (and its
  // login), else the site account.
  void FillAccount(AttemptRequest& request);
  void AttemptDone(std::size_t index, AttemptResult result);
  void RemoveLeftover(std::size_t index);
  // Runs `work` with the target's transport and events on a session of its own.
  using SessionWork = std::function<void(Transport&, AttemptEvents&, SessionThread&)>;
  void StartSession(std::size_t index, SessionWork work);
  Transport* TransportOf(const TargetOutcome& outcome) const;
  void Finish(std::size_t index, TargetResult result);
  void Interrupt(int signal);
  bool RunSteps();
  void Changed(const Target& target, TargetState state, int percent = 0);
  void MakeBackupCopy();
  void FinishReport();
  bool AllDone() const;

  DeliveryOptions options_;
  DeliveryEvents& events_;
  std::string status_;  // the status text shown now
  DeliveryReport report_;
  HomeMail mail_;
  std::unique_ptr<ContainerLock> lock_;
  // What goes out: the container, or its private copy (removed at the end).
  PreparedContainer prepared_;
  std::unique_ptr<ContainerSnapshot> snapshot_;
  std::unique_ptr<Transport> ftp_;
  std::unique_ptr<Transport> sftp_;
  // The user's netrc file, read at the first target that needs an account.
  std::optional<Netrc> netrc_;
  std::exception_ptr netrcError_;
  // Set when the send ends early: a session waiting for an answer gives up.
  std::shared_ptr<std::atomic<bool>> stopping_ = std::make_shared<std::atomic<bool>>(false);
  std::unique_ptr<LogBlocks> blocks_;
  NameClaims names_;  // used by the sessions: goes after them
  std::vector<std::unique_ptr<Target>> states_;
  std::string remoteIdent_;
  std::exception_ptr identError_;
  std::string backupSource_;
  std::string backupDestination_;
  bool cancelled_ = false;
  std::mt19937 random_;
};

}  // namespace app
