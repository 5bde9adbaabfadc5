// main() for GoogleTest suites that need Qt widgets: a QApplication on the offscreen
// platform unless the caller chose another (test discovery runs without the environment).
// Each run keeps the viewer's settings, caches (the map's tiles) and runtime folder (the
// single instance's lock and socket) in a folder of its own, never the user's. A crash prints every thread's stack (through gdb when it is there) before
// the process dies, so a crash seen once on a CI machine says where it was.
#include <execinfo.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <filesystem>
#include <string>

namespace {

// Sanitizer builds print their own report.
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
void OnCrash(int signal) {
  void* frames[64];
  const int count = backtrace(frames, 64);
  backtrace_symbols_fd(frames, count, STDERR_FILENO);
  char pid[16];
  snprintf(pid, sizeof pid, "%d", static_cast<int>(getpid()));
  const pid_t child = fork();
  if (child == 0) {
    dup2(STDERR_FILENO, STDOUT_FILENO);
    execlp("gdb", "gdb", "-q", "-batch", "-p", pid, "-ex", "thread apply all bt 40", nullptr);
    _exit(127);
  }
  if (child > 0) waitpid(child, nullptr, 0);
  ::signal(signal, SIG_DFL);
  raise(signal);
}

void ReportCrashes() {
  prctl(PR_SET_PTRACER, PR_SET_PTRACER_ANY, 0, 0, 0);  // gdb, our child, may look at us
  for (int signal : {SIGSEGV, SIGBUS, SIGFPE, SIGILL}) ::signal(signal, OnCrash);
}
#else
void ReportCrashes() {}
#endif

}  // namespace

int main(int argc, char** argv) {
  ReportCrashes();
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // Before the QApplication and any child process, which inherit it: the user's own viewer
  // may be running, with its lock and socket in the real runtime folder.
  char config[] = "/tmp/roadkeep-test-XXXXXX";
  if (mkdtemp(config) == nullptr) {
    perror("roadkeep tests: no folder of their own");
    return 1;
  }
  const std::string own = config;  // 0700, as mkdtemp makes it
  for (const char* sub : {"/runtime", "/cache"}) mkdir((own + sub).c_str(), 0700);
  setenv("XDG_RUNTIME_DIR", (own + "/runtime").c_str(), 1);
  setenv("XDG_CONFIG_HOME", config, 1);
  setenv("XDG_CACHE_HOME", (own + "/cache").c_str(), 1);
  int result = 0;
  {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    result = RUN_ALL_TESTS();
  }
  std::error_code ignored;
  std::filesystem::remove_all(config, ignored);
  return result;
}
