#include "app/window/main_form.h"
#include "app/run/site_client.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>
#include <cfenv>
#include <cmath>

#include "app/window/app_icon.h"
#include "app/window/read_me_form.h"
#include "app/window/target_state_delegate.h"
#include "app/site/site_config.h"
#include "app/window/handler_guard.h"
#include "platform/locale_format.h"

namespace app {
namespace {

QFont ArialOfHeight(int pixels) {
  QFont font(QStringLiteral("Arial"));
  font.setPixelSize(pixels);
  return font;
}

// The Windows rounding of the DPI scaling: to the nearest integer, halves to even.
int ScaledWidth(int width, int dotsPerInch) {
  const int previous = std::fegetround();
  std::fesetround(FE_TONEAREST);
  const int scaled = static_cast<int>(std::nearbyint(static_cast<double>(width) * dotsPerInch / 96.0));
  std::fesetround(previous);
  return scaled;
}

}  // namespace

TForm1::TForm1(LaunchInfo launch, QWidget* parent)
    : QMainWindow(parent),
      launch_(std::move(launch)),
      dataPaths_(ApplicationFolder(launch_.executableFolder), launch_.appDirWritable),
      TransferLog_(platform::NowText) {
  setWindowTitle(QStringLiteral("ECU-memory container transmission tool"));
  setWindowIcon(ParceloIcon());
  setFont(ArialOfHeight(11));
  CreateControls();
  CreateMenus();
  CreateStatusBar();
  ConnectHandlers();
  CreateComponents();
  helpViewer_ = new TReadMeForm(this);
  helpViewer_->setWindowTitle(QStringLiteral("Parcelo Help"));
  helpViewer_->setModal(false);
  setGeometry(469, 232, 439, 375);
  FormCreate();
}

TForm1::~TForm1() { FormDestroy(); }

void TForm1::SetWindows(QWidget* splash, TOKRightDlg* okRightDlg, TAboutBox* aboutBox, TReadMeForm* readMeForm) {
  splash_ = splash;
  okRightDlg_ = okRightDlg;
  aboutBox_ = aboutBox;
  readMeForm_ = readMeForm;
}

void TForm1::CreateControls() {
  Panel1 = new QWidget(this);
  Panel1->setFont(ArialOfHeight(13));
  setCentralWidget(Panel1);

  Label1 = new QLabel(QStringLiteral("container file"), Panel1);
  ContainerFile = new QLineEdit(Panel1);
  ContainerFile->setWhatsThis(QStringLiteral("help context 4"));
  Button3 = new QPushButton(QStringLiteral("..."), Panel1);
  Button3->setFixedWidth(28);
  Label2 = new QLabel(QStringLiteral("target manufactoring / development"), Panel1);
  TargetListBox = new QListWidget(Panel1);
  TargetListBox->setSelectionMode(QAbstractItemView::ExtendedSelection);
  TargetListBox->setItemDelegate(new TargetStateDelegate(TargetListBox));
  Animate1 = new TAnimate(Panel1);
  Animate1->SetCommonAVI(aviFindFile);
  Animate1->SetStopFrame(23);
  QSizePolicy keepPlace = Animate1->sizePolicy();
  keepPlace.setRetainSizeWhenHidden(true);
  Animate1->setSizePolicy(keepPlace);
  Animate1->hide();
  ckContainer = new QPushButton(QStringLiteral("check &container"), Panel1);
  SendButton = new QPushButton(QStringLiteral("&send ECU memory container"), Panel1);
  SendMail = new QCheckBox(QStringLiteral("&send e-mail"), Panel1);
  SendMail->setChecked(true);
  Button1 = new QPushButton(QStringLiteral("e&xit"), Panel1);

  auto* fileRow = new QHBoxLayout;
  fileRow->addWidget(ContainerFile, 1);
  fileRow->addWidget(Button3);
  auto* commandRow = new QHBoxLayout;
  commandRow->addWidget(ckContainer);
  commandRow->addWidget(SendButton, 1);
  auto* lastRow = new QHBoxLayout;
  lastRow->addWidget(SendMail);
  lastRow->addStretch(1);
  lastRow->addWidget(Button1);

  auto* column = new QVBoxLayout(Panel1);
  column->setContentsMargins(8, 8, 8, 6);
  column->setSpacing(4);
  column->addWidget(Label1);
  column->addLayout(fileRow);
  column->addSpacing(4);
  column->addWidget(Label2);
  column->addWidget(TargetListBox, 1);
  column->addWidget(Animate1, 0, Qt::AlignHCenter);
  column->addLayout(commandRow);
  column->addLayout(lastRow);
}

void TForm1::CreateMenus() {
  Options1 = menuBar()->addMenu(QStringLiteral("&Options"));
  backupfolder1 = Options1->addAction(QStringLiteral("change &backup folder"));
  MenuSendMail = Options1->addAction(QStringLiteral("&send email"));
  MenuSendMail->setCheckable(true);
  MenuSendMail->setChecked(true);
  MenuBackup = Options1->addAction(QStringLiteral("B&ackup Container"));
  MenuBackup->setCheckable(true);
  MenuBackup->setChecked(true);
  MenuParallel = Options1->addAction(QStringLiteral("&parallel sessions..."));

  N1 = menuBar()->addMenu(QStringLiteral("&Help"));
  Help1 = N1->addAction(QStringLiteral("&Help on Parcelo"));
  targetshortname1 = N1->addAction(QStringLiteral("Available &Targets"));
  ecumem = N1->addAction(QStringLiteral("&ECU Memory Container in the Intranet"));
  Readme1 = N1->addAction(QStringLiteral("&Readme"));
  About1 = N1->addAction(QStringLiteral("&About"));

  // On no menu: only its shortcut reaches it.
  HelpContents1 = new QAction(QStringLiteral("I&nhalt"), this);
  HelpContents1->setShortcut(QKeySequence(Qt::Key_F1));
  HelpContents1->setProperty("category", QStringLiteral("Hilfe"));
  addAction(HelpContents1);
}

void TForm1::CreateComponents() {
  site_ = SiteServerFromEnvironment();
  ConfigureSiteClient(FtpClient1, site_, dataPaths_);
  FtpClient1.OnError = [this](ftp::TSockSession& sender, std::uint16_t number, const std::string& text) {
    FtpClient1Error(sender, number, text);
  };
  FtpClient1.OnFailure = [this](bool& handled, ftp::TCmdType kind) { FtpClient1Failure(handled, kind); };
  FtpClient1.OnSuccess = [this](ftp::TCmdType kind) { FtpClient1Success(kind); };
  FtpClient1.OnTransferNote = [this](const std::string& note) { WriteLogLine(note); };
  Parser.setDOMImpl(&Dom);
  Parser2.setDOMImpl(&Dom2);
  // The dictionary lies beside the executable's folder, wherever the program is started from.
  CETRans.SetDictionaryFile(dataPaths_.Resolve("lib/uml.ini"));
}

void TForm1::CreateStatusBar() {
  Status = statusBar();
  Status->setSizeGripEnabled(false);
  statusPanel_ = new QLabel(Status);
  Status->addWidget(statusPanel_, 1);
  // Beside the status text, only while an upload runs.
  uploadProgress_ = new QProgressBar(Status);
  uploadProgress_->setRange(0, 1000);
  uploadProgress_->setFixedWidth(190);
  uploadProgress_->setTextVisible(true);
  uploadProgress_->hide();
  Status->addPermanentWidget(uploadProgress_);
}

// Every control event runs its handler through the error display.
void TForm1::ConnectHandlers() {
  const auto on = [this](auto* sender, auto signal, void (TForm1::*handler)()) {
    connect(sender, signal, this, [this, handler] { Guarded([this, handler] { (this->*handler)(); }); });
  };
  on(Button1, &QPushButton::clicked, &TForm1::Button1Click);
  on(Button3, &QPushButton::clicked, &TForm1::Button3Click);
  on(ckContainer, &QPushButton::clicked, &TForm1::ckContainerClick);
  on(SendButton, &QPushButton::clicked, &TForm1::TargetListBoxDblClick);
  on(TargetListBox, &QListWidget::itemDoubleClicked, &TForm1::TargetListBoxDblClick);
  on(targetshortname1, &QAction::triggered, &TForm1::targetshortname1Click);
  on(SendMail, &QCheckBox::toggled, &TForm1::SendMailClick);
  on(MenuSendMail, &QAction::triggered, &TForm1::MenuSendMailClick);
  on(MenuBackup, &QAction::triggered, &TForm1::MenuBackupClick);
  on(MenuParallel, &QAction::triggered, &TForm1::MenuParallelClick);
  on(backupfolder1, &QAction::triggered, &TForm1::backupfolder1Click);
  on(HelpContents1, &QAction::triggered, &TForm1::HelpContents1Execute);
  on(Help1, &QAction::triggered, &TForm1::Help1Click);
  on(ecumem, &QAction::triggered, &TForm1::ecumemClick);
  on(Readme1, &QAction::triggered, &TForm1::Readme1Click);
  on(About1, &QAction::triggered, &TForm1::About1Click);

  const auto dropped = [this](TFileDropper& sender, const std::string& path) {
    Guarded([&] { FileDropper3Drop(sender, path); });
  };
  FileDropper3 = new TFileDropper(ContainerFile, dropped);
  FileDropper1 = new TFileDropper(Panel1, dropped);
}

BusyGuard TForm1::Busy() {
  // The mail switch stays out: the send itself enables and disables it.
  return BusyGuard(busy_, {ContainerFile, Button3, TargetListBox, ckContainer, SendButton},
                   {backupfolder1, MenuBackup, MenuParallel});
}

void TForm1::FormCreate() { resize(ScaledWidth(width(), logicalDpiX()), height()); }

bool TForm1::event(QEvent* event) {
  if (event->type() == QEvent::WindowActivate) Guarded([this] { FormActivate(); });
  return QMainWindow::event(event);
}

void TForm1::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  // Without a window manager a shown window is never activated; the first
  // show counts as the first activation then.
  QTimer::singleShot(0, this, [this] { Guarded([this] { FormActivate(); }); });
}

void TForm1::closeEvent(QCloseEvent* event) {
  Guarded([this] { Button1Click(); });
  event->accept();
}

}  // namespace app
