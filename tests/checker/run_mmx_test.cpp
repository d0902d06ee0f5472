#include "checker/run_mmx.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <regex>

#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

// An application folder laid out like the installed one, with the site's
// script, rules, catalog and DTDs, made the working directory as the program
// does before it calls the checker.
class RunMMxTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* source_tree = std::getenv("PARCELO_SOURCE_TREE");
    ASSERT_NE(source_tree, nullptr);
    site = fs::path(source_tree) / "site";
    fs::create_directories(app_dir.Path() / "lib");
    fs::copy(site / "lib" / "checkit.mmx", app_dir.Path() / "lib");
    fs::copy(site / "lib" / "checkit.mck", app_dir.Path() / "lib");
    fs::copy(site / "dtd", app_dir.Path() / "dtd");
    previous_directory = fs::current_path();
    fs::current_path(app_dir.Path());
  }
  void TearDown() override { fs::current_path(previous_directory); }

  static std::string Command(const std::string& c) {
    return " -X lib/checkit.mmx -A catalog dtd/catalog -F sgm -S " + c + " -A errfile " + c + ".err" + " logfile " +
           c + "-log.html" + " html yes" + " rules lib/checkit.mck";
  }
  static int Check(const std::string& container) { return RunMMx(Command(container).c_str()); }

  // Copies a site sample into the application folder; returns its relative path.
  std::string Sample(const std::string& name) {
    fs::create_directories(app_dir.Path() / "in");
    fs::copy_file(site / "samples" / name, app_dir.Path() / "in" / name);
    return "in/" + name;
  }
  std::string Container(const std::string& name, std::string_view bytes) {
    app_dir.Write(name, bytes);
    return name;
  }
  static std::string Err(const std::string& c) { return test::ReadFile(c + ".err"); }
  static std::string Log(const std::string& c) { return test::ReadFile(c + "-log.html"); }

  // Checks `c`, which must give a log; returns its error file.
  static std::string CheckedErr(const std::string& c) {
    EXPECT_EQ(Check(c), 0) << c;
    EXPECT_TRUE(fs::exists(c + "-log.html")) << c;
    return Err(c);
  }

  test::TempDir app_dir;
  fs::path site;
  fs::path previous_directory;
};

#define EXPECT_HAS(text, part) \
  EXPECT_NE((text).find(part), std::string::npos) << "missing: " << (part) << "\nin:\n" << (text)

TEST_F(RunMMxTest, TheValidSamplesPassWithoutFindings) {
  for (const char* name : {"valid-1.2.cnt", "valid-1.1.cnt"}) {
    const std::string c = Sample(name);
    EXPECT_EQ(CheckedErr(c), "0 errors, 0 warnings\n");
    const std::string log = Log(c);
    EXPECT_HAS(log, "Result: passed");
    EXPECT_HAS(log, "<h2>Findings</h2>\n<p>None.</p>");
    EXPECT_HAS(log, "15 of 15 rules of lib/checkit.mck applied");
  }
  EXPECT_HAS(Log("in/valid-1.2.cnt"), "<td>dtd/ecum0102.dtd</td>");
  EXPECT_HAS(Log("in/valid-1.1.cnt"), "<td>dtd/ecum0101.dtd</td>");
  EXPECT_HAS(Log("in/valid-1.2.cnt"), "<td>windows-1252</td>");
}

TEST_F(RunMMxTest, APreparedContainerWithSystemIdentifierAndEntityReferencesIsChecked) {
  const std::string c = Container("prepared.cnt",
                                  "<!DOCTYPE ecu-memory-container PUBLIC \"-//Korvath//DTD ECU Memory Container "
                                  "1.2//EN\" \"ecum0102.dtd\">\r\n"
                                  "<ecu-memory-container><project-info><project-name>K416</project-name>\r\n"
                                  "<ecu-ident>8W0</ecu-ident><sw-ident>M&uuml;ller 1</sw-ident>\r\n"
                                  "<supplier>M&uuml;ller GmbH</supplier><date>2024-03-18</date>\r\n"
                                  "<EMAIL>a@b.example</EMAIL></project-info>\r\n"
                                  "<memory-block address=\"0x0\" length=\"0x1\"><data>FF</data></memory-block>\r\n"
                                  "</ecu-memory-container>\r\n");
  EXPECT_EQ(CheckedErr(c), "prepared.cnt:3: error: sw-ident \"M\xC3\xBCller 1\" names the file on the receiving site "
                           "and may hold only letters, digits and _ . + -.\n1 error, 0 warnings\n");
  EXPECT_HAS(Log(c), "<td>dtd/ecum0102.dtd</td>");
}

