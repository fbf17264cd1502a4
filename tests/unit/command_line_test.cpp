#include <gtest/gtest.h>

#include <string>

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

TEST(HasInfoOption, CountsOnlyAWordOfItsOwn) {
  struct Case { const char* tail; bool info; };
  const Case cases[] = {
      {"-info", true},
      {" -info", true},
      {"/auto x -info", true},
      {"-info /auto", true},
      {"/auto C:\\tools-info", false},  // inside a folder name
      {"-information", false},
      {"x-info y", false},
      {"/auto \"C:\\x-information\"", false},
      {"-INFO", false},                  // case-sensitive
      {"/info", false},
      {"-inf", false},
      {"", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.tail);
    EXPECT_EQ(HasInfoOption(c.tail), c.info);
  }
}

}  // namespace
