#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <sys/wait.h>
#include <vector>

#include "TestSupport.h"

namespace quillane::test {

struct TCliResult {
  int Status = -1;
  std::string Out;
  std::string Err;
  nlohmann::json Json() const { return nlohmann::json::parse(Out); }
};

inline std::string ShellQuote(const std::string& s) {
  std::string q = "'";
  for (char c : s)
    q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

inline std::string ReadText(const std::string& path) {
  Bytes b = FileBytes(path);
  return std::string(b.begin(), b.end());
}

// Runs the real quillane-cli in `folder` and collects its exit status and output.
inline TCliResult RunCli(const std::string& folder, const std::vector<std::string>& args) {
  std::string command = "cd " + ShellQuote(folder) + " && " + ShellQuote(QUILLANE_CLI);
  for (const std::string& a : args)
    command += " " + ShellQuote(a);
  const std::string out = JoinPath(folder, ".cli-out"), err = JoinPath(folder, ".cli-err");
  command += " >" + ShellQuote(out) + " 2>" + ShellQuote(err) + " </dev/null";
  int raw = std::system(command.c_str());
  TCliResult r;
  r.Status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  r.Out = ReadText(out);
  r.Err = ReadText(err);
  std::remove(out.c_str());
  std::remove(err.c_str());
  return r;
}

// RunCli with the arguments given as one line, separated by single spaces.
inline TCliResult RunLine(const std::string& folder, const std::string& line) {
  std::vector<std::string> args;
  for (size_t at = 0, end; at < line.size(); at = end + 1) {
    end = std::min(line.find(' ', at), line.size());
    args.push_back(line.substr(at, end - at));
  }
  return RunCli(folder, args);
}

} // namespace quillane::test
