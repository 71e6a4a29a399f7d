#include "platform/windows/nt_process_lister.h"

#include <windows.h>
#include <winternl.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>

#include "common/text.h"
#include "platform/windows/handle.h"
#include "platform/windows/wide_text.h"

namespace tarnwick {
namespace {

// SYSTEM_PROCESS_INFORMATION as a 64-bit Windows writes it; the short 32-bit layouts of older
// documentation do not fit. Only the fields read here are named.
struct ProcessRecord {
  uint32_t nextEntryOffset;
  uint32_t numberOfThreads;
  uint8_t reserved1[24];
  int64_t createTime;
  int64_t userTime;
  int64_t kernelTime;
  uint16_t nameLength;  // bytes, without a terminating zero
  uint16_t nameMaximumLength;
  uint32_t namePadding;
  uint64_t nameBuffer;  // PWSTR
  int32_t basePriority;
  uint32_t priorityPadding;
  uint64_t uniqueProcessId;
  uint64_t inheritedFromUniqueProcessId;
  uint32_t handleCount;
  uint32_t sessionId;
  uint64_t uniqueProcessKey;
  uint64_t peakVirtualSize;
  uint64_t virtualSize;
  uint32_t pageFaultCount;
  uint32_t faultPadding;
  uint64_t peakWorkingSetSize;
  uint64_t workingSetSize;
};
static_assert(offsetof(ProcessRecord, createTime) == 32);
static_assert(offsetof(ProcessRecord, nameLength) == 56);
static_assert(offsetof(ProcessRecord, uniqueProcessId) == 80);
static_assert(offsetof(ProcessRecord, workingSetSize) == 144);

constexpr ULONG kSystemProcessInformation = 5;
constexpr LONG kStatusInfoLengthMismatch = static_cast<LONG>(0xC0000004);
// The whole table of a busy server takes a few MiB; anything beyond this is not a process table.
constexpr size_t kMaxBuffer = 64u << 20;
// FILETIME of 1970-01-01 00:00:00 UTC.
constexpr int64_t kUnixEpochTicks = 116444736000000000LL;
constexpr int64_t kTicksPerSecond = 10000000;
// The system's idle time and its own threads, listed like processes.
constexpr int kIdlePid = 0;
constexpr int kSystemPid = 4;

using QueryFunction = LONG(NTAPI*)(ULONG, PVOID, ULONG, PULONG);

QueryFunction NtQuery() {
  static const QueryFunction query = [] {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    if (ntdll == nullptr) return QueryFunction{};
    return reinterpret_cast<QueryFunction>(
        reinterpret_cast<void*>(GetProcAddress(ntdll, "NtQuerySystemInformation")));
  }();
  return query;
}

// A name longer than a file name is no executable's; longer texts are cut here.
constexpr size_t kNameLimit = 255;

// The name as the user sees it: without ".exe", its length bounded, and every character that
// could forge a log line or steer a terminal shown as "?".
std::string ShownName(std::string name) {
  constexpr std::string_view kSuffix = ".exe";
  if (name.size() > kSuffix.size() &&
      ToLower(name.substr(name.size() - kSuffix.size())) == kSuffix) {
    name.resize(name.size() - kSuffix.size());
  }
  if (name.size() > kNameLimit) name.resize(kNameLimit);
  return PrintableText(name);
}

bool IsAccount(PSID sid, WELL_KNOWN_SID_TYPE type) {
  return IsWellKnownSid(sid, type) != FALSE;
}

}  // namespace

bool IsServiceOwner(ProcessOwner owner) {
  return owner != ProcessOwner::User;
}

ProcessOwner TokenOwnerQuery::OwnerOf(int pid) {
  const win::Handle process(
      OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid)));
  if (!process) return ProcessOwner::Unknown;
  HANDLE rawToken = nullptr;
  if (!OpenProcessToken(process.get(), TOKEN_QUERY, &rawToken)) return ProcessOwner::Unknown;
  const win::Handle token(rawToken);
  // TOKEN_USER holds the SID behind it; 256 bytes hold any SID.
  alignas(TOKEN_USER) std::byte buffer[256];
  DWORD length = 0;
  if (!GetTokenInformation(token.get(), TokenUser, buffer, sizeof buffer, &length)) {
    return ProcessOwner::Unknown;
  }
  PSID sid = reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid;
  if (IsAccount(sid, WinLocalSystemSid)) return ProcessOwner::LocalSystem;
  if (IsAccount(sid, WinLocalServiceSid)) return ProcessOwner::LocalService;
  if (IsAccount(sid, WinNetworkServiceSid)) return ProcessOwner::NetworkService;
  return ProcessOwner::User;
}

