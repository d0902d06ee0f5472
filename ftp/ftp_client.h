#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "ftp/file_source.h"
#include "ftp/server_features.h"
#include "ftp/sock_session.h"
#include "ftp/tls_mode.h"

namespace ftp {

// The command kind passed with OnSuccess and OnFailure.
enum TCmdType : std::uint8_t {
  ctChangeDir = 0,
  ctMakeDir = 1,
  ctDelete = 2,
  ctRemoveDir = 3,
  ctDownload = 8,
  ctUpload = 9,
  ctOther = 14,
  ctCurrentDir = 15,
  ctRename = 16,
};

// The representation type that SetTransferMode announces to the server.
enum TTransferMode : int { tmAscii = 1, tmImage = 2, tmLocal8 = 3 };

// What a server tells of a file it keeps (DescribeFiles).
struct TRemoteFile {
  // SIZE in image type: the bytes the server keeps; nullopt when not told.
  std::optional<std::int64_t> Size;
  // MDTM's time stamp as the server wrote it ("20261201093000", maybe with a
  // fraction); empty when not told.
  std::string Modified;
};

// How the login goes through a proxy (only when Proxy is set).
enum TFirewallType : std::uint8_t { FTUser = 0, FtOpen = 1, FtSite = 2 };

// An FTP client whose session socket is the control connection. It logs in,
// sends single commands, moves files over a data connection of its own and
// reports each outcome through OnSuccess / OnFailure with the command kind;
// a refused command also raises FTPException unless OnFailure handles it.
// All operations run on the UI thread and keep its events flowing.
class TFtpClient : public TSockSession {
 public:
  using TSuccessEvent = std::function<void(TCmdType Trans_Type)>;
  using TFailureEvent = std::function<void(bool& Handled, TCmdType Trans_Type)>;
  using TUnsupportedEvent = std::function<void(TCmdType Trans_Type)>;
  using TListItemEvent = std::function<void(const std::string& Listing)>;
  using TNoteEvent = std::function<void(const std::string& Note)>;

  TFtpClient();
  ~TFtpClient() override;

  // Published properties (besides those of TSockSession; Port starts at 21).
  std::string UserID;
  std::string Password;  // never shown in a status text or an error message
  // Passive: the client opens the data connection (EPSV, or PASV where an
  // IPv4 server does not know EPSV); active: the server does (PORT, on IPv6 EPRT).
  bool Passive = false;
  int Vendor = 2411;
  bool ParseList = false;
  TFirewallType FirewallType = FTUser;
  std::string FWUserID;
  std::string FWPassword;
  bool FWAuthenticate = false;
  // FTPS, explicit (AUTH TLS before the login) or implicit (TLS from the
  // first byte; the port is the caller's, usually kImplicitFtpsPort). Either
  // way PBSZ 0 and PROT P follow the login and every data connection goes
  // through TLS. Never falls back to plain FTP.
  TTlsMode TlsMode = TTlsMode::None;
  // PEM files of authorities trusted beside the system's store.
  std::vector<std::string> TlsCaFiles;
  // The client certificate (PEM, with its chain) and its key offered to a
  // server that asks for one; empty: none. No key file: the key is in the
  // certificate's file.
  std::string TlsCertificateFile;
  std::string TlsKeyFile;
  // PEM files of revocation lists the server's certificate is checked against.
  std::vector<std::string> TlsCrlFiles;

  // Raised after a successful login (the socket-level OnConnect stays unused).
  TNotifyEvent OnConnect;
  TNotifyEvent OnTransactionStart;
  TNotifyEvent OnTransactionStop;
  THandlerEvent OnAuthenticationNeeded;
  THandlerEvent OnAuthenticationFailed;  // kept for the published surface; never raised
  TSuccessEvent OnSuccess;
  TFailureEvent OnFailure;
  TListItemEvent OnListItem;  // kept for the published surface; never raised
  TUnsupportedEvent OnUnSupportedFunction;
  // What a transfer found worth recording beside its outcome: how the server
  // confirmed an upload ("verified: 1234 bytes", "verified: SHA-256 ...",
  // "not verified (...)"), or that a passive reply named another host.
  TNoteEvent OnTransferNote;

