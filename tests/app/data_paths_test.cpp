// A system-wide install: AppDir is not the user's to write, so the fetched
// site files and the default backup folder live per user, and data files are
// looked for there first.
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTextBrowser>

#include "app/site/data_paths.h"
#include "app/window/read_me_form.h"
#include "site_fixture.h"
#include "support/environment.h"

namespace {

class ScopedEnvironment {
 public:
  ScopedEnvironment(const char* name, const std::string& value) : name_(name) { setenv(name, value.c_str(), 1); }
  ~ScopedEnvironment() { unsetenv(name_); }

 private:
  const char* name_;
};

TEST(DataPaths, AWritableAppDirHoldsEverything) {
  test::TempDir appDir;
  test::WriteFile(appDir / "lib/uml.ini", "x");
  const app::DataPaths paths(appDir.Path(), true);
  EXPECT_FALSE(paths.PerUser());
  EXPECT_EQ(paths.WritableFolder(), appDir.Path());
  EXPECT_EQ(paths.Writable("lib/ftpsend.xml"), (appDir / "lib/ftpsend.xml").string());
  EXPECT_EQ(paths.Resolve("lib/uml.ini"), (appDir / "lib/uml.ini").string());
  EXPECT_EQ(paths.FromWritableFolder("lib/checkit.mmx"), "lib/checkit.mmx");
}

TEST(DataPaths, PerUserTheUsersCopyComesFirstThenAppDir) {
  test::TempDir appDir, data;
  const ScopedEnvironment dataHome("XDG_DATA_HOME", data.Path().string());
  const app::DataPaths paths(appDir.Path(), false);
  const auto own = data / "Parcelo";
  test::WriteFile(own / "lib/uml.ini", "own");
  EXPECT_TRUE(paths.PerUser());
  EXPECT_EQ(paths.WritableFolder(), own);
  EXPECT_EQ(paths.Writable("dtd/ecum0102.dtd"), (own / "dtd/ecum0102.dtd").string());
  EXPECT_EQ(paths.Resolve("lib/uml.ini"), (own / "lib/uml.ini").string());
  EXPECT_EQ(paths.Resolve("doc/help/index.html"), (appDir / "doc/help/index.html").string());
  EXPECT_EQ(paths.FromWritableFolder("lib/uml.ini"), "lib/uml.ini");
  EXPECT_EQ(paths.FromWritableFolder("lib/checkit.mmx"), (appDir / "lib/checkit.mmx").string());
  test::WriteFile(appDir / "lib/uml.ini", "shipped");
  EXPECT_EQ(paths.Copies("lib/uml.ini"),
            (std::vector<std::string>{(appDir / "lib/uml.ini").string(), (own / "lib/uml.ini").string()}));
}

TEST(DataPaths, WithoutXdgDataHomeTheFolderIsBelowHome) {
  const char* home = std::getenv("HOME");
  unsetenv("XDG_DATA_HOME");
  EXPECT_EQ(app::PerUserDataFolder(), std::filesystem::path(home ? home : "") / ".local/share/Parcelo");
}

TEST(DataPaths, CompletingAFolderAddsWhatTheUserLacksAndKeepsWhatWasFetched) {
  test::TempDir appDir, data;
  const ScopedEnvironment dataHome("XDG_DATA_HOME", data.Path().string());
  test::WriteFile(appDir / "dtd/catalog", "shipped catalog");
  test::WriteFile(appDir / "dtd/ecum0102.dtd", "shipped");
  test::WriteFile(data / "Parcelo/dtd/ecum0102.dtd", "fetched");
  app::DataPaths(appDir.Path(), false).CompleteOwnFolder("dtd");
  EXPECT_EQ(test::ReadFile(data / "Parcelo/dtd/catalog"), "shipped catalog");
  EXPECT_EQ(test::ReadFile(data / "Parcelo/dtd/ecum0102.dtd"), "fetched");
}

class PerUserSite : public test::SiteFixture {
 protected:
  PerUserSite() { appDirWritable = false; }
  std::filesystem::path Own() const { return root / "data/Parcelo"; }

