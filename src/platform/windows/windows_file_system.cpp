#include "platform/windows/windows_file_system.h"

#include <windows.h>
// windows.h names ReplaceFileW "ReplaceFile", which is also the service's method.
#undef ReplaceFile

#include <algorithm>
#include <atomic>
#include <string>
#include <vector>

#include "platform/windows/error_text.h"
#include "platform/windows/handle.h"
#include "platform/windows/owner_only.h"
#include "platform/windows/trusted_folder.h"
#include "platform/windows/wide_text.h"

namespace tarnwick {
namespace {

constexpr int kTempNameAttempts = 16;
constexpr DWORD kChunk = 1u << 20;

std::string Reason(DWORD error) {
  return win::ErrorText(error);
}

// Writes all of `content`; the error of the failure, or ERROR_SUCCESS. `done` counts the bytes
// that reached the file.
DWORD WriteAll(HANDLE file, std::string_view content, size_t& done) {
  done = 0;
  while (done < content.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(content.size() - done, kChunk));
    DWORD written = 0;
    if (!WriteFile(file, content.data() + done, chunk, &written, nullptr)) return GetLastError();
    if (written == 0) return ERROR_DISK_FULL;
    done += written;
  }
  return ERROR_SUCCESS;
}

std::wstring TempName(const std::wstring& path) {
  static std::atomic<unsigned long long> counter{0};
  return path + win::Wide(WindowsFileSystem::kTempInfix) +
         std::to_wstring(GetTickCount64() * 1000 + counter.fetch_add(1));
}

bool IsSeparator(wchar_t c) {
  return c == L'\\' || c == L'/';
}

// Why the settings file `path` may not be read or replaced: its folder's rule, empty when it
// passes.
std::string UntrustedFolderOf(const std::string& path) {
  const size_t slash = path.find_last_of("\\/");
  if (slash == std::string::npos) return {};
  const std::string folder = path.substr(0, slash);
  return win::UntrustedFolderReason(win::Wide(folder), folder);
}

}  // namespace

