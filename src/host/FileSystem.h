#pragma once
// Whole-file reads and writes, copies and renames, as the XML configuration's load and its
// restoring copy use them.
//
// Windows: CreateFileA + ReadFile / WriteFile + FlushFileBuffers, CopyFileA,
// MoveFileExA(MOVEFILE_REPLACE_EXISTING) and DeleteFileA. Linux: open, read, write, fsync,
// rename and unlink. The names are the tool's own (not CopyFile, DeleteFile), because
// <windows.h> defines those as macros.

#include <cstddef>
#include <string>
#include <string_view>

namespace host {

enum class TReadResult {
  Ok,        // `bytes` holds the whole file
  Missing,   // no such file (or a path component is missing)
  TooLarge,  // the file holds more than the bound; nothing was read
  Failed,    // not a regular file, or it could not be opened or read
};

// Reads the whole regular file at `path` into `bytes` when it holds at most `maxBytes`
// bytes. Anything other than Ok leaves `bytes` empty.
TReadResult ReadFileBounded(const std::string& path, std::size_t maxBytes, std::string& bytes);

// Creates `path` (or truncates it) and writes `bytes`, flushed to the disk before it
// returns. False when any byte could not be written; a partly written file is removed.
bool WriteFileBytes(const std::string& path, std::string_view bytes);

// Copies the regular file `from` to `to`, byte for byte. With `failIfExists` an existing
// `to` is never touched and the copy fails (CopyFileA's third argument). A partly written
// copy is removed.
bool CopyFileBytes(const std::string& from, const std::string& to, bool failIfExists);

// Renames `from` to `to`, replacing an existing `to` in one step: at no moment is `to`
// missing or half written (within one directory of one file system).
bool RenameReplacing(const std::string& from, const std::string& to);

// Removes the file `path`; false when there was nothing to remove or it could not be.
bool RemoveFile(const std::string& path);

}  // namespace host
