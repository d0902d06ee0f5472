#include "app/delivery/delivery.h"

#include <algorithm>
#include <filesystem>
#include <future>
#include <utility>

#include "app/ascii_case.h"
#include "app/container/container_head.h"
#include "app/container/container_preparer.h"
#include "app/container/remote_name.h"
#include "app/delivery/container_lock.h"
#include "app/delivery/container_snapshot.h"
#include "app/delivery/failure_class.h"
#include "app/delivery/ftp_transport.h"
#include "app/delivery/sftp_transport.h"
#include "app/delivery/log_blocks.h"
#include "app/delivery/send_texts.h"
#include "app/error_display.h"
#include "app/file_system.h"
#include "app/path_text.h"
#include "app/workflow_errors.h"
#include "ftp/ftp_client.h"
#include "ftp/net_address.h"
#include "ftp/sftp_client.h"
#include "app/scope_exit.h"
#include "platform/file_version.h"
#include "platform/interrupt_signals.h"
#include "platform/shell.h"

namespace app {
namespace {

// How often a send that waits for another run on its container looks again.
constexpr auto kLockPass = std::chrono::milliseconds(200);
// How long one pass of the send's own wait blocks at most.
constexpr auto kWaitPass = std::chrono::milliseconds(50);
// Sessions to one server at a time, however many targets it serves.
constexpr int kSessionsPerServer = 2;
// How long a cancelled send still tries to remove what it left on a server.
constexpr int kCancelledCleanupBound = 3000;

std::string ServerKey(const TargetOutcome& outcome) { return AsciiLower(outcome.host) + ":" + std::to_string(outcome.port); }

// "ftp", "ftps", "ftps-implicit".
const char* ProtocolName(ftp::TTlsMode mode) {
  switch (mode) {
    case ftp::TTlsMode::None: return "ftp";
    case ftp::TTlsMode::Explicit: return "ftps";
    case ftp::TTlsMode::Implicit: return "ftps-implicit";
  }
  return "ftp";
}

// What protects an FTP target: what its Werk says, else what the site uses,
// so that the site's account never goes out in clear where the site keeps it
// under TLS.
ftp::TTlsMode TargetTlsMode(const rTargetList& target, const SiteServer& site) {
  if (target.Tls) return *target.Tls;
  return site.tls == ftp::TTlsMode::None ? ftp::TTlsMode::None : ftp::TTlsMode::Explicit;
}

}  // namespace

struct Delivery::Target {
  std::size_t index;
  TargetState state = TargetState::kWaiting;
  std::unique_ptr<Posted> events;
  std::unique_ptr<SessionThread> session;
  std::chrono::steady_clock::time_point began;
  std::optional<platform::EventLoop::TimerId> retryTimer;
  std::string leftover;  // what a failed attempt left on the server
  bool done = false;
};

// An attempt's events, from its session thread to this thread, in order.
class Delivery::Posted : public AttemptEvents {
 public:
  Posted(Delivery& delivery, std::size_t index) : delivery_(delivery), index_(index) {}

  void LogLine(const std::string& text) override {
    Post([text](Delivery& d, Target& t) { d.blocks_->Write(t.index, text); });
  }
  void Status(const std::string& text, bool now) override {
    Post([text, now](Delivery& d, Target&) { d.Status(text, now); });
  }
  void ConnectionError(const std::string& text) override {
    Post([text](Delivery& d, Target& t) {
      ShowError(text);
      d.blocks_->Write(t.index, "--> Error: " + text);
    });
  }
  void Refused(int kind) override {
    Post([kind](Delivery& d, Target& t) {
      // Other kinds leave the status as it is: the line repeats it.
      if (const char* text = RefusalStatus(kind)) d.status_ = text;
      d.Status(d.status_, true);
      d.blocks_->Write(t.index, " --> Failure: " + d.status_);
    });
  }
  void TransferModeSet(bool text) override {
    Post([text](Delivery& d, Target&) { d.events_.TransferMode(text); });
  }
  void Progress(std::int64_t sent, std::int64_t size) override {
    Post([sent, size](Delivery& d, Target& t) {
      d.events_.UploadProgress(sent, size);
      d.Changed(t, TargetState::kSending, size > 0 ? static_cast<int>(sent * 100 / size) : 100);
    });
  }
  void Uploaded() override {
    Post([](Delivery& d, Target&) { d.Status("Upload success", false); });
  }