  // Connects and logs in; does nothing when connected. Raises ESockError,
  // EAbortError or FTPException (then the connection is closed again).
  void Connect() override;
  // Sends QUIT and closes; does nothing when not connected. Raises
  // FTPException (after closing) when QUIT is answered 301 to 599, unless
  // the last transfer was confirmed: then QUIT's reply is awaited only
  // briefly, and a refusal is a note, not an error.
  void Disconnect() override;
  // The first line of the reply; continuation lines are read past. Raises
  // FTPException for a command containing CR, LF or NUL, before sending it.
  std::string Transaction(const std::string& command) override;
  // Cancels the data connection of a transfer in progress, nothing else.
  void Abort() override;

  // Sends one command and reports OnSuccess / OnFailure with its kind; a
  // reply without a valid code fails like a refusal. Raises "Nicht
  // verbunden" when there is no connection.
  void SendCommand(const std::string& command);
  void ChangeDirectory(const std::string& directory);
  // Sends TYPE A, TYPE I or TYPE L 8; any other number sends nothing.
  void SetTransferMode(TTransferMode mode);
  // Stores the local file under `remoteName` (empty: its own name). Where
  // the server offers SIZE (and a digest), what it stored is compared with
  // what was sent; a difference fails the upload.
  void Upload(const std::string& localFile, const std::string& remoteName);
  // The same for the bytes of `source`, stored under `remoteName`.
  void Upload(TFileSource& source, const std::string& remoteName);
  // RNFR `from`, then RNTO `to` (RFC 959): reported like SendCommand, with
  // the reply that refused either step.
  void Rename(const std::string& from, const std::string& to);
  // Fetches `remoteName` into `localFile` (empty: the remote name in the
  // current folder). The local file is replaced only when the download
  // succeeded; after a failure it is as it was.
  void Download(const std::string& remoteName, const std::string& localFile);
  // SIZE and MDTM of each name, asked in one write (with FEAT when this
  // connection has not asked it yet) and in image type; what FEAT does not
  // offer stays unknown. The next transfer sets the caller's type again.
  std::vector<TRemoteFile> DescribeFiles(const std::vector<std::string>& names);
  // Bytes received by the transfer in progress, else by the last transfer
  // (0 after an upload and before any transfer).
  std::int64_t BytesReceived() const;
  // Reads the lines that continue a reply whose line is `line`, adding them
  // to `lines` when given; within the ReplyScope its first line was read in.
  void ReadContinuation(std::string line, std::vector<std::string>* lines = nullptr);

  TSockSession* DataConnection() const { return dataConnection_.get(); }
  // What confirmed the last upload: "size", or the digest ("sha256", "sha1",
  // "md5", "crc32") that also matched; empty when the server could not tell.
  const std::string& UploadVerifiedBy() const { return verifiedBy_; }
  // Whether a file of that name is in the current folder: MLST where the
  // server offers it, else SIZE; nullopt when the server cannot tell.
  // Refusals here are answers, not failures: no OnFailure, nothing raised
  // but a broken connection.
  std::optional<bool> RemoteFileExists(const std::string& name);
  // Whether the last transfer of this connection succeeded.
  bool TransferConfirmed() const { return transferConfirmed_; }

