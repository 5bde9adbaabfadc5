// CZarezeRadidaApp: starts the one main window and runs it until it closes. A second copy
// brings the first one's window forward and ends at once.
#pragma once

struct CommandLine;

class CZarezeRadidaApp {
 public:
  // Returns the process's exit code: 0 after the window closed or when another copy runs.
  // REQUIRES: a QApplication exists; GUI thread.
  // line: what the command line named (its cards are looked at as if inserted).
  int InitInstance(const CommandLine& line);
};