FileReadResult WindowsFileSystem::ReadFile(const std::string& path, size_t limit) {
  FileReadResult result;
  result.reason = UntrustedFolderOf(path);
  if (!result.reason.empty()) {
    result.status = FileReadStatus::Unreadable;
    return result;
  }
  const std::wstring wide = win::Wide(path);
  // The link itself, not what it leads to: a link is never read through.
  const win::Handle file(CreateFileW(
      wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!file) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return result;
    result.status = FileReadStatus::Unreadable;
    result.reason = Reason(error);
    return result;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (GetFileInformationByHandle(file.get(), &info) &&
      (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    result.status = FileReadStatus::Unreadable;
    result.reason = "the file is a link";
    return result;
  }
  // A pipe or a device would block or never end: only files on disk are read.
  if (GetFileType(file.get()) != FILE_TYPE_DISK) {
    result.status = FileReadStatus::Unreadable;
    result.reason = Reason(ERROR_INVALID_FUNCTION);
    return result;
  }
  // One byte past the limit tells a file of exactly `limit` bytes from a longer one.
  std::string content(limit + 1, '\0');
  size_t done = 0;
  while (done < content.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(content.size() - done, kChunk));
    DWORD read = 0;
    if (!::ReadFile(file.get(), content.data() + done, chunk, &read, nullptr)) {
      result.status = FileReadStatus::Unreadable;
      result.reason = Reason(GetLastError());
      return result;
    }
    if (read == 0) break;
    done += read;
  }
  result.truncated = done > limit;
  content.resize(result.truncated ? limit : done);
  result.status = FileReadStatus::Ok;
  result.content = std::move(content);
  return result;
}

FileResult WindowsFileSystem::ReplaceFile(const std::string& path, std::string_view content) {
  const std::wstring target = win::Wide(path);
  if (target.empty()) return FileResult::Failure(Reason(ERROR_INVALID_NAME));
  if (const std::string untrusted = UntrustedFolderOf(path); !untrusted.empty()) {
    return FileResult::Failure(untrusted);
  }
  win::OwnerOnly security(false);
  if (security.attributes() == nullptr) return FileResult::Failure(Reason(GetLastError()));

  std::wstring temp;
  win::Handle file;
  DWORD error = ERROR_SUCCESS;
  for (int attempt = 0; attempt < kTempNameAttempts && !file; ++attempt) {
    temp = TempName(target);
    // CREATE_NEW: never a file that is already there, and owner-only from its creation.
    file = win::Handle(CreateFileW(temp.c_str(), GENERIC_WRITE, 0, security.attributes(),
                                   CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    error = GetLastError();
    if (!file && error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) break;
  }
  if (!file) return FileResult::Failure(Reason(error));

  size_t written = 0;
  error = WriteAll(file.get(), content, written);
  if (error == ERROR_SUCCESS && !FlushFileBuffers(file.get())) error = GetLastError();
  if (!CloseHandle(file.Release()) && error == ERROR_SUCCESS) error = GetLastError();
  if (error != ERROR_SUCCESS) {
    DeleteFileW(temp.c_str());
    return FileResult::Failure(Reason(error));
  }

  // A new file: a plain rename, which fails when another file appeared in the meantime.
  if (MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH)) {
    return FileResult::Success();
  }
  error = GetLastError();
  if (error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS) {
    DeleteFileW(temp.c_str());
    return FileResult::Failure(Reason(error));
  }
  // An existing file: ReplaceFileW, with the old file moved to a backup name so that a failure
  // half-way can put it back whole.
  const std::wstring backup = TempName(target);
  if (::ReplaceFileW(target.c_str(), temp.c_str(), backup.c_str(), REPLACEFILE_IGNORE_MERGE_ERRORS,
                     nullptr, nullptr)) {
    DeleteFileW(backup.c_str());
    return FileResult::Success();
  }
  error = GetLastError();
  if (error == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2) {
    // The old file already carries the backup name and the new one could not take its place.
    MoveFileExW(backup.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH);
  }
  DeleteFileW(temp.c_str());
  DeleteFileW(backup.c_str());
  return FileResult::Failure(Reason(error));
}

FileResult WindowsFileSystem::AppendFile(const std::string& path, std::string_view content) {
  const std::wstring wide = win::Wide(path);
  if (wide.empty()) return FileResult::Failure(Reason(ERROR_INVALID_NAME));
  win::OwnerOnly security(false);
  if (security.attributes() == nullptr) return FileResult::Failure(Reason(GetLastError()));
  // The descriptor applies only when OPEN_ALWAYS creates the file.
  const win::Handle file(CreateFileW(
      wide.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
      security.attributes(), OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return FileResult::Failure(Reason(GetLastError()));
  size_t written = 0;
  const DWORD error = WriteAll(file.get(), content, written);
  if (error != ERROR_SUCCESS) return FileResult::Failure(Reason(error), written);
  return FileResult::Success(written);
}

FileResult WindowsFileSystem::MakeFolder(const std::string& path) {
  std::wstring wide = win::Wide(path);
  while (wide.size() > 1 && IsSeparator(wide.back())) wide.pop_back();
  if (wide.empty()) return FileResult::Failure(Reason(ERROR_PATH_NOT_FOUND));
  win::OwnerOnly security(true);
  if (security.attributes() == nullptr) return FileResult::Failure(Reason(GetLastError()));
  // Parents first; the drive ("c:"), the root and the server and share of a UNC path exist or
  // cannot be made, so creating starts after them.
  size_t start = 0;
  if (wide.size() >= 2 && wide[1] == L':') {
    start = 2;
  } else if (wide.size() >= 2 && IsSeparator(wide[0]) && IsSeparator(wide[1])) {
    start = wide.find_first_of(L"\\/", 2);  // after the server
    if (start != std::wstring::npos) start = wide.find_first_of(L"\\/", start + 1);  // share
    if (start == std::wstring::npos) start = wide.size();
  }
  std::vector<size_t> ends;
  for (size_t at = start + 1; at < wide.size(); ++at) {
    if (IsSeparator(wide[at]) && !IsSeparator(wide[at - 1])) ends.push_back(at);
  }
  ends.push_back(wide.size());
  for (size_t end : ends) {
    const std::wstring part = wide.substr(0, end);
    if (CreateDirectoryW(part.c_str(), security.attributes())) continue;
    const DWORD error = GetLastError();
    // A parent the user may not create in (a drive's root) exists; the last check tells.
    if (error != ERROR_ALREADY_EXISTS && error != ERROR_ACCESS_DENIED) {
      return FileResult::Failure(Reason(error));
    }
  }
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return FileResult::Failure(Reason(GetLastError()));
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    return FileResult::Failure(Reason(ERROR_DIRECTORY));
  }
  return FileResult::Success();
}

int WindowsFileSystem::RemoveStaleTemporaries(const std::string& path) {
  const std::wstring wide = win::Wide(path);
  const size_t separator = wide.find_last_of(L"\\/");
  const std::wstring folder =
      separator == std::wstring::npos ? std::wstring(L".") : wide.substr(0, separator);
  const std::wstring prefix =
      (separator == std::wstring::npos ? wide : wide.substr(separator + 1)) + win::Wide(kTempInfix);
  WIN32_FIND_DATAW found{};
  const std::wstring pattern = folder + L"\\" + prefix + L"*";
  HANDLE search = FindFirstFileW(pattern.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return 0;
  int removed = 0;
  do {
    const std::wstring name = found.cFileName;
    if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) continue;
    if (name.find_first_not_of(L"0123456789", prefix.size()) != std::wstring::npos) continue;
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
    if (DeleteFileW((folder + L"\\" + name).c_str())) ++removed;
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return removed;
}

bool WindowsFileSystem::Exists(const std::string& path) {
  const std::wstring wide = win::Wide(path);
  return !wide.empty() && GetFileAttributesW(wide.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace tarnwick