TEST_F(RunMMxTest, ADtdInvalidContainerGivesTheValidityErrorsAtTheElementsLines) {
  const std::string c = Sample("dtd-invalid.cnt");
  const std::string err = CheckedErr(c);
  EXPECT_HAS(err, "in/dtd-invalid.cnt:3: error: Element project-info content does not follow the DTD");
  EXPECT_HAS(err, "in/dtd-invalid.cnt:10: error: Element memory-block does not carry attribute address");
  const std::string log = Log(c);
  EXPECT_HAS(log, "Result: failed");
  EXPECT_HAS(log, "<tr><th>Valid against the DTD</th><td><span class=\"error\">failed</span>");
  EXPECT_HAS(log, "<tr class=\"error\"><td>3</td><td>error</td><td>DTD</td>");
}

TEST_F(RunMMxTest, ARuleBreakingContainerGivesEachFindingWithItsLine) {
  const std::string c = Sample("breaks-rules.cnt");
  const std::string err = CheckedErr(c);
  EXPECT_HAS(err, c + ":6: error: sw-ident \"BCM K416 0413\" names the file");
  EXPECT_HAS(err, c + ":8: warning: The date \"18.03.2024\" is not written as YYYY-MM-DD.");
  EXPECT_HAS(err, c + ":9: error: \"juergen.mueller at mueller-gmbh\" does not look like a mail address.");
  EXPECT_HAS(err, c + ":15: error: The data line \"0A1B2C3D4E5F6071829\" is not an even number");
  EXPECT_HAS(err, c + ":18: error: Block \"application\" holds 64 bytes of data, but its length says 0x30.");
  EXPECT_HAS(err, c + ":18: warning: Block \"application\" at 0x00000020 overlaps the block before it");
  EXPECT_HAS(err, "5 errors, 2 warnings\n");
  const std::string log = Log(c);
  EXPECT_HAS(log, "Result: failed &mdash; 5 errors, 2 warnings");
  EXPECT_HAS(log, "<tr><th>Valid against the DTD</th><td><span class=\"passed\">passed</span>");
  EXPECT_HAS(log, "&quot;juergen.mueller at mueller-gmbh&quot;");
  // The summary comes before the findings.
  EXPECT_LT(log.find("<h2>Summary</h2>"), log.find("<h2>Findings</h2>"));
}

TEST_F(RunMMxTest, AMalformedContainerSaysWhereItBreaks) {
  const std::string c = Sample("malformed.cnt");
  EXPECT_HAS(CheckedErr(c), c + ":17: error: Opening and ending tag mismatch: data line 17 and dat");
  const std::string log = Log(c);
  EXPECT_HAS(log, "<tr><th>Well-formed</th><td><span class=\"error\">failed</span>");
  EXPECT_HAS(log, "<tr><th>Site rules</th><td><span class=\"none\">not checked</span>");
}

TEST_F(RunMMxTest, ContainersThatAreNoTextGiveALogThatSaysSo) {
  fs::create_directories("folder.cnt");
  const struct {
    std::string container;
    std::string message;
  } cases[] = {
      {"missing.cnt", "The container missing.cnt does not exist."},
      {Container("empty.cnt", ""), "The container empty.cnt is empty."},
      {Container("blank.cnt", "  \r\n\r\n"), "The container blank.cnt is empty."},
      {Sample("binary.zip"), "is not a text file but a ZIP archive"},
      {Container("random.bin", std::string("\x13\x00\xFE\x7F\x00\x01", 6)), "is not a text file but binary data"},
      {"folder.cnt", "The container folder.cnt cannot be read: it is a folder."},
  };
  for (const auto& [container, message] : cases) {
    const std::string err = CheckedErr(container);
    EXPECT_HAS(err, message);
    EXPECT_HAS(err, "1 error, 0 warnings");
    EXPECT_HAS(Log(container), "<tr><th>Readable</th><td><span class=\"error\">failed</span>");
  }
}

