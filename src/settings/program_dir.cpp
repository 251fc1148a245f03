#include "settings/program_dir.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QStandardPaths>
#include <QStringList>
#include <filesystem>
#include <system_error>

namespace settings {
namespace {

namespace fs = std::filesystem;
constexpr std::string_view kOption = "--data-dir";

bool WritableDir(const std::string& dir) {
  std::error_code ec;
  return !dir.empty() && fs::is_directory(dir, ec) && ::access(dir.c_str(), W_OK) == 0;
}

// An installed program sits in <prefix>/bin beside <prefix>/share, where its
// desktop entry is; such a folder is shared by every user, even when the
// user happens to be allowed to write into it.
bool InstalledDir(const std::string& dir) {
  std::error_code ec;
  const fs::path bin(dir);
  return bin.filename() == "bin" &&
         fs::exists(bin.parent_path() / "share/applications/chat-browser.desktop", ec);
}

std::string WithFinalSlash(std::string dir) {
  if (dir.empty() || dir.back() != '/') dir += '/';
  return dir;
}

fs::path WithoutFinalSlash(const std::string& dir) {
  std::string d = dir;
  while (d.size() > 1 && d.back() == '/') d.pop_back();
  return fs::path(d).lexically_normal();
}

std::string Absolute(const std::string& dir) {
  std::error_code ec;
  fs::path path = fs::absolute(dir.empty() ? "." : dir, ec);
  if (ec) path = dir;
  return WithFinalSlash(path.lexically_normal().string());
}

// Creates the folder when missing; a folder made here is its owner's only,
// since it will hold the password and the private archive.
void CreatePrivate(const std::string& dir) {
  std::error_code ec;
  if (fs::is_directory(dir, ec)) return;
  fs::create_directories(dir, ec);  // failure shows later as unwritable files
  if (!ec) fs::permissions(dir, fs::perms::owner_all, fs::perm_options::replace, ec);
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

bool MoveOldDataFolder(const std::string& oldDir, const std::string& newDir, const std::string& cacheDir) {
  std::error_code ec;
  const fs::path from = WithoutFinalSlash(oldDir), to = WithoutFinalSlash(newDir);
  if (!fs::is_directory(from, ec) || fs::exists(fs::symlink_status(to, ec))) return false;
  fs::create_directories(to.parent_path(), ec);
  fs::rename(from, to, ec);  // one rename: the folder is either old or new, never half
  if (ec) return false;
  if (!cacheDir.empty()) {
    const fs::path oldCache = to / "Cache", cache = WithoutFinalSlash(cacheDir);
    if (fs::is_directory(oldCache, ec) && !fs::exists(fs::symlink_status(cache, ec))) {
      fs::create_directories(cache.parent_path(), ec);
      fs::rename(oldCache, cache, ec);  // another file system: the cache stays where it was
    }
  }
  return true;
}

DataLayout ResolveDataLayout(const std::optional<std::string>& dataDirOption,
                             const std::string& executableDir, const UserDirs& user) {
  DataLayout layout;
  if (dataDirOption) {
    layout.programDir = Absolute(*dataDirOption);
  } else if ((WritableDir(executableDir) && !InstalledDir(executableDir)) || user.dataHome.empty()) {
    layout.programDir = Absolute(executableDir);
  } else {
    layout.perUser = true;
    layout.programDir = Absolute(user.dataHome + "/" + kPerUserFolder);
    layout.cacheDir = user.cacheHome.empty() ? layout.programDir + "Cache/"
                                             : Absolute(user.cacheHome + "/" + kPerUserFolder);
    MoveOldDataFolder(Absolute(user.dataHome + "/" + kOldPerUserFolder), layout.programDir, layout.cacheDir);
    CreatePrivate(layout.programDir);
    // Earlier versions left the folder open to every local user.
    std::error_code ec;
    fs::permissions(layout.programDir, fs::perms::owner_all, fs::perm_options::replace, ec);
    return layout;
  }
  layout.cacheDir = layout.programDir + "Cache/";
  CreatePrivate(layout.programDir);
  return layout;
}

std::string ResolveProgramDir(const std::vector<std::string>& arguments,
                              const std::string& executableDir,
                              const std::string& perUserDir) {
  const std::optional<std::string> option = DataDirOption(arguments);
  if (option || perUserDir.empty() || (WritableDir(executableDir) && !InstalledDir(executableDir)))
    return ResolveDataLayout(option, executableDir, {}).programDir;
  const std::string dir = Absolute(perUserDir);
  CreatePrivate(dir);
  return dir;
}

UserDirs UserDirsOfThisProcess() {
  const auto local = [](QStandardPaths::StandardLocation where) {
    return QStandardPaths::writableLocation(where).toLocal8Bit().toStdString();
  };
  return {local(QStandardPaths::GenericDataLocation), local(QStandardPaths::GenericCacheLocation)};
}

DataLayout DataLayoutForThisProcess(const std::optional<std::string>& dataDirOption) {
  const std::string exeDir = QCoreApplication::applicationDirPath().toLocal8Bit().toStdString();
  return ResolveDataLayout(dataDirOption, exeDir, UserDirsOfThisProcess());
}

std::string ProgramDirForThisProcess(const QStringList& arguments) {
  std::vector<std::string> args;
  args.reserve(static_cast<size_t>(arguments.size()));
  for (const QString& a : arguments) args.push_back(a.toLocal8Bit().toStdString());
  return DataLayoutForThisProcess(DataDirOption(args)).programDir;
}

}  // namespace settings
