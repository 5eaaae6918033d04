#include "support/cli_process.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace testcli {

namespace {

std::string Read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

Result Run(const fs::path& program, const fs::path& folder, const std::string& arguments,
           const std::string& environment) {
  const fs::path out = folder / "stdout.txt";
  const fs::path err = folder / "stderr.txt";
  const std::string command = "cd '" + folder.string() + "' && XDG_CONFIG_HOME='" +
                              (folder / "config").string() + "' " + environment + " '" +
                              program.string() + "' " + arguments + " >'" + out.string() +
                              "' 2>'" + err.string() + "' </dev/null";
  const int raw = std::system(command.c_str());
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, Read(out), Read(err)};
}

pid_t Start(const fs::path& program, const fs::path& folder,
            const std::vector<std::string>& arguments) {
  const pid_t child = fork();
  // Both sides make the group, so that it exists whichever runs first.
  if (child != 0) {
    setpgid(child, child);
    return child;
  }
  setpgid(0, 0);
  if (chdir(folder.c_str()) != 0) _exit(99);
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  const int devnull = open("/dev/null", O_RDWR);
  dup2(devnull, STDIN_FILENO);
  dup2(devnull, STDOUT_FILENO);
  dup2(devnull, STDERR_FILENO);
  setenv("XDG_CONFIG_HOME", (folder / "config").c_str(), 1);
  execv(argv[0], argv.data());
  _exit(98);
}

int Wait(pid_t process) {
  int raw = 0;
  waitpid(process, &raw, 0);
  return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

}  // namespace testcli