 private:
  template <typename Step>
  void Post(Step step) {
    Delivery* delivery = &delivery_;
    const std::size_t index = index_;
    delivery_.mail_.Post([delivery, index, step] { step(*delivery, *delivery->states_[index]); });
  }

  Delivery& delivery_;
  std::size_t index_;
};

TargetOutcome PlannedOutcome(const rTargetList& target, std::size_t row, const SiteServer& site,
                             const std::string& container) {
  TargetOutcome outcome;
  outcome.row = row;
  outcome.target = target;
  const ftp::TTlsMode tls = TargetTlsMode(target, site);
  const int defaultPort = target.Stowa                                    ? 80
                          : target.Protocol == TTargetProtocol::Sftp ? ftp::kSftpPort
                                                                      : TargetDefaultPort(site, tls);
  const ftp::THostAndPort server =
      ftp::SplitHostPort(target.Stowa ? StowaServerOf(BuildStowaUrl()) : target.FtpAddress, defaultPort);
  outcome.protocol = target.Stowa ? "stowa" : target.Protocol == TTargetProtocol::Sftp ? "sftp" : ProtocolName(tls);
  outcome.host = server.host;
  outcome.port = server.port;
  outcome.textMode = IsTextContainer(container);
  return outcome;
}

std::size_t DeliveryReport::Failed() const {
  return static_cast<std::size_t>(
      std::count_if(targets.begin(), targets.end(), [](const TargetOutcome& t) { return !t.GotIt(); }));
}

bool DeliveryReport::AnyFtpDelivered() const {
  return std::any_of(targets.begin(), targets.end(),
                     [](const TargetOutcome& t) { return t.result == TargetResult::kDelivered; });
}

int DeliveryReport::ExitCode() const {
  if (interruptedBy) return 128 + interruptedBy;
  if (!stopped.empty()) return 1;
  const std::size_t failed = Failed();
  if (targets.empty() || failed == targets.size()) return 1;
  return failed > 0 || (backupWanted && !backupDone) ? 2 : 0;
}

Delivery::Delivery(DeliveryOptions options, DeliveryEvents& events)
    : options_(std::move(options)), events_(events), status_(options_.status), ftp_(std::make_unique<FtpTransport>()),
      sftp_(std::make_unique<SftpTransport>()),
      random_(std::random_device{}()) {
  report_.container = options_.container;
}

Delivery::~Delivery() {
  *stopping_ = true;
  for (auto& target : states_)
    if (target->retryTimer) mail_.Home().StopTimer(*target->retryTimer);
  // The sessions end (and are waited for) before what they use goes.
  states_.clear();
}

void Delivery::Log(const std::string& text) {
  try {
    events_.LogLine(text);
  } catch (const EInOutError& error) {
    // The log cannot take the record; the send goes on, and what the
    // transfers did stays what they did.
    if (!std::exchange(report_.logUnwritable, true)) events_.LogUnwritable(error.what());
  }
}

void Delivery::Status(const std::string& text, bool now) {
  status_ = text;
  events_.Status(text, now);
}

bool Delivery::Run() {
  platform::InterruptSignals interrupts;
  auto& loop = mail_.Home();
  loop.WatchSocket(interrupts.Fd(), platform::kSocketRead, [&](unsigned, int) {
    interrupts.Drain();
    Interrupt(platform::InterruptedBy());
  });
  const ScopeExit unwatch([&] { loop.UnwatchSocket(interrupts.Fd()); });
  try {
    return RunSteps();
  } catch (const platform::EInterrupted& interrupted) {
    // Before the targets: the preparation or the wait for another run.
    report_.interruptedBy = interrupted.Signal();
    report_.stopped = interrupted.what();
    Log(report_.stopped);
    return false;
  }
}

void Delivery::Interrupt(int signal) {
  if (report_.interruptedBy || !signal) return;
  report_.interruptedBy = signal;
  Cancel();
}

bool Delivery::RunSteps() {
  const std::string& container = options_.container;
  report_.started = std::chrono::system_clock::now();
  if (container.empty()) {
    report_.stopped = "No file selected";
    ShowError(report_.stopped);
    return false;
  }
  if (!NameExists(container)) {
    ShowError("Sorce file does not exist. \r\rTerminate program.");
    Log("Container file does not exist. Abort!");
    throw ECopyError("Files does not exist.");
  }
  auto& loop = mail_.Home();
  lock_ = std::make_unique<ContainerLock>(
      container, options_.lockBound, [&] { Status(kWaitingForOtherRun, true); },
      [&] {
        loop.Wait(kLockPass);
        loop.ProcessMessages();
        platform::RaiseIfInterrupted();
      });
  const bool targetSelected = !options_.targets.empty();
  // Unattended, a container that will go nowhere is not rewritten.
  if (targetSelected || !options_.unattended) prepared_ = ContainerPreparer(*options_.translator).Prepare(container);
  Log("");
  Log(std::string("Parcelo Version ") + platform::kFileVersion);
  if (!prepared_.keptBecause.empty())
    Log("container kept as it was (" + prepared_.keptBecause + "): prepared copy " + prepared_.file);
  if (!targetSelected) {
    report_.stopped = "No target selected";
    ShowError(report_.stopped);
    return false;
  }
  report_.backupWanted = options_.backup;
  if (options_.backup) CheckBackupTarget();
  snapshot_ = std::make_unique<ContainerSnapshot>(prepared_.file.empty() ? container : prepared_.file);
  report_.bytes = snapshot_->Size();
  report_.sha256 = snapshot_->Sha256();
  try {
    remoteIdent_ = RemoteNameIdent(ReadContainerHead(*snapshot_));
  } catch (...) {
    identError_ = std::current_exception();
  }
  Log("connect: " + options_.now());

  blocks_ = std::make_unique<LogBlocks>(options_.targets.size(), [this](const std::string& line) { Log(line); });
  for (std::size_t i = 0; i < options_.targets.size(); ++i) {
    const std::size_t row = i < options_.rows.size() ? options_.rows[i] : i;
    report_.targets.push_back(PlannedOutcome(options_.targets[i], row, options_.site, container));
    auto target = std::make_unique<Target>();
    target->index = i;
    target->events = std::make_unique<Posted>(*this, i);
    states_.push_back(std::move(target));
    Changed(*states_.back(), TargetState::kWaiting);
  }
  StartWhatCan();
  while (!AllDone()) {
    loop.Wait(kWaitPass);
    loop.ProcessMessages();
  }
  FinishReport();
  return true;
}

bool Delivery::AllDone() const {
  return std::all_of(states_.begin(), states_.end(), [](const auto& target) { return target->done; });
}

void Delivery::CheckBackupTarget() {
  const std::string source = FullPath(options_.container);
  const std::string destination = FullPath(
      JoinPath(options_.backupFolder, PathText(PathOf(options_.container).filename())));
  if (AsciiUpper(source) == AsciiUpper(destination)) {
    events_.StopAnimation();
    ShowError("Target file and source file are identical,\rplease change the backup folder.\r\r!! TRANSFER ABORT !!");
    Log("transfer abort: " + options_.now());
    Log("source file: " + source);
    throw ECopyError("Files are identical");
  }
  backupSource_ = source;
  backupDestination_ = destination;
}

bool Delivery::CanStart(const Target& target) const {
  if (target.state != TargetState::kWaiting || target.done) return false;
  const TargetOutcome& outcome = report_.targets[target.index];
  if (outcome.target.Stowa) return true;
  int sessions = 0, toServer = 0;
  for (const auto& other : states_) {
    if (!other->session) continue;
    ++sessions;
    if (ServerKey(report_.targets[other->index]) == ServerKey(outcome)) ++toServer;
  }
  return sessions < std::max(1, options_.parallel) && toServer < kSessionsPerServer;
}

void Delivery::StartWhatCan() {
  // Each start may finish a target at once (a hand-over, a changed
  // container) and so free a place for the next.
  for (bool started = true; started && !cancelled_;) {
    started = false;
    for (auto& target : states_)
      if (CanStart(*target)) {
        Start(target->index);
        started = true;
        break;
      }
  }
}

void Delivery::Start(std::size_t index) {
  Target& target = *states_[index];
  const rTargetList& row = report_.targets[index].target;
  target.began = std::chrono::steady_clock::now();
  blocks_->Write(index, "target: " + row.Name);
  blocks_->Write(index, "target path: " + row.Path);
  blocks_->Write(index, row.Compress ? "compression: yes" : "compression: no");
  if (row.Stowa)
    HandOverToStowa(target);
  else
    StartAttempt(index);
}

void Delivery::HandOverToStowa(Target& target) {
  TargetOutcome& outcome = report_.targets[target.index];
  const std::string url = BuildStowaUrl();
  blocks_->Write(target.index, "Send container to STOWA");
  blocks_->Write(target.index, "URL: " + url);
  // The path goes into the address as it is; the browser runs beside us.
  platform::StartProgram(platform::SystemBrowser(), url + options_.container, false);
  blocks_->Write(target.index, "SourceFile: " + options_.container);
  outcome.attempts = 1;
  Finish(target.index, TargetResult::kHandedOver);
}

void Delivery::StartAttempt(std::size_t index) {
  Target& target = *states_[index];
  TargetOutcome& outcome = report_.targets[index];
  target.retryTimer.reset();
  ++outcome.attempts;
  // What was sent before must be what is sent now.
  if (!snapshot_->Unchanged()) {
    outcome.error = ClassifyFailure(std::make_exception_ptr(EContainerChanged()));
    return Finish(index, TargetResult::kFailed);
  }
  if (identError_) {
    outcome.error = ClassifyFailure(identError_);
    return Finish(index, TargetResult::kFailed);
  }
  AttemptRequest request;
  try {
    request = RequestFor(index);
  } catch (...) {
    outcome.error = ClassifyFailure(std::current_exception());
    return Finish(index, TargetResult::kFailed);
  }
  const bool sftp = outcome.target.Protocol == TTargetProtocol::Sftp;
  if (!sftp && request.tlsMode == ftp::TTlsMode::None && options_.site.tls != ftp::TTlsMode::None)
    blocks_->Write(index, "password sent without TLS to " + outcome.host);
  target.state = TargetState::kSending;
  Changed(target, TargetState::kSending);
  StartSession(index, [this, index, request](Transport& transport, AttemptEvents& events, SessionThread& session) {
    AttemptResult result = transport.Attempt(request, events, session);
    mail_.Post([this, index, result = std::move(result)]() mutable { AttemptDone(index, std::move(result)); });
  });
}

void Delivery::StartSession(std::size_t index, SessionWork work) {
  Transport* transport = TransportOf(report_.targets[index]);
  AttemptEvents* events = states_[index]->events.get();
  states_[index]->session = std::make_unique<SessionThread>(
      [transport, events, work = std::move(work)](SessionThread& session) { work(*transport, *events, session); });
}

AttemptRequest Delivery::RequestFor(std::size_t index) {
  const TargetOutcome& outcome = report_.targets[index];
  AttemptRequest request;
  request.target = outcome.target;
  request.host = outcome.host;
  request.port = outcome.port;
  request.container = snapshot_.get();
  request.containerText = options_.container;
  request.remoteIdent = remoteIdent_;
  request.textMode = outcome.textMode;
  request.timeOut = options_.timeOut;
  request.slowTimeOut = options_.slowTimeOut;
  // One host under two ports may be one folder too.
  const std::string folder = AsciiLower(outcome.host) + "\n" + outcome.target.Path;
  request.claimName = [this, folder, index](const std::string& name) { return names_.Claim(folder, name, index); };
  request.tlsMode = TargetTlsMode(outcome.target, options_.site);
  request.tls = options_.tls;
  request.knownHostsFile = options_.knownHostsFile;
  if (options_.trustHostKey)
    request.trustHostKey = [this, stopping = stopping_](const std::string& host, const std::string& fingerprint) {
      // Asked on this thread, where the user is; the session waits for the
      // answer unless the send ends meanwhile.
      auto answer = std::make_shared<std::promise<bool>>();
      auto decided = answer->get_future();
      mail_.Post([this, answer, host, fingerprint] { answer->set_value(options_.trustHostKey(host, fingerprint)); });
      while (decided.wait_for(std::chrono::milliseconds(100)) == std::future_status::timeout)
        if (*stopping) return false;
      return decided.get();
    };
  request.leftover = states_[index]->leftover;
  FillAccount(request);
  return request;
}

void Delivery::FillAccount(AttemptRequest& request) {
  if (!netrc_ && !netrcError_) {
    try {
      netrc_ = Netrc::ReadUserFile();
    } catch (...) {
      netrcError_ = std::current_exception();
    }
  }
  if (netrcError_) std::rethrow_exception(netrcError_);
  if (const auto account = netrc_->Find(request.host, request.target.User)) {
    request.user = account->login.empty() ? request.target.User : account->login;
    request.password = account->password;
    return;
  }
  if (!request.target.User.empty())
    throw ENetrcError("No password for " + request.target.User + " at " + request.host + " in the netrc file");
  request.user = options_.site.user;
  request.password = options_.site.password;
}

void Delivery::AttemptDone(std::size_t index, AttemptResult result) {
  Target& target = *states_[index];
  TargetOutcome& outcome = report_.targets[index];
  target.session.reset();
  events_.UploadProgress(0, -1);
  outcome.remoteName = result.remoteName;
  outcome.tempName = result.tempName;
  outcome.tls = result.tls;
  target.leftover = result.leftBehind;
  if (result.delivered) {
    outcome.bytes = result.bytes;
    outcome.verifiedBy = result.verifiedBy;
    outcome.error.reset();
    Finish(index, TargetResult::kDelivered);
    return;
  }
  outcome.error = ClassifyFailure(result.error);
  const int retry = outcome.attempts;
  if (outcome.error->kind != FailureClass::kTransient || retry > options_.retry.retries || cancelled_) {
    if (target.leftover.empty()) return Finish(index, TargetResult::kFailed);
    return RemoveLeftover(index);
  }
  const auto wait =
      options_.retry.WaitBefore(retry, [this] { return std::uniform_real_distribution<double>(0, 1)(random_); });
  blocks_->Write(index, RetryLine(retry, options_.retry.retries, wait, outcome.error->text));
  target.state = TargetState::kRetrying;
  Changed(target, TargetState::kRetrying);
  target.retryTimer = mail_.Home().StartTimer(wait, [this, index] {
    Target& waiting = *states_[index];
    if (waiting.retryTimer) mail_.Home().StopTimer(*waiting.retryTimer);
    StartAttempt(index);
  });
  // Its place is free while it waits.
  StartWhatCan();
}

// A target that failed for good first gets rid of what it stored, on a
// connection of its own.
void Delivery::RemoveLeftover(std::size_t index) {
  AttemptRequest request;
  try {
    request = RequestFor(index);
  } catch (...) {
    return Finish(index, TargetResult::kFailed);
  }
  if (cancelled_) {
    request.timeOut = std::min(request.timeOut, kCancelledCleanupBound);
    request.slowTimeOut = request.timeOut;
  }
  StartSession(index, [this, index, request](Transport& transport, AttemptEvents& events, SessionThread& session) {
    transport.RemoveLeftover(request, events, session);
    mail_.Post([this, index] {
      states_[index]->session.reset();
      Finish(index, TargetResult::kFailed);
    });
  });
}

Transport* Delivery::TransportOf(const TargetOutcome& outcome) const {
  return outcome.target.Protocol == TTargetProtocol::Sftp ? sftp_.get() : ftp_.get();
}

void Delivery::Finish(std::size_t index, TargetResult result) {
  Target& target = *states_[index];
  TargetOutcome& outcome = report_.targets[index];
  outcome.result = result;
  outcome.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - target.began).count();
  target.done = true;
  target.state = outcome.GotIt() ? TargetState::kDelivered : TargetState::kFailed;
  Changed(target, target.state, outcome.GotIt() ? 100 : 0);
  blocks_->Finish(index);
  StartWhatCan();
}

