// The program's arguments, split between Qt and the batch command line.
//
// QApplication takes the options it knows from wherever they stand, so a data
// string that happens to be a Qt option ("-reverse") was swallowed, and
// "sendrix -platform -M:S" handed the mode to Qt as a platform name (Qt then
// aborts). Here Qt sees only options meant for it:
//  - in a batch run (some argument holds "-M:"), the first argument is always
//    String and never Qt's; from the second on, a known Qt option goes to Qt,
//    with its value when it takes one and the next argument is not one of
//    the batch options (a token holding a marker such as "-I:");
//  - without "-M:" (an interactive run), known Qt options are taken the same
//    way from the first argument on ("sendrix -style Fusion").
// Everything else, in order, is the batch command line's tokens.
// "--version" as the only argument asks for the version line.
//
// Threading: none (main, before QApplication).
#pragma once

#include <string>
#include <vector>

class CProgramArguments {
 public:
  CProgramArguments(int argc, const char* const* argv);
  CProgramArguments(const CProgramArguments&) = delete;
  CProgramArguments& operator=(const CProgramArguments&) = delete;

  // The program name and the options for QApplication; argv() stays valid
  // as long as this object (QApplication keeps the pointers).
  int& QtArgc() { return m_nQtArgc; }
  char** QtArgv() { return m_qtPointers.data(); }
  const std::vector<std::string>& Tokens() const { return m_tokens; }
  bool AsksForVersion() const { return m_bVersion; }
  // The value of Qt's "-platform" option, or empty when none was given.
  std::string QtPlatform() const;

 private:
  std::vector<std::string> m_qt;
  std::vector<char*> m_qtPointers;
  int m_nQtArgc = 0;
  std::vector<std::string> m_tokens;
  bool m_bVersion = false;
};

// "sendrix 5.0.894": what --version prints (one line).
const char* ProgramVersionLine();