TEST_F(RunMMxTest, BlanksAndOptionWordsInThePathDoNotConfuseTheChecker) {
  fs::create_directories("ECU data -A errfile x logfile y html yes rules z");
  const std::string c = "ECU data -A errfile x logfile y html yes rules z/K416 release.cnt";
  fs::copy_file(site / "samples" / "valid-1.2.cnt", c);
  EXPECT_EQ(CheckedErr(c), "0 errors, 0 warnings\n");
}

TEST_F(RunMMxTest, AnAbsolutePathIsCheckedWhereItIs) {
  const std::string c = (app_dir.Path() / Sample("valid-1.1.cnt")).string();
  EXPECT_EQ(CheckedErr(c), "0 errors, 0 warnings\n");
  EXPECT_HAS(Log(c), "<td>" + c + "</td>");
}

TEST_F(RunMMxTest, GivesNoLogAndANonZeroResultWhenNoLogCanBeWritten) {
  EXPECT_EQ(RunMMx(nullptr), kMmxNoLogFile);
  EXPECT_EQ(RunMMx(""), kMmxNoLogFile);
  EXPECT_EQ(RunMMx(" -X lib/checkit.mmx -S a.cnt -A errfile a.cnt.err"), kMmxNoLogFile);
  EXPECT_EQ(Check("no such folder/x.cnt"), kMmxLogNotWritten);
  EXPECT_FALSE(fs::exists("no such folder"));
}

TEST_F(RunMMxTest, AnUnwritableErrorFileIsReportedInTheLog) {
  const std::string c = Sample("valid-1.2.cnt");
  fs::create_directories(c + ".err");
  EXPECT_EQ(Check(c), 0);
  EXPECT_HAS(Log(c), "The error file " + c + ".err cannot be written");
}

TEST_F(RunMMxTest, ADtdUnknownToTheCatalogGivesOneFindingInsteadOfOnePerElement) {
  const std::string c = Container("other.cnt", "<!DOCTYPE report PUBLIC \"-//Other//DTD Report//EN\">\n"
                                               "<report><a/><b/><c/></report>\n");
  const std::string err = CheckedErr(c);
  EXPECT_HAS(err, "other.cnt: error: The DTD \"-//Other//DTD Report//EN\" is not in the catalog dtd/catalog, so the "
                  "container could not be validated.");
  EXPECT_EQ(err.find("No declaration"), std::string::npos) << err;
  EXPECT_HAS(err, "other.cnt:2: error: The root element is <report>");
}

