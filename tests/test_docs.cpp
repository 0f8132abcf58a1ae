// The documentation is executable: every failure that docs/failures.md lists is
// run here, and the README's example case and report layout are checked.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include <sstream>
#include <string>
#include <vector>

#include "support.h"

using testsupport::read_file;
using testsupport::TempDir;
using testsupport::write_file;

namespace {

struct Entry {
  std::string title;
  bool has_case = false;
  std::string case_text;
  std::vector<std::string> setup, err_lines, files;
};

// Splits the page into entries: "## title" then fenced blocks case/setup/stderr/files.
// Setup lines: "dir NAME", "readonly NAME", "arg TEXT" (a command-line argument),
// "fsize BYTES" (a limit on the size of the files the run writes), "fifo NAME",
// "link NAME TARGET" (a symbolic link), "pad LINE COUNT" (COUNT zeros before the
// value of that line of the case file).
std::vector<Entry> parse(const std::string& page) {
  std::vector<Entry> entries;
  std::istringstream in(page);
  std::string line, block;
  std::vector<std::string>* lines = nullptr;
  while (std::getline(in, line)) {
    if (line.rfind("## ", 0) == 0) {
      entries.emplace_back();
      entries.back().title = line.substr(3);
      continue;
    }
    if (entries.empty()) continue;
    Entry& e = entries.back();
    if (block.empty() && line.rfind("```", 0) == 0 && line.size() > 3) {
      block = line.substr(3);
      if (block == "case") e.has_case = true;
      lines = block == "setup" ? &e.setup : block == "stderr" ? &e.err_lines : block == "files" ? &e.files : nullptr;
      continue;
    }
    if (!block.empty() && line == "```") {
      block.clear();
      continue;
    }
    if (block == "case")
      e.case_text += line + "\n";
    else if (lines != nullptr && !block.empty())
      lines->push_back(line);
  }
  return entries;
}

std::size_t records(const std::string& s) {
  std::size_t n = 0;
  for (char c : s) n += c == '\n';
  return n;
}

}  // namespace

TEST(DocumentedFailures, EveryEntryEndsAsTheDocumentSays) {
  std::vector<Entry> entries = parse(read_file(std::string(CALOR2D_SOURCE_DIR) + "/docs/failures.md"));
  ASSERT_GE(entries.size(), 15u);
  for (const Entry& e : entries) {
    SCOPED_TRACE(e.title);
    // Linux devices, and read-only files where the system lets them be written
    // (root under Wine), cannot be set up everywhere.
    bool linux_device = e.case_text.find("/dev/") != std::string::npos;
    bool read_only = false, posix_only = false;
    for (const std::string& s : e.setup) {
      read_only = read_only || s.rfind("readonly ", 0) == 0;
      posix_only = posix_only || s.rfind("fsize ", 0) == 0 || s.rfind("fifo ", 0) == 0 || s.rfind("link ", 0) == 0;
    }
    if (((linux_device || posix_only) && testsupport::windows()) || (read_only && !testsupport::read_only_files_hold()))
      continue;
    TempDir dir;
    ::chmod(dir.path().c_str(), 0777);
    std::string case_text = e.case_text;
    for (const std::string& s : e.setup) {
      std::istringstream words(s);
      std::string what;
      std::size_t line = 0, count = 0;
      if (!(words >> what >> line >> count) || what != "pad") continue;
      std::size_t at = 0;
      for (std::size_t l = 1; l < line; ++l) at = case_text.find('\n', at) + 1;
      case_text.insert(at, count, '0');
    }
    if (e.has_case) write_file(dir.file("entrada_geral.ent"), case_text);
    bool as_nobody = false;
    unsigned long long fsize = 0;
    std::vector<std::string> args;
    std::string readonly_before;
    for (const std::string& s : e.setup) {
      std::string what = s.substr(0, s.find(' ')), name = s.substr(s.find(' ') + 1);
      if (what == "dir") {
        ::mkdir(dir.file(name).c_str(), 0755);
      } else if (what == "readonly") {
        readonly_before = "older report\r\n";
        write_file(dir.file(name), readonly_before);
        ::chmod(dir.file(name).c_str(), 0444);
        as_nobody = geteuid() == 0;  // root would ignore the permission bits
      } else if (what == "arg") {
        args.push_back(name);
      } else if (what == "fsize") {
        fsize = std::stoull(name);
#if !defined(_WIN32)
      } else if (what == "fifo") {
        ASSERT_EQ(::mkfifo(dir.file(name).c_str(), 0644), 0);
      } else if (what == "link") {
        std::string link = name.substr(0, name.find(' ')), target = name.substr(name.find(' ') + 1);
        ASSERT_EQ(::symlink(target.c_str(), dir.file(link).c_str()), 0);
#endif
      } else if (what == "pad") {
        // applied to the case file above
      } else {
        FAIL() << "unknown setup " << s;
      }
    }
    testsupport::RunOptions bounded;  // a FIFO or a device must not hang the suite
    testsupport::RunResult r = as_nobody    ? testsupport::run_as_nobody(dir.path())
                               : fsize > 0  ? testsupport::run_with_file_size_limit(dir.path(), fsize)
                               : posix_only ? testsupport::run_calor2d_bounded(dir.path(), bounded)
                                            : testsupport::run_calor2d(dir.path(), args);
    std::string expected;
    for (const std::string& l : e.err_lines) expected += l + "\r\n";
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, expected);
    for (const std::string& f : e.files) {
      std::string name = f.substr(0, f.find(':')), state = f.substr(f.find(':') + 2);
      std::string path = dir.file(name);
      if (state == "absent") {
        EXPECT_FALSE(testsupport::file_exists(path)) << name;
      } else if (state == "empty") {
        EXPECT_TRUE(testsupport::file_exists(path)) << name;
        EXPECT_EQ(read_file(path), "") << name;
      } else if (state == "unchanged") {
        EXPECT_EQ(read_file(path), name == "entrada_geral.ent" ? e.case_text : readonly_before) << name;
      } else if (state.find(" bytes") != std::string::npos) {
        EXPECT_EQ(read_file(path).size(), std::stoul(state)) << name;
      } else if (state.find(" records") != std::string::npos) {
        EXPECT_EQ(records(read_file(path)), std::stoul(state)) << name;
      } else {
        FAIL() << "unknown file state " << f;
      }
    }
  }
}

