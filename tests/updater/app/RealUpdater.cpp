#include "RealUpdater.h"

#include <filesystem>
#include <system_error>

#include "PRXCmdLineAnalyse.h"
#include <platform/Strings.h>

std::string UpdaterArgument(const UpdaterJob& job) {
  std::wstring urls;
  for (const std::string& server : job.servers) {
    if (!urls.empty()) urls += L';';
    urls += Utf8ToWide(server + "/Update/Corvane/" + job.version + "/Win32/");
  }
  PRXCmdLineAnalyse cmdLine;
  cmdLine.ParseItem(L"-SPVER=" + Utf8ToWide(job.version));
  cmdLine.ParseItem(L"-UPURL=" + urls);
  // "<flag>;<host>:<unused>:<http port>": reports go to the given server only.
  const size_t colon = job.reportServer.rfind(':');
  if (colon != std::string::npos) {
    const std::string entry = job.reportServer.substr(0, colon) + ":1:" + job.reportServer.substr(colon + 1);
    cmdLine.ParseItem(L"-LOGCFG=0;" + Utf8ToWide(entry));
  }
  return WideToUtf8(Utf8ToWide(job.prefix) + cmdLine.ToCmdLine());
}

RealUpdater::RealUpdater(const std::string& programFolder) : m_folder(programFolder), m_runtime("updater-run") {
  std::error_code error;
  const std::string program = programFolder + "CorvaneUpdate";
  std::filesystem::copy_file(CORVANE_UPDATE_PROGRAM, program, std::filesystem::copy_options::overwrite_existing,
                             error);
  if (!error) m_program = program;
  if (m_runtime.ok()) m_environment.push_back("XDG_RUNTIME_DIR=" + m_runtime.path().string());
}

bool RealUpdater::Start(const std::string& argument, ChildProcess* child) const {
  if (!ok()) return false;
  std::vector<std::string> argv = m_launcher;
  argv.push_back(m_program);
  argv.push_back(argument);
  return child->start(argv, {}, m_environment);
}

int RealUpdater::Run(const std::string& argument, int seconds) const {
  ChildProcess child;
  if (!Start(argument, &child)) return -1;
  return child.wait(std::chrono::seconds(seconds)).exitCode();
}