void Delivery::Changed(const Target& target, TargetState state, int percent) {
  events_.TargetChanged(report_.targets[target.index], state, percent);
}

void Delivery::Cancel() {
  cancelled_ = true;
  *stopping_ = true;
  for (auto& target : states_) {
    if (target->done) continue;
    if (target->session) {
      target->session->Cancel();
      continue;
    }
    if (target->retryTimer) mail_.Home().StopTimer(*target->retryTimer);
    target->retryTimer.reset();
    const bool tried = report_.targets[target->index].attempts > 0;
    if (!tried) target->began = std::chrono::steady_clock::now();
    if (!target->leftover.empty())
      RemoveLeftover(target->index);
    else
      Finish(target->index, tried ? TargetResult::kFailed : TargetResult::kNotSent);
  }
}

void Delivery::MakeBackupCopy() {
  TFileOperation copy;
  copy.Operation = foCopy;
  copy.ProgressTitle = "copy container to backup folder";
  copy.FilesFrom = {backupSource_};
  copy.FilesTo = {backupDestination_};
  copy.OnProgress = [this](std::uint64_t copied, std::uint64_t size) {
    return !platform::InterruptedBy() && events_.BackupProgress(copied, size);
  };
  report_.backupPath = backupDestination_;
  report_.backupDone = copy.Execute(*snapshot_);
  if (!report_.backupDone) {
    report_.backupError = copy.OperationAborted && copy.LastError.empty() ? "cancelled" : copy.LastError;
    Log("backup copy failed: " + report_.backupError);
  }
}