  ScopedEnvironment dataHome{"XDG_DATA_HOME", (root / "data").string()};
};

TEST_F(PerUserSite, TheRefreshFetchesIntoTheUsersFolderAndAppDirStaysAsShipped) {
  const std::string shippedList = test::ReadFile(appDir() / "lib/ftpsend.xml");
  Start();
  for (const auto& [own, site] : {std::pair{"lib/ftpsend.xml", "ftpsend.xml"}, {"lib/checkit.mck", "checkit.mck"},
                                  {"dtd/ecum0102.dtd", "ecum0102.DTD"}}) {
    std::string fetched = test::ReadFile(Own() / own);
    std::erase(fetched, '\r');
    EXPECT_EQ(fetched, test::ReadFile(SiteDir() / site)) << own;
  }
  EXPECT_EQ(ListLines(), (std::vector<std::string>{"Plant 1", "Development lab"}));
  EXPECT_EQ(test::ReadFile(appDir() / "lib/ftpsend.xml"), shippedList);
  EXPECT_EQ(form().BackupFolderPath(), (Own() / "backup").string());
  EXPECT_TRUE(std::filesystem::exists(Own() / "backup/ParceloLog.txt"));
  EXPECT_FALSE(std::filesystem::exists(appDir() / "backup"));
}

TEST_F(PerUserSite, TheShippedListServesUntilTheFirstRefresh) {
  StopServer();
  test::WriteFile(appDir() / "lib/ftpsend.xml", TargetList({{"SHIP", "Shipped list", false}}));
  Start();
  EXPECT_EQ(ListLines(), std::vector<std::string>{"Shipped list"});
  EXPECT_EQ(dialogs->MessageTexts(), std::vector<std::string>{"Error in FTP area"});
}

TEST_F(PerUserSite, TheReadmeIsFetchedAndShownFromTheUsersFolder) {
  PresetSettings([](auto& registry) { registry.WriteString("ReadmeDate", "00.00.0000"); });
  CreateWindows();
  test::WhenShown(windows->readMeForm.get(), [](QDialog* viewer) { viewer->accept(); });
  Activate();
  EXPECT_EQ(test::ReadFile(Own() / "doc/Readme.html"), test::ReadFile(SiteDir() / "Readme.html"));
  EXPECT_EQ(windows->readMeForm->Location(), (Own() / "doc/Readme.html").string());
}

TEST_F(PerUserSite, TheDictionaryAndTheHelpAreTheUsersWhereTheUserHasThem) {
  test::WriteFile(Own() / "lib/uml.ini", "\xE4=&auml;\n");
  Start();
  EXPECT_EQ(form().CETRans.DictionaryFile(), (Own() / "lib/uml.ini").string());
  form().Help1->trigger();
  EXPECT_EQ(form().HelpViewer().Location(), (appDir() / "doc/help/index.html").string());
}

TEST_F(PerUserSite, TheCheckUsesTheFetchedRulesAndDtd) {
  test::WriteFile(SiteDir() / "checkit.mck", "warning ; /* ; false() ; Checked by the fetched rules.\n");
  Start();
  const auto container = root / "work/valid-1.2.cnt";
  std::filesystem::create_directories(container.parent_path());
  std::filesystem::copy_file(appDir() / "samples/valid-1.2.cnt", container);
  form().ContainerFile->setText(QString::fromStdString(container.string()));
  QString log;
  test::WhenShown(windows->readMeForm.get(), [&](QDialog* viewer) {
    log = windows->readMeForm->WebBrowser1->toPlainText();
    viewer->accept();
  });
  form().ckContainer->click();
  // The check runs in the user's folder: its dtd/ holds the fetched DTD.
  EXPECT_EQ(std::filesystem::current_path(), Own());
  EXPECT_TRUE(log.contains("\nDTD\ndtd/ecum0102.dtd\n")) << log.toStdString();
  EXPECT_TRUE(log.contains("Checked by the fetched rules.")) << log.toStdString();
  EXPECT_TRUE(std::filesystem::exists(Own() / "dtd/catalog"));
}

}  // namespace
