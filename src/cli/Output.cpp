// What every command checks and reports about the files it writes.
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <memory>
#include <unistd.h>

#include "Cli.h"
#include "ImageIO.h"
#include "app/App.h"
#include "app/FileIO.h"
#include "elements/Picture.h"
#include "platform/Platform.h"

namespace quillane {
namespace fs = std::filesystem;

void CheckOutput(const std::string& out, const std::vector<std::string>& inputs, TOutputKind kind) {
  if (out == StandardOutputName) {
    if (kind == TOutputKind::FileSet)
      throw CLI::ValidationError("OUT", "this command writes several files; it cannot write "
                                        "to standard output");
    return;
  }
  if (kind == TOutputKind::Image && ImageFormatFor(out).empty())
    throw CLI::ValidationError("--output", "an image is written as .bmp or .png: " + out);
  std::error_code ec;
  // The export names its output as an argument, not with -o.
  const char* const option = kind == TOutputKind::FileSet ? "OUT" : "--output";
  for (const std::string& in : inputs)
    if (fs::equivalent(out, in, ec))
      throw CLI::ValidationError(option, "would write over the input file " + in);
  // A link loop, a folder, a pipe, a device or a read-only file is no output; "-" streams.
  if (std::optional<std::string> refusal = ReplaceRefusal(out))
    throw TCliFailure(*refusal);
  // A file needs a folder that takes it. A file set's flow reports its own folder failure.
  if (kind == TOutputKind::FileSet)
    return;
  std::string folder = FolderOf(fs::weakly_canonical(out, ec).string());
  if (folder.empty())
    folder = ".";
  int error = 0;
  if (!fs::is_directory(folder, ec))
    error = fs::exists(folder, ec) ? ENOTDIR : ENOENT;
  else if (::access(folder.c_str(), W_OK | X_OK) != 0)
    error = errno;
  if (error != 0)
    throw TCliFailure("Cannot create file \"" + out + "\". " + std::strerror(error));
}

std::string Named(const std::exception& e, const std::string& path) {
  // A quoted name is the file the message is about already.
  const std::string text = e.what();
  const bool named = text.find(path) != std::string::npos || text.find('"') != std::string::npos;
  return named ? text : text + ": " + path;
}

std::string LowerExtension(const std::string& path) {
  std::string ext = std::filesystem::path(path).extension().string();
  for (char& c : ext)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext;
}

std::string NotEnoughMemory(const std::string& operation, const std::string& path) {
  return "Not enough memory to " + operation + ": " + path;
}

namespace {
std::string OutOfMemory;
} // namespace

void SayWhenOutOfMemory(const std::string& operation, const std::string& path) {
  OutOfMemory = NotEnoughMemory(operation, path);
}

const std::string& OutOfMemoryText() {
  return OutOfMemory;
}

std::function<void(int)> ProgressFor(const char* what, int64_t pixels) {
  // Only work that takes a moment; the platform shows it only to a person at a terminal. The
  // line is cleared when the work ends, however it ends.
  if (pixels < (int64_t{1} << 24))
    return {};
  auto progress = std::make_shared<OProgress>(std::string(what) + ":", 100);
  return [progress](int percent) { progress->Step(percent); };
}

} // namespace quillane