void Delivery::FinishReport() {
  if (report_.interruptedBy) Log("interrupted by signal " + std::to_string(report_.interruptedBy));
  for (const TargetOutcome& outcome : report_.targets) {
    Log(ResultLine(outcome));
    // As the last target tried leaves it: a hand-over counts as text.
    if (outcome.attempts > 0) report_.containerIsText = outcome.target.Stowa || outcome.textMode;
  }
  const bool anyGotIt = report_.Failed() < report_.targets.size();
  if (options_.backup && anyGotIt && !report_.interruptedBy) MakeBackupCopy();
  if (!report_.interruptedBy) report_.interruptedBy = platform::InterruptedBy();
  if (anyGotIt && report_.containerIsText) {
    try {
      const ContainerHead head = ReadContainerHead(*snapshot_);
      report_.ident = head.Ident();
      if (!report_.ident.empty()) Log("container no.: " + report_.ident);
      if (options_.readRecipients) report_.recipients = ReadRecipients(*snapshot_);
    } catch (const std::exception&) {
      // Without its fields the container still went where it went.
    }
  }
  // The unprepared copy the preparation kept is no longer needed.
  if (report_.AnyFtpDelivered() && !prepared_.unprepared.empty()) {
    std::error_code ignored;
    std::filesystem::remove(prepared_.unprepared, ignored);
  }
  report_.finished = std::chrono::system_clock::now();
}

}  // namespace app
