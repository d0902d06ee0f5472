#pragma once

#include <QMainWindow>
#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "app/window/animate.h"
#include "app/window/busy_guard.h"
#include "app/site/data_paths.h"
#include "app/window/file_dropper.h"
#include "app/launch_info.h"
#include "app/delivery/delivery.h"
#include "app/run_options.h"
#include "app/run/unattended_send.h"
#include "app/window/mail_client.h"
#include "app/site/target_list.h"
#include "app/site/transfer_log.h"
#include "entity/char_to_entity_translator.h"
#include "ftp/ftp_client.h"
#include "xml/dom_implementation.h"
#include "xml/dom_parser.h"

class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QProgressBar;
class QPushButton;
class QStatusBar;

namespace app {

class TAboutBox;
class TOKRightDlg;
class TResultForm;
class TReadMeForm;

// The checker's files, as named from its working folder.
struct CheckerFiles {
  std::string script = "lib/checkit.mmx";
  std::string catalog = "dtd/catalog";
  std::string rules = "lib/checkit.mck";
};

// The main window: the container field, the target list, the commands, the
// status bar and the program's workflow behind them. The declaration is here;
// the handlers are split by concern over the main_form_*.cpp files.
class TForm1 : public QMainWindow {
 public:
  explicit TForm1(LaunchInfo launch, QWidget* parent = nullptr);
  ~TForm1() override;

  // The other windows of the program, created after this one.
  void SetWindows(QWidget* splash, TOKRightDlg* okRightDlg, TAboutBox* aboutBox, TReadMeForm* readMeForm);

  // --- start-up, settings and shutdown
  void FormCreate();
  void FormActivate();
  void Button1Click();
  void FormDestroy();
  const std::string& AppDirectory() const { return AppDir; }
  const std::string& BackupFolderPath() const { return BackupFolder; }
  bool IsLoggingOn() const { return LoggingOn; }
  bool IsUnattended() const { return Unattended; }
  const std::vector<std::string>& TargetNameList() const { return TargetNames; }
  int ParallelSessions() const { return Parallel; }
  // Whether the program asked to end, and with which exit code.
  bool TerminationRequested() const { return terminationRequested_; }
  int ExitCode() const { return exitCode_; }

  // --- transfer log and status display
  enum class Repaint { kLater, kNow };
  void WriteLogLine(const std::string& text);
  void SetStatusText(const std::string& text, Repaint repaint);
  const std::string& StatusText() const { return statusText_; }
  void StartAnimation(TCommonAVI clip);
  void StopAnimation();
  void SwitchAnimation(TCommonAVI clip);

  // --- sending a container and the mail
  void TargetListBoxDblClick();
  void ComposeMail(const DeliveryReport& report);
  bool UploadProgressVisible() const;
  // The last send that reached its targets.
  const std::optional<DeliveryReport>& LastSend() const { return lastSend_; }
  // The window that lists every target of a send where one failed; null
  // until such a send.
  TResultForm* ResultWindow() const { return resultForm_; }

  // --- target list
  void targetshortname1Click();
  const std::vector<rTargetList>& TargetRows() const { return Targets; }
  const std::string& IntranetAddress() const { return IntranetUrl; }

  // --- FTP client events and the start-up refresh
  void FtpClient1Error(ftp::TSockSession& Sender, std::uint16_t Errno, const std::string& Errmsg);
  void FtpClient1Failure(bool& Handled, ftp::TCmdType Trans_Type);
  void FtpClient1Success(ftp::TCmdType Trans_Type);

  // --- container check
  void ckContainerClick();
  // The checker's command for the container path as entered.
  static std::string CheckerCommand(const std::string& container, const CheckerFiles& files = {});

  // --- options, menus and the small windows
  void Button3Click();
  void FileDropper3Drop(TFileDropper& sender, const std::string& path);
  void SendMailClick();
  void MenuSendMailClick();
  void MenuBackupClick();
  void MenuParallelClick();
  void backupfolder1Click();
  enum class HelpRequest { kTopic, kContext };
  void HelpContents1Execute();
  void Help1Click();
  void ApplicationEventsHelp(HelpRequest request, const std::string& data);
  void ecumemClick();
  void Readme1Click();
  void About1Click();
  TReadMeForm& HelpViewer() { return *helpViewer_; }

