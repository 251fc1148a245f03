#pragma once
// Where the client keeps its files: the executable's directory when it is
// writable (a portable install), otherwise the per-user application data
// directory; "--data-dir DIR" (or "--data-dir=DIR") on the command line
// overrides both.
#include <optional>
#include <string>
#include <vector>

#include <QtCore/qcontainerfwd.h>  // QStringList

namespace settings {

// The DIR of the last "--data-dir DIR" or "--data-dir=DIR" among the
// arguments (the first one is the program and is skipped); nothing when
// absent or given without a directory.
std::optional<std::string> DataDirOption(const std::vector<std::string>& arguments);

// Chooses the directory from the arguments, the executable's directory and
// the per-user directory, creates it when missing, and returns it as an
// absolute path ending with "/".
std::string ResolveProgramDir(const std::vector<std::string>& arguments,
                              const std::string& executableDir,
                              const std::string& perUserDir);

// The same for this process: the executable's directory from
// QCoreApplication (which must exist) and QStandardPaths::AppDataLocation.
std::string ProgramDirForThisProcess(const QStringList& arguments);

}  // namespace settings
