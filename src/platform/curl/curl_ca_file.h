// The trusted CAs of libcurl's TLS (https reads and SMTP over TLS): the system's, and those of
// the PEM file SSL_CERT_FILE names when it is set, as the curl tool takes them.
//
// On Windows the variable is read in UTF-16 and the file is handed to libcurl as bytes
// (CURLOPT_CAINFO_BLOB): getenv gives the ANSI form of the variable, and libcurl's Schannel opens
// a CA path in the ANSI code page, so a path with characters outside it (Greek under cp1252) was
// lost twice. A file that cannot be read, or is larger than kCaFileLimit, is handed over by name,
// so that every TLS transfer fails with libcurl's reason instead of trusting less than asked.
#pragma once

#include <curl/curl.h>

#include <cstddef>
#include <cstdlib>
#include <string>

#ifdef _WIN32
#include <windows.h>
#endif

namespace tarnwick {

inline constexpr char kCaFileVariable[] = "SSL_CERT_FILE";
// libcurl's Schannel refuses a larger CA file by name; a bundle of every public CA is about
// 220 KB.
inline constexpr std::size_t kCaFileLimit = 1u << 20;

#ifdef _WIN32
namespace curl_ca_file_detail {

// The file's bytes, or false when it cannot be read whole within kCaFileLimit.
inline bool ReadBounded(const wchar_t* path, std::string& bytes) {
  HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER size{};
  bool ok = GetFileSizeEx(file, &size) != FALSE && size.QuadPart >= 0 &&
            static_cast<unsigned long long>(size.QuadPart) <= kCaFileLimit;
  if (ok) {
    bytes.resize(static_cast<std::size_t>(size.QuadPart));
    DWORD got = 0;
    ok = ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr) != FALSE &&
         got == bytes.size();
  }
  CloseHandle(file);
  return ok;
}

inline std::string Utf8(const wchar_t* text) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 1) return {};
  std::string out(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), size, nullptr, nullptr);
  out.resize(static_cast<std::size_t>(size - 1));
  return out;
}

}  // namespace curl_ca_file_detail
#endif

// Gives `easy` the CAs of the file SSL_CERT_FILE names; without the variable (or with it empty)
// the handle keeps the system's store.
inline void UseCaFile(CURL* easy) {
#ifdef _WIN32
  const wchar_t* path = _wgetenv(L"SSL_CERT_FILE");
  if (path == nullptr || *path == L'\0') return;
  std::string bytes;
  if (curl_ca_file_detail::ReadBounded(path, bytes)) {
    curl_blob blob{bytes.data(), bytes.size(), CURL_BLOB_COPY};
    curl_easy_setopt(easy, CURLOPT_CAINFO_BLOB, &blob);
    return;
  }
  const std::string named = curl_ca_file_detail::Utf8(path);
  curl_easy_setopt(easy, CURLOPT_CAINFO, named.c_str());
#else
  const char* path = std::getenv(kCaFileVariable);
  if (path != nullptr && *path != '\0') curl_easy_setopt(easy, CURLOPT_CAINFO, path);
#endif
}

}  // namespace tarnwick