  // Controls, named as the window's design names them.
  QWidget* Panel1 = nullptr;
  QLabel* Label1 = nullptr;
  QLineEdit* ContainerFile = nullptr;
  QPushButton* Button3 = nullptr;
  QLabel* Label2 = nullptr;
  QListWidget* TargetListBox = nullptr;
  TAnimate* Animate1 = nullptr;
  QPushButton* ckContainer = nullptr;
  QPushButton* SendButton = nullptr;
  QCheckBox* SendMail = nullptr;
  QPushButton* Button1 = nullptr;
  QStatusBar* Status = nullptr;
  QMenu* Options1 = nullptr;
  QAction* backupfolder1 = nullptr;
  QAction* MenuSendMail = nullptr;
  QAction* MenuBackup = nullptr;
  QAction* MenuParallel = nullptr;
  QMenu* N1 = nullptr;
  QAction* Help1 = nullptr;
  QAction* targetshortname1 = nullptr;
  QAction* ecumem = nullptr;
  QAction* Readme1 = nullptr;
  QAction* About1 = nullptr;
  QAction* HelpContents1 = nullptr;
  TFileDropper* FileDropper3 = nullptr;
  TFileDropper* FileDropper1 = nullptr;

  // Components.
  ftp::TFtpClient FtpClient1;
  entity::TCharToEntityTranslator CETRans;
  xml::TDomImplementation Dom;
  xml::TDomParser Parser;
  xml::TDomImplementation Dom2;
  xml::TDomParser Parser2;
  TMailClient MailClient;

  static constexpr const char* kOpenDialogFilter =
      "Container file (*.cnt, *.ecu)|*.cnt; *.ecu|SGML file (*.sgm, *.sgml)|*.sgm; *.sgml|"
      "XML file (*.xml)|*.xml|all files (*.*)|*.*";

 protected:
  bool event(QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void CreateControls();
  void CreateMenus();
  void CreateStatusBar();
  void CreateComponents();
  void ConnectHandlers();

  // The start-up step after its first two steps.
  void RunStartUp();
  void ReadSettings();
  void ApplySendMailSetting();
  // Sets the mail box as the program does: a change runs SendMailClick.
  void SetSendMailChecked(bool checked);
  void OpenTransferLog();
  void RequestTermination(int exitCode);
  // Disables what starts a send or a check or changes their inputs, until the guard goes.
  BusyGuard Busy();
  // Shows `address` in the viewer, modally, under `caption`; the viewer's own
  // caption comes back afterwards.
  void ShowInViewer(const std::string& caption, const std::string& address);
  // --- start-up refresh and target list
  // False when the program ends here (exit code 1).
  bool RefreshFromServer();
  void DownloadSiteFiles();
  void ReadTargetList();
  void RefreshReadme();
  void SendUnattended();
  // The selected targets as a send would take them, none sent.
  std::vector<TargetOutcome> PlannedTargets() const;

  // --- sending
  class SendEvents;
  // The send action and its report; none when a send runs already.
  std::optional<DeliveryReport> SendContainer();
  DeliveryOptions SendOptions() const;
  void ShowUploadProgress(std::int64_t sent, std::int64_t size);
  void ShowTargetState(const TargetOutcome& outcome, TargetState state, int percent);
  void ShowResults(const DeliveryReport& report);
  void SendAgainToFailed();
  // Unattended: the report file, when asked for, and what it says of a run
  // that ended before its send.
  void WriteRunReport(int exitCode, const std::string& error, const DeliveryReport* delivery);
  // Ends the FTP client's connection after an error, so the next Connect
  // reaches the server it is asked for, not the one left behind.
  void CloseFtpAfterError();

  // --- command line
  void EvaluateCommandLine();

  LaunchInfo launch_;
  // Where the data files are read and written: below AppDir, or per user.
  DataPaths dataPaths_;
  // The site server: its account serves the targets, its port those whose
  // address names none.
  SiteServer site_;
  QLabel* statusPanel_ = nullptr;
  QProgressBar* uploadProgress_ = nullptr;
  std::string statusText_;
  QWidget* splash_ = nullptr;
  TOKRightDlg* okRightDlg_ = nullptr;
  TAboutBox* aboutBox_ = nullptr;
  TReadMeForm* readMeForm_ = nullptr;
  TReadMeForm* helpViewer_ = nullptr;
  TResultForm* resultForm_ = nullptr;
  std::optional<DeliveryReport> lastSend_;
  RunOptions runOptions_;
  bool pastCommandLine_ = false;
  RunReporter reporter_;
  bool busy_ = false;
  bool terminationRequested_ = false;
  int exitCode_ = 0;

  // Private state of the window.
  bool UsageShown = false;
  bool LoggingOn = false;
  bool SendMailSetting = false;
  // How many targets a send serves at once (setting "Parallel").
  int Parallel = kDefaultParallel;
  std::string AppDir;
  std::string IntranetUrl;
  std::string StoredReadmeDate;
  std::string ListReadmeDate;

  // State shared by the whole workflow.
  bool FirstActivation = true;
  bool Unattended = false;
  std::vector<rTargetList> Targets;
  bool ContainerIsText = false;
  TransferLog TransferLog_;
  std::vector<std::string> TargetNames;
  std::string LastDir;
  std::string BackupFolder;
};

}  // namespace app
