#include "settings/program_dir.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QStandardPaths>
#include <QStringList>
#include <filesystem>
#include <system_error>

namespace settings {
namespace {

constexpr std::string_view kOption = "--data-dir";

bool WritableDir(const std::string& dir) {
  std::error_code ec;
  return !dir.empty() && std::filesystem::is_directory(dir, ec) && ::access(dir.c_str(), W_OK) == 0;
}

std::string WithFinalSlash(std::string dir) {
  if (dir.empty() || dir.back() != '/') dir += '/';
  return dir;
}

}  // namespace

std::optional<std::string> DataDirOption(const std::vector<std::string>& arguments) {
  std::optional<std::string> dir;
  for (size_t i = 1; i < arguments.size(); ++i) {
    const std::string& a = arguments[i];
    if (a == kOption) {
      if (i + 1 < arguments.size() && !arguments[i + 1].empty()) dir = arguments[++i];
    } else if (a.size() > kOption.size() + 1 && a.compare(0, kOption.size(), kOption) == 0 &&
               a[kOption.size()] == '=') {
      dir = a.substr(kOption.size() + 1);
    }
  }
  return dir;
}

std::string ResolveProgramDir(const std::vector<std::string>& arguments,
                              const std::string& executableDir,
                              const std::string& perUserDir) {
  std::string dir;
  if (std::optional<std::string> option = DataDirOption(arguments)) {
    dir = *option;
  } else if (WritableDir(executableDir) || perUserDir.empty()) {
    dir = executableDir;
  } else {
    dir = perUserDir;
  }
  std::error_code ec;
  std::filesystem::path path = std::filesystem::absolute(dir.empty() ? "." : dir, ec);
  if (ec) path = dir;
  path = path.lexically_normal();
  std::filesystem::create_directories(path, ec);  // failure shows later as unwritable files
  return WithFinalSlash(path.string());
}

std::string ProgramDirForThisProcess(const QStringList& arguments) {
  std::vector<std::string> args;
  args.reserve(static_cast<size_t>(arguments.size()));
  for (const QString& a : arguments) args.push_back(a.toLocal8Bit().toStdString());
  std::string exeDir = QCoreApplication::applicationDirPath().toLocal8Bit().toStdString();
  std::string perUser =
      QStandardPaths::writableLocation(QStandardPaths::AppDataLocation).toLocal8Bit().toStdString();
  return ResolveProgramDir(args, exeDir, perUser);
}

}  // namespace settings
