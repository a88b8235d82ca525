#pragma once
// Files of the crash handling that must not be redirected: the recovery
// file and the dump are created under a fresh name that no link may already
// hold, for this user alone, and read back only when they are this user's
// regular files.
#include <cstddef>
#include <string>

namespace ombrelo {

// Async-signal-safe. Writes all of data to fd through the system call
// itself rather than write(): the crashed thread's raw stack is written too,
// and a sanitizer's write() would check those bytes against its red zones.
bool WriteAll(int fd, const void* data, size_t size);

// Creates folder with every missing parent; each folder made here gets mode
// 0700. True when folder is a folder afterwards.
bool CreatePrivateFolders(const std::string& folder);

// Async-signal-safe. Writes the bytes to folder/name (folder ends with "/")
// through folder/temp: temp is made anew with mode 0600 (a link or file of
// that name is removed first, never followed) and renamed over name. False
// when the folder is not this user's or a step fails.
bool WriteOwnFile(const char* folder, const char* name, const char* temp, const void* data,
                  size_t size);

// Async-signal-safe. Opens folder (a link is not followed; made with mode
// 0700 when missing) when it is this user's and closed to everyone else.
// The descriptor, or -1.
int OpenPrivateFolder(const char* folder);

// Async-signal-safe. Creates name in the folder open as folderFd for
// writing, mode 0600, never through a link (one in the way is removed).
// The descriptor, or -1.
int CreateOwnFile(int folderFd, const char* name);

// Opens path for reading when it is a regular file of this user; a link is
// not followed. The descriptor, or -1 (errno ELOOP for a link, EPERM for a
// file of another user).
int OpenOwnFile(const std::string& path);

// The whole content of a file open for reading.
std::string ReadAll(int fd);

}  // namespace ombrelo