TEST_F(RunMMxTest, AContainerWithoutDocumentTypeIsReportedAsNotValidated) {
  const std::string c = Container("bare.xml", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ecu-memory-container/>\n");
  EXPECT_HAS(CheckedErr(c), "error: The container has no document type declaration, so it could not be validated.");
}

TEST_F(RunMMxTest, MissingSiteFilesAreReportedAndTheCheckStillRuns) {
  fs::remove("lib/checkit.mck");
  fs::remove("lib/checkit.mmx");
  fs::remove("dtd/catalog");
  const std::string c = Sample("valid-1.2.cnt");
  const std::string err = CheckedErr(c);
  EXPECT_HAS(err, "warning: lib/checkit.mmx: the script cannot be read; the default settings are used");
  EXPECT_HAS(err, "error: The catalog dtd/catalog cannot be read, so no DTD can be found.");
  EXPECT_HAS(err, "error: The rule file lib/checkit.mck cannot be read; no rules were applied.");
  EXPECT_HAS(Log(c), "<tr><th>Well-formed</th><td><span class=\"passed\">passed</span>");
}

TEST_F(RunMMxTest, TheScriptLimitsTheListedFindingsButNotTheCount) {
  app_dir.Write("lib/checkit.mmx", "max-findings = 2\n");
  std::string text = "<!DOCTYPE ecu-memory-container PUBLIC \"-//Korvath//DTD ECU Memory Container 1.1//EN\">\n"
                     "<ecu-memory-container><project-info><project-name>p</project-name><ecu-ident>e</ecu-ident>"
                     "<sw-ident>s</sw-ident><supplier>x</supplier><date>2024-01-01</date><EMAIL>a@b.example</EMAIL>"
                     "</project-info><memory-block address=\"0x0\" length=\"0x5\">\n";
  for (int i = 0; i < 5; ++i) text += "<data>0</data>\n";
  text += "</memory-block></ecu-memory-container>\n";
  const std::string c = Container("many.cnt", text);
  const std::string err = CheckedErr(c);
  EXPECT_HAS(err, "Only the first 2 of 6 findings are listed.\n6 errors, 0 warnings\n");
  EXPECT_HAS(Log(c), "<p>Only the first 2 of 6 findings are listed.</p>");
}

TEST_F(RunMMxTest, TextFromTheContainerIsEscapedInTheLog) {
  const std::string c = Container("escape.cnt",
                                  "<!DOCTYPE ecu-memory-container PUBLIC \"-//Korvath//DTD ECU Memory Container "
                                  "1.1//EN\">\n<ecu-memory-container><project-info><project-name>p</project-name>"
                                  "<ecu-ident>e</ecu-ident><sw-ident>s</sw-ident><supplier>x</supplier>"
                                  "<date>2024-01-01</date><EMAIL>&lt;script&gt;@x</EMAIL></project-info>"
                                  "<memory-block address=\"0x0\" length=\"0x1\"><data>00</data></memory-block>"
                                  "</ecu-memory-container>\n");
  EXPECT_EQ(Check(c), 0);
  const std::string log = Log(c);
  EXPECT_HAS(log, "&quot;&lt;script&gt;@x&quot; does not look like a mail address.");
  EXPECT_EQ(log.find("<script>"), std::string::npos);
}

TEST_F(RunMMxTest, DamagedContainersNeverCrashTheChecker) {
  const std::string original = test::ReadFile(site / "samples" / "valid-1.2.cnt");
  std::mt19937 random(4711);
  const std::string noise = std::string("<>&;\"'/![]?=\0\xFF\xC3-", 17);
  for (int round = 0; round < 200; ++round) {
    std::string damaged = original;
    const int changes = 1 + static_cast<int>(random() % 8);
    for (int i = 0; i < changes && !damaged.empty(); ++i) {
      const std::size_t at = random() % damaged.size();
      switch (random() % 4) {
        case 0: damaged[at] = noise[random() % noise.size()]; break;
        case 1: damaged.insert(at, 1, noise[random() % noise.size()]); break;
        case 2: damaged.erase(at, 1 + random() % 40); break;
        case 3: damaged.resize(at); break;
      }
    }
    const std::string c = Container("damaged.cnt", damaged);
    ASSERT_EQ(Check(c), 0) << "round " << round;
    ASSERT_TRUE(std::regex_search(Err(c), std::regex("[0-9]+ errors?, [0-9]+ warnings?\n$"))) << "round " << round;
  }
}

TEST(MMxLibrary, ExportsRunMMxAndNothingElse) {
  const char* build_tree = std::getenv("PARCELO_BUILD_TREE");
  ASSERT_NE(build_tree, nullptr);
  const std::string command = "nm -D --defined-only '" + std::string(build_tree) + "/lib/libMMx.so'";
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), &pclose);
  ASSERT_TRUE(pipe);
  std::string symbols;
  char line[512];
  while (std::fgets(line, sizeof line, pipe.get()) != nullptr) {
    std::string entry(line);
    symbols += entry.substr(entry.rfind(' ') + 1);
  }
  EXPECT_EQ(symbols, "RunMMx\n");
}

}  // namespace
