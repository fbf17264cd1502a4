#include <gtest/gtest.h>

#include <string>

#include "stub/command_line.h"
#include "stub/startup.h"
#include "base/run_facts.h"

namespace {

std::string Tail(const char* commandLine) {
  std::string copy = commandLine;
  return CommandLineTail(copy.data());
}

TEST(CommandLineTail, StepsOverTheProgramName) {
  struct Case { const char* line; const char* tail; };
  const Case cases[] = {
      {"\"C:\\dl\\x.exe\" -info", " -info"},   // quoted: the blank stays in the tail
      {"x.exe /auto", "/auto"},                // unquoted: the blank is the end character
      {"x.exe  two", " two"},                  // only one character is stepped over
      {"\"C:\\no closing quote", ""},          // no end character: empty tail
      {"x.exe", ""},
      {"\"x.exe\"", ""},
      {"\"\" rest", " rest"},                  // the search starts at the second character
      {"", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    EXPECT_EQ(Tail(c.line), c.tail);
  }
}

// What one tail gives: the request and the script facts beside it.
struct Read {
  bool autoSwitch = false;
  bool noAuto = false;
  bool info = false;
  bool silent = false;
  bool overwrite = false;
  const char* folder = nullptr;  // null: none given; "!": refused
  const char* password = "";
  const char* log = "";
  const char* unknown = "";      // the unknown switch reported; empty: none
};

Read ReadTail(const std::string& tail) {
  ResetRunFacts();
  CommandLineRequest request;
  ReadCommandLine(tail.c_str(), &request);
  static std::string folder;
  static std::string unknown;
  folder = request.folder;
  unknown = request.unknownSwitch == nullptr ? "" : std::string(request.unknownSwitch, request.unknownSwitchLength);
  Read read;
  read.autoSwitch = request.autoSwitch;
  read.noAuto = request.noAutoSwitch;
  read.info = request.infoSwitch;
  read.silent = g_silentMode;
  read.overwrite = g_overwriteRequested;
  read.folder = request.folderRefused ? "!" : request.folderGiven ? folder.c_str() : nullptr;
  read.password = g_commandLinePassword;
  read.log = g_logPath;
  read.unknown = unknown.c_str();
  return read;
}

std::string Describe(const Read& r) {
  return std::string("auto=") + (r.autoSwitch ? "1" : "0") + " noauto=" + (r.noAuto ? "1" : "0") +
         " info=" + (r.info ? "1" : "0") + " silent=" + (r.silent ? "1" : "0") +
         " overwrite=" + (r.overwrite ? "1" : "0") + " folder=" + (r.folder == nullptr ? "(none)" : "[" + std::string(r.folder) + "]") +
         " password=[" + r.password + "] log=[" + r.log + "] unknown=[" + r.unknown + "]";
}

Read Auto(const char* folder = nullptr) {
  Read r;
  r.autoSwitch = true;
  r.folder = folder;
  return r;
}

Read Silent(const char* folder = nullptr) {
  Read r = Auto(folder);
  r.silent = true;
  return r;
}

Read Unknown(const char* word, Read r = Read()) {
  r.unknown = word;
  return r;
}

Read Info(Read r = Read()) {
  r.info = true;
  return r;
}

Read With(Read r, bool overwrite, const char* password = "", const char* log = "") {
  r.overwrite = overwrite;
  r.password = password;
  r.log = log;
  return r;
}

Read NoAuto() {
  Read r;
  r.noAuto = true;
  return r;
}

TEST(ReadCommandLine, EveryTailOfTheTable) {
  struct Case { const char* tail; Read read; };
  const Case cases[] = {
      // Switches: whole words, '/' or '-', any case, anywhere.
      {"", Read()},
      {"/auto", Auto()},
      {"-AUTO", Auto()},
      {" /Auto ", Auto()},
      {"/noauto", NoAuto()},
      {"x.txt /auto", Auto()},                                    // a plain word before it is ignored
      {"C:\\a-b /auto", Auto()},
      {"\"/auto\"", Read()},                                      // quoted: never a switch
      {"/", Read()},                                              // '/' alone is no switch
      // The folder behind /auto or /silent.
      {"/AUTO \"C:\\My Files\"", Auto("C:\\My Files")},
      {"/AUTO C:\\My Files", Auto("C:\\My Files")},               // unquoted blanks stay
      {"/auto C:\\My  Files  ", Auto("C:\\My  Files")},           // as typed between the words, none behind
      {"/auto\tC:\\x", Auto("C:\\x")},                            // a tab parts words too
      {"/AUTO \"C:\\open quote", Auto("C:\\open quote")},         // no closing quote: to the end
      {"/auto \"C:\\a\\\\\"", Auto("C:\\a\\")},                   // \\ before the closing quote: one backslash
      {"/auto \"C:\\x\" /noauto", [] { Read r = Auto("C:\\x"); r.noAuto = true; return r; }()},
      {"/auto \"C:\\x\" junk", Auto("C:\\x")},                    // a quoted folder is one word
      {"/auto C:\\My \"Files\"", Auto("!")},                      // a quote among unquoted words: refused
      {"/auto \"\"", Auto("")},
      {"/auto C:\\a - b", Auto("C:\\a - b")},                     // '-' alone is part of the folder
      {"/auto C:\\tools-info", Auto("C:\\tools-info")},
      // The orders scripts use: a switch behind the folder ends it.
      {"/auto C:\\t /silent", Silent("C:\\t")},
      {"/silent /auto C:\\t", Silent("C:\\t")},
      {"/auto C:\\a /silent C:\\b", Silent("C:\\b")},             // the later folder counts
      {"/auto C:\\t /overwrite", With(Auto("C:\\t"), true)},
      {"/silent \"C:\\t /overwrite x\"", Silent("C:\\t /overwrite x")},  // inside quotes: part of the folder
      {"/Silent C:\\x /overwrite", With(Silent("C:\\x"), true)},
      {"/auto C:\\x /password \"p w\" /log \"C:\\my log.txt\"", With(Auto("C:\\x"), false, "p w", "C:\\my log.txt")},
      {"/auto C:\\silent-files", Auto("C:\\silent-files")},
      // Values: the next word, whatever it looks like.
      {"/password -secret /silent", With(Silent(), false, "-secret")},
      {"/password p\\\"q", With(Read(), false, "p\"q")},        // \" is a literal quote
      {"/password \"a\"\"b\"", With(Read(), false, "a\"b")},    // "" inside quotes: a literal quote
      {"/log", Read()},
      {"-log", Read()},
      // Unknown switches: reported, never a folder's, never the dialog's.
      {"/S", Unknown("/S")},
      {"/auto C:\\x /S D", Unknown("/S", Auto("C:\\x"))},
      {"/autox", Unknown("/autox")},                              // whole words only
      {"/au", Unknown("/au")},
      {"-x /auto", Unknown("-x", Auto())},
      {"/q /S", Unknown("/q")},                                   // the first is named
      // -info: a word of its own, in lower case only.
      {"-info", Info()},
      {"/auto x -info", Info(Auto("x"))},
      {"-info /auto", Info(Auto())},
      {"-information", Unknown("-information")},
      {"x-info y", Read()},
      {"/auto \"C:\\x-information\"", Auto("C:\\x-information")},
      {"\"-info\"", Read()},
      {"-INFO", Unknown("-INFO")},
      {"/info", Unknown("/info")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.tail);
    EXPECT_EQ(Describe(ReadTail(c.tail)), Describe(c.read));
  }
}

TEST(ReadCommandLine, AFolderLongerThanTheTargetFolderIsRefused) {
  // 260 UTF-16 units fit, one more does not; counted in units, not bytes.
  std::string fits = "C:\\" + std::string(257, 'a');
  EXPECT_EQ(Describe(ReadTail("/auto \"" + fits + "\"")), Describe(Auto(fits.c_str())));
  std::string wide = "C:\\";
  for (int i = 0; i < 257; ++i) wide += "\xE6\x97\xA5";  // 日: 771 bytes, 260 units
  EXPECT_EQ(Describe(ReadTail("/auto " + wide)), Describe(Auto(wide.c_str())));
  EXPECT_EQ(Describe(ReadTail("/auto C:\\" + std::string(258, 'b'))), Describe(Auto("!")));
  EXPECT_EQ(Describe(ReadTail("/auto \"" + wide + "x\" /overwrite")), Describe(With(Auto("!"), true)));
}

// The log names the command line as typed, but never the password: the log
// often lies in a shared folder.
TEST(TailForLog, ShowsTheWordsAsTypedWithThePasswordHidden) {
  struct Case { std::string tail; std::string logged; uint32_t size; };
  const std::string pair = "\xF0\x9F\x98\x80";  // one character of four bytes
  const Case cases[] = {
      {"", "", 512},
      {"  \t ", "", 512},
      {" /silent  C:\\My Files /log x.log ", " /silent  C:\\My Files /log x.log", 512},
      {"/password secret /silent", " /password ***** /silent", 512},
      {"/SILENT /PASSWORD \"two words\" /log x", " /SILENT /PASSWORD ***** /log x", 512},
      {"/password a /password b", " /password a /password *****", 512},  // the later one counts, and is hidden
      {"/silent /password", " /silent /password *****", 512},            // none given: nothing shows either
      // Cut with "..." to fit 24 bytes, between whole characters.
      {"/auto " + std::string(60, 'a'), " /auto " + std::string(12, 'a') + "...", 24},
      {"/auto " + std::string(10, 'a') + pair + "b", " /auto " + std::string(10, 'a') + "...", 24},
      {"/password " + std::string(40, 'p'), " /password *****", 24},  // the hidden word is never cut into
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.tail);
    ResetRunFacts();
    CommandLineRequest request;
    ReadCommandLine(c.tail.c_str(), &request);
    std::string logged(c.size, '#');
    TailForLog(c.tail.c_str(), request, &logged[0], c.size);
    EXPECT_EQ(std::string(logged.c_str()), c.logged);
  }
}

}  // namespace