std::vector<ProcessInfo> ParseProcessRecords(const std::byte* buffer, size_t size) {
  std::vector<ProcessInfo> out;
  size_t at = 0;
  while (at + sizeof(ProcessRecord) <= size) {
    ProcessRecord record{};
    std::memcpy(&record, buffer + at, sizeof record);
    const auto next = [&] {
      if (record.nextEntryOffset == 0 || record.nextEntryOffset > size - at) return false;
      at += record.nextEntryOffset;
      return true;
    };
    ProcessInfo info;
    info.pid = static_cast<int>(record.uniqueProcessId);
    // A process without threads has ended and stays in the table only while someone holds a
    // handle to it; it takes no processor time and cannot be terminated any more.
    if (record.numberOfThreads == 0 && info.pid != kIdlePid) {
      if (!next()) break;
      continue;
    }
    // The name points into the same buffer (the system writes it after the record).
    const auto base = reinterpret_cast<uintptr_t>(buffer);
    const uint64_t nameAt = record.nameBuffer;
    const size_t nameBytes = record.nameLength & ~1u;
    if (nameBytes > 0 && nameAt >= base && nameAt - base <= size &&
        nameBytes <= size - (nameAt - base)) {
      std::wstring wide(nameBytes / 2, L'\0');
      std::memcpy(wide.data(), buffer + (nameAt - base), nameBytes);
      info.name = ShownName(win::Utf8(wide));
    } else if (info.pid == kIdlePid) {
      info.name = "Idle";
    }
    info.pseudoProcess = info.pid == kIdlePid || info.pid == kSystemPid;
    info.cpuTimeNs = static_cast<uint64_t>(record.userTime + record.kernelTime) * 100u;
    info.workingSetBytes = record.workingSetSize;
    info.startTicks = static_cast<uint64_t>(record.createTime);
    info.creationTime =
        record.createTime > 0 ? (record.createTime - kUnixEpochTicks) / kTicksPerSecond : 0;
    out.push_back(std::move(info));
    if (!next()) break;
  }
  return out;
}

NtProcessLister::NtProcessLister(std::unique_ptr<IProcessOwnerQuery> owners)
    : owners_(owners ? std::move(owners) : std::make_unique<TokenOwnerQuery>()),
      buffer_(256 * 1024) {}

bool NtProcessLister::Snapshot(ProcessSnapshot& snapshot) {
  const QueryFunction query = NtQuery();
  if (query == nullptr) return false;
  ULONG returned = 0;
  for (;;) {
    const LONG status = query(kSystemProcessInformation, buffer_.data(),
                              static_cast<ULONG>(buffer_.size()), &returned);
    if (status >= 0) break;
    if (status != kStatusInfoLengthMismatch || buffer_.size() >= kMaxBuffer) return false;
    // The table may grow between the calls; ask for room to spare.
    size_t next = std::max<size_t>(buffer_.size() * 2, static_cast<size_t>(returned) + 64 * 1024);
    buffer_.assign(std::min(next, kMaxBuffer), std::byte{0});
  }
  snapshot.takenAtNs = std::chrono::duration_cast<std::chrono::nanoseconds>(
                           std::chrono::steady_clock::now().time_since_epoch())
                           .count();
  snapshot.processes = ParseProcessRecords(
      buffer_.data(), returned == 0 ? buffer_.size() : std::min<size_t>(returned, buffer_.size()));
  for (ProcessInfo& p : snapshot.processes) {
    p.systemAccount = IsServiceOwner(owners_->OwnerOf(p.pid));
  }
  return true;
}

}  // namespace tarnwick
