#include <QLineEdit>
#include <QPushButton>
#include <QTextBrowser>

#include "app_fixture.h"
#include "support/modal.h"

namespace {

using test::AppFixture;

TEST(CheckerCommand, IsBuiltExactlyWithTheContainerUnquoted) {
  EXPECT_EQ(app::TForm1::CheckerCommand("/data/x.cnt"),
            " -X lib/checkit.mmx -A catalog dtd/catalog -F sgm -S /data/x.cnt -A errfile /data/x.cnt.err "
            "logfile /data/x.cnt-log.html html yes rules lib/checkit.mck");
  EXPECT_EQ(app::TForm1::CheckerCommand("/my data/x.cnt"),
            " -X lib/checkit.mmx -A catalog dtd/catalog -F sgm -S /my data/x.cnt -A errfile /my data/x.cnt.err "
            "logfile /my data/x.cnt-log.html html yes rules lib/checkit.mck");
}

class ContainerCheck : public AppFixture {
 protected:
  // Presses "check container" and returns the viewer's caption and text while it shows the log.
  std::pair<QString, QString> CheckShowingLog() {
    std::pair<QString, QString> shown;
    test::WhenShown(windows->readMeForm.get(), [&](QDialog* viewer) {
      shown = {viewer->windowTitle(), windows->readMeForm->WebBrowser1->toPlainText()};
      viewer->accept();
    });
    form().ckContainer->click();
    return shown;
  }
};

TEST_F(ContainerCheck, AValidSampleShowsItsLogUnderTheFileName) {
  Start();
  const auto container = root / "my containers/valid-1.2.cnt";
  std::filesystem::create_directories(container.parent_path());
  std::filesystem::copy_file(appDir() / "samples/valid-1.2.cnt", container);
  form().ContainerFile->setText(QString::fromStdString(container.string()));
  const QString before = windows->readMeForm->windowTitle();
  const auto [caption, text] = CheckShowingLog();
  EXPECT_EQ(caption, "Logfile of valid-1.2.cnt");
  EXPECT_FALSE(text.isEmpty());
  EXPECT_EQ(windows->readMeForm->windowTitle(), before);
  EXPECT_EQ(form().StatusText(), "ECU Memory Container checked");
  EXPECT_FALSE(form().Animate1->isVisible());
  EXPECT_TRUE(std::filesystem::exists(container.string() + "-log.html"));
  EXPECT_TRUE(std::filesystem::exists(container.string() + ".err"));
  EXPECT_EQ(std::filesystem::current_path(), appDir());
}

TEST_F(ContainerCheck, ARelativePathIsTheCheckersAndTheViewersInAppDir) {
  Start();
  form().ContainerFile->setText("samples/breaks-rules.cnt");
  const auto [caption, text] = CheckShowingLog();
  EXPECT_EQ(caption, "Logfile of breaks-rules.cnt");
  EXPECT_TRUE(std::filesystem::exists(appDir() / "samples/breaks-rules.cnt-log.html"));
  EXPECT_EQ(windows->readMeForm->Location(), test::Native(appDir() / "samples/breaks-rules.cnt-log.html"));
}

TEST_F(ContainerCheck, CheckingTwiceShowsTheNewLogEachTime) {
  Start();
  const auto container = appDir() / "samples/changing.cnt";
  std::filesystem::copy_file(appDir() / "samples/valid-1.2.cnt", container);
  form().ContainerFile->setText(QString::fromStdString(container.string()));
  const QString first = CheckShowingLog().second;
  std::filesystem::remove(container);
  std::filesystem::copy_file(appDir() / "samples/malformed.cnt", container);
  const QString second = CheckShowingLog().second;
  EXPECT_NE(first, second);
  EXPECT_EQ(windows->readMeForm->windowTitle(), "Readme");
}

TEST_F(ContainerCheck, WithoutALogNothingIsShownAndNoMessage) {
  Start();
  bool viewerShown = false;
  test::WhenShown(windows->readMeForm.get(), [&](QDialog* viewer) {
    viewerShown = true;
    viewer->reject();
  }, 300);
  // The log would go into a folder that does not exist: the checker cannot write it.
  form().ContainerFile->setText(QString::fromStdString((root / "no such folder/x.cnt").string()));
  const auto boxesBefore = dialogs->shown.size();
  form().ckContainer->click();
  EXPECT_FALSE(viewerShown);
  EXPECT_EQ(dialogs->shown.size(), boxesBefore);
  EXPECT_EQ(form().StatusText(), "ECU Memory Container checked");
}

}  // namespace
