#pragma once
// Where the client keeps its files.  A portable copy (the executable's
// directory is writable and not an installed <prefix>/bin) keeps everything
// beside the executable; an installed client keeps its data in
// $XDG_DATA_HOME/chat-browser/ and its picture cache in
// $XDG_CACHE_HOME/chat-browser/; "--data-dir DIR" (or "--data-dir=DIR")
// keeps everything in DIR.
#include <optional>
#include <string>
#include <vector>

#include <QtCore/qcontainerfwd.h>  // QStringList

namespace settings {

// The folder name under the per-user data and cache folders.
inline constexpr const char* kPerUserFolder = "chat-browser";
// The name earlier versions used under the data folder, moved once.
inline constexpr const char* kOldPerUserFolder = "Chat browser";

// The DIR of the last "--data-dir DIR" or "--data-dir=DIR" among the
// arguments (the first one is the program and is skipped); nothing when
// absent or given without a directory.
std::optional<std::string> DataDirOption(const std::vector<std::string>& arguments);

// The per-user base folders ($XDG_DATA_HOME and $XDG_CACHE_HOME, or their
// defaults under the home folder).
struct UserDirs {
  std::string dataHome;
  std::string cacheHome;
};

struct DataLayout {
  std::string programDir;  // settings, archives, kept files; ends with "/"
  std::string cacheDir;    // the picture cache; ends with "/"
  bool perUser = false;    // the installed layout under the user's folders
};

// Chooses the layout from the option, the executable's directory and the
// user's folders.  The per-user data folder is created private (0700), and
// an old "Chat browser" folder beside it is moved there first when the new
// one does not exist yet; a folder from the option is created private when
// missing.  Paths are absolute.
DataLayout ResolveDataLayout(const std::optional<std::string>& dataDirOption,
                             const std::string& executableDir, const UserDirs& user);

// The directory alone, for callers that need no cache folder.
std::string ResolveProgramDir(const std::vector<std::string>& arguments,
                              const std::string& executableDir,
                              const std::string& perUserDir);

// Moves `oldDir` to `newDir` when `oldDir` is a directory and `newDir` does
// not exist; true when it moved.  A cache folder it held ("Cache") goes to
// `cacheDir` when that is given and does not exist yet.
bool MoveOldDataFolder(const std::string& oldDir, const std::string& newDir, const std::string& cacheDir);

// The user's folders of this process (QStandardPaths).
UserDirs UserDirsOfThisProcess();

// The layout of this process: the executable's directory from
// QCoreApplication (which must exist) and the user's folders.
DataLayout DataLayoutForThisProcess(const std::optional<std::string>& dataDirOption);
std::string ProgramDirForThisProcess(const QStringList& arguments);

}  // namespace settings
