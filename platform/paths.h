// Path strings. Paths use '/' as separator and are UTF-8 (bytes are passed through unchanged).
#pragma once

#include <string>
#include <string_view>

namespace lorvante {

// The extension: from the last '.' to the end, when no '/' follows that '.'; empty otherwise.
std::string ExtractFileExt(std::string_view path);

// The path with its extension replaced by `ext` (appended when it has none; "" removes it).
std::string ChangeFileExt(std::string_view path, std::string_view ext);

// The part after the last '/'.
std::string ExtractFileName(std::string_view path);

// The part up to and including the last '/'; empty when there is none.
std::string ExtractFilePath(std::string_view path);

// `Dir` with a trailing '/'; an empty string stays empty.
std::string AppendSlash(std::string_view Dir);
// `path` without its final '/'s; the root stays "/".
std::string WithoutTrailingSlashes(std::string path);

// The absolute form of `path`: relative to the current directory, "." and ".." folded away and
// doubled separators removed, without following symbolic links. Empty stays empty.
std::string ExpandFileName(std::string_view path);

// The file `path` stands for: its full name with every link resolved when it exists, its full
// name (ExpandFileName) otherwise.
std::string ResolvedFileName(const std::string& path);

// The process's current directory; empty when it cannot be read.
std::string GetCurrentDir();

// Whether `path` names an existing folder (links followed).
bool DirectoryExists(const std::string& path);
// Whether `path` names something that exists and is not a folder (links followed).
bool FileExists(const std::string& path);

// The absolute path of the running program; empty when it cannot be read.
std::string GetProgramPath();

}  // namespace lorvante
