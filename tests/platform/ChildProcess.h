// Runs a program to its end in a process of its own, for the tests that
// look at a fresh process or at a program's libraries.
#pragma once

#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <string>
#include <vector>

extern char** environ;

namespace vx::test {

struct ProgramRun {
  int status = -1;  // the exit status; -1 when it did not start or end normally
  std::string out;
  std::string err;
};

// The program (found on PATH when it has no '/') with the arguments, in our
// environment with the variables given ("NAME=value") added or replaced.
inline ProgramRun RunProgram(const std::vector<std::string>& command, const std::vector<std::string>& variables = {}) {
  std::vector<std::string> environment = variables;
  for (char** entry = environ; *entry; ++entry) {
    const std::string variable(*entry);
    const std::string name = variable.substr(0, variable.find('=') + 1);
    bool replaced = false;
    for (const std::string& added : variables) replaced = replaced || added.starts_with(name);
    if (!replaced) environment.push_back(variable);
  }
  std::vector<char*> envp;
  for (std::string& variable : environment) envp.push_back(variable.data());
  envp.push_back(nullptr);
  std::vector<std::string> arguments = command;
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);

  ProgramRun run;
  std::array<int, 2> out{-1, -1};
  std::array<int, 2> err{-1, -1};
  if (::pipe(out.data()) != 0 || ::pipe(err.data()) != 0) return run;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  posix_spawn_file_actions_addclose(&actions, err[0]);
  pid_t pid = -1;
  const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  ::close(out[1]);
  ::close(err[1]);
  std::array<pollfd, 2> open{pollfd{out[0], POLLIN, 0}, pollfd{err[0], POLLIN, 0}};
  std::array<std::string*, 2> texts{&run.out, &run.err};
  while (spawned == 0 && (open[0].fd >= 0 || open[1].fd >= 0)) {
    if (::poll(open.data(), open.size(), -1) < 0) break;
    for (size_t i = 0; i < open.size(); ++i) {
      if (open[i].fd < 0 || open[i].revents == 0) continue;
      char buffer[4096];
      const ssize_t count = ::read(open[i].fd, buffer, sizeof buffer);
      if (count > 0) {
        texts[i]->append(buffer, static_cast<size_t>(count));
      } else {
        ::close(open[i].fd);
        open[i].fd = -1;
      }
    }
  }
  for (const pollfd& end : open)
    if (end.fd >= 0) ::close(end.fd);
  int status = 0;
  if (spawned == 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status)) run.status = WEXITSTATUS(status);
  return run;
}

}  // namespace vx::test