TEST(Readme, ExampleCaseIsTheBundledOneAndItsSampleReportIsWhatTheProgramWrites) {
  std::string readme = read_file(std::string(CALOR2D_SOURCE_DIR) + "/README.md");
  std::string example = read_file(std::string(CALOR2D_EXAMPLES) + "/entrada_geral.ent");
  // The case file shown in the README, indented by four blanks.
  std::istringstream lines(example);
  std::string line;
  while (std::getline(lines, line)) EXPECT_NE(readme.find("    " + line + "\n"), std::string::npos) << line;

  TempDir dir;
  write_file(dir.file("entrada_geral.ent"), example);
  testsupport::RunResult r = testsupport::run_calor2d(dir.path());
  ASSERT_EQ(r.status, 0) << r.err;
  std::string report = read_file(dir.file("resultado.txt"));
  // The README shows the report as UTF-8 without CRs, up to the processing time's value.
  std::string shown;
  for (std::size_t i = 0; i < report.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(report[i]);
    if (c == '\r') continue;
    if (c >= 0x80) {
      shown += static_cast<char>(0xC0 | (c >> 6));
      shown += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      shown += static_cast<char>(c);
    }
  }
  std::string without_time = shown.substr(0, shown.rfind("Tempo de processamento"));
  EXPECT_NE(readme.find(without_time), std::string::npos) << "README sample differs from the program's report";
}

namespace {

// The indented command lines of a README section.
std::vector<std::string> commands_of(const std::string& readme, const std::string& section) {
  std::vector<std::string> out;
  std::size_t start = readme.find("\n## " + section + "\n");
  if (start == std::string::npos) return out;
  std::size_t end = readme.find("\n## ", start + 1);
  std::istringstream in(readme.substr(start, end - start));
  for (std::string line; std::getline(in, line);)
    if (line.rfind("    cmake ", 0) == 0) out.push_back(line.substr(4));
  return out;
}

}  // namespace

TEST(Readme, SetUpCommandsAreWhatCiRunsAndTheExampleRunsWithoutTheEditor) {
  std::string readme = read_file(std::string(CALOR2D_SOURCE_DIR) + "/README.md");
  std::string ci = read_file(std::string(CALOR2D_SOURCE_DIR) + "/.ci/run");
  std::vector<std::string> commands = commands_of(readme, "Set-up on a fresh machine");
  ASSERT_EQ(commands.size(), 2u);
  for (const std::string& c : commands) EXPECT_NE(ci.find("\n" + c + "\n"), std::string::npos) << c;
  if (testsupport::windows()) GTEST_SKIP() << "the commands are POSIX shell lines; a pseudo-terminal needs script(1)";
  if (!testsupport::file_exists("/usr/bin/script") || !testsupport::file_exists("/usr/bin/iconv"))
    GTEST_SKIP() << "script(1) or iconv(1) missing";

  // The example's own part, after the build, run from a terminal as a new user
  // types it: the release program is this build's, the editor a recorder. A run
  // that offered anything to the editor, or showed the report's raw bytes,
  // surprises that user.
  const std::string& example = commands.front();
  std::size_t own = example.find("rm -rf build/exemplo");
  ASSERT_NE(own, std::string::npos) << example;
  TempDir dir;
  ::mkdir(dir.file("examples").c_str(), 0755);
  write_file(dir.file("examples/entrada_geral.ent"), read_file(std::string(CALOR2D_EXAMPLES) + "/entrada_geral.ent"));
  std::filesystem::create_directories(dir.file("build/release/bin"));
  std::filesystem::create_symlink(CALOR2D_EXE, dir.file("build/release/bin/calor2d"));
  TempDir bin;
  write_file(bin.file("editor"), "#!/bin/sh\nprintf '%s\\n' \"$*\" >> '" + bin.file("log") + "'\n");
  ::chmod(bin.file("editor").c_str(), 0755);
  testsupport::RunResult r =
      // script(1) ends at once when its standard input is closed: give it the null device.
      testsupport::run_in(dir.path(), "/bin/sh",
                          {"-c", "exec /usr/bin/script -qec \"$1\" /dev/null </dev/null", "sh", example.substr(own)},
                          {"VISUAL=" + bin.file("editor"), "EDITOR=" + bin.file("editor"), "PATH=/usr/bin:/bin"});
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_FALSE(testsupport::file_exists(bin.file("log"))) << "the editor was opened on: " << read_file(bin.file("log"));
  EXPECT_NE(r.out.find("Par\xC3\xA2metros F\xC3\xADsicos"), std::string::npos) << r.out.substr(0, 400);
  EXPECT_EQ(r.out.find("Par\xE2metros"), std::string::npos) << "the report's Windows-1252 bytes reached the terminal";

  // "Running a case" shows the batch run.
  EXPECT_NE(readme.find("\n    calor2d </dev/null\n"), std::string::npos);
}