 private:
  // One reply with its continuation lines (added to `lines` when given),
  // within its bounds; sets LastReply and ReplyCode.
  std::string ReadReply(std::vector<std::string>* lines = nullptr);
  // Sends the command lines in one write; the server answers them in order.
  void WriteCommands(const std::vector<std::string>& commands);
  // QUIT, its reply read only if it comes within a moment.
  std::string QuitBriefly();
  // The session's Transaction for one command line, as the control
  // connection carries it: the first line of the reply. Raises as Transaction.
  std::string SendCommandLine(const std::string& command);
  // Raises (after OnConnectionFailed) unless the reply has a code up to 400.
  void CheckLoginReply(const std::string& reply);
  // The greeting with its continuation lines; raises as CheckLoginReply.
  void ReadGreeting();
  // The handshake on the control connection, after AUTH TLS when explicit;
  // raises ETlsError when either fails.
  void SecureControlConnection();
  // PBSZ 0 and PROT P; raises ETlsError when the server refuses either.
  void ProtectDataConnections();
  // Secures the data connection, when the control connection is, once the
  // server has answered its STOR or RETR.
  void SecureDataConnection();
  void DiscardInput();
  // Runs the steps of one transfer with its end step and the overall failure handler.
  void RunTransfer(TCmdType kind, const std::function<bool()>& steps);
  void EndTransfer(TCmdType kind);
  bool UploadSteps(TFileSource& source, const std::string& name);
  bool DownloadSteps(const std::string& remoteName, const std::string& localFile);
  TSockSession& CreateDataConnection();
  // EPSV or PASV and connect, or listen and PORT or EPRT; false when a
  // handled failure ended the transfer.
  bool OpenDataConnection(TCmdType kind);
  // Asks for the data port: EPSV, or PASV where an IPv4 server does not know
  // EPSV. False when a handled failure ended the transfer.
  bool RequestPassivePort(TCmdType kind, int& port);
  // Listens and tells the server: PORT, or EPRT on IPv6. False as above.
  bool OfferActivePort(TCmdType kind);
  // The request for a data connection; for an upload on a connection that
  // has not asked FEAT yet, FEAT goes in the same write.
  std::string DataRequest(TCmdType kind, const std::string& command);
  // FEAT, once per connection.
  const TServerFeatures& Features();
  // The reply to FEAT, sent already.
  void ReadFeatures();
  // Sends TYPE A again where the client left image type for a check;
  // raises Exception when the server refuses it.
  void RestoreTransferType();
  // After the final reply of an upload: the server's SIZE (and digest) of
  // `name` against what was sent. Raises Exception on a difference.
  void VerifyUpload(const std::string& name, TSentBytes& sent, const TServerFeatures& features);
  void VerifyDigest(const std::string& name, TSentBytes& sent, const TServerFeatures& features);
  // TYPE I and SIZE in one write; the reply to SIZE.
  std::string SizeInImageType(const std::string& name);
  void Note(const std::string& text);
  void RaiseIfCommandPhaseStopped();
  // The final reply after the data moved: 1yz replies are passed over, 2yz
  // is success; false when a handled failure ended the transfer.
  bool ReadFinalReply(TCmdType kind);
  // Reports a refused command: returns false when OnFailure handled it,
  // raises its Refusal otherwise.
  bool FailureReply(TCmdType kind, const std::string& reply);
  // FailureReply, after OnUnSupportedFunction when the server does not know the command.
  bool Refused(TCmdType kind, const std::string& reply);
  // Reports a failed command: returns false when OnFailure handled it, raises `error` otherwise.
  bool Failure(TCmdType kind, const std::exception_ptr& error);
  // FTPException with the reply, or ESockError "Verbindung vom Server beendet"
  // for the empty line of a closed connection.
  static std::exception_ptr Refusal(const std::string& reply);

  std::recursive_mutex transferLock_;
  std::shared_ptr<const TTlsContext> tlsContext_;
  std::unique_ptr<TSockSession> dataConnection_;
  std::int64_t lastReceived_ = 0;
  // Of the current connection: its FEAT, whether it refused EPSV, whether
  // the caller's last TYPE was a binary one, whether the client left it for
  // image type on its own (to be undone before the next transfer), whether
  // it refused SIZE in ASCII mode, and whether its last transfer succeeded.
  std::optional<TServerFeatures> features_;
  bool epsvRefused_ = false;
  bool binaryType_ = false;
  std::string verifiedBy_;
  bool imageTypeForQuery_ = false;
  bool asciiSizeRefused_ = false;
  bool transferConfirmed_ = false;
};

// Raises FTPException when `text` holds CR, LF or NUL, which would end the
// command line early and let the rest pass as another command.
void CheckCommandText(const std::string& text);

}  // namespace ftp
