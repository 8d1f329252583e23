// The state behind a Registry: the store, the open handles and the caller's transaction.
// Every public call takes the mutex, then runs its body through Run(), which supplies the
// transaction, the retries when another process holds the store, and the mapping of database
// failures to Win32 codes.
#pragma once

#include <filesystem>
#include <mutex>
#include <new>
#include <string_view>
#include <unordered_map>

#include "platform/system/errors.h"
#include "platform/registry/registry.h"
#include "registry_store.h"

namespace platform {

struct Registry::Impl {
  Impl(std::filesystem::path databaseFile, Faults* faults)
      : file(std::move(databaseFile)), store(file.string(), faults) {}

  // Runs `op` (returning a Win32 code) inside the caller's transaction when one is open, else
  // in a transaction of its own that is retried while another process holds the store.
  template <class Op>
  long Run(bool write, Op&& op);
  // Run() for a body that works on one key: resolves the handle, then calls op(id).
  template <class Op>
  long OnKey(bool write, RegKey key, Op&& op);
  long Failure(const registry_internal::SqlError& e, bool write);
  // Ends the caller's transaction after damage was found; returns kErrorBadDatabase.
  long Abandon();

  // Handle to key id, for a key that still exists.
  long Resolve(RegKey key, int64_t* id);
  // Follows (and with `create`, makes) the key path below `from`.
  long Walk(int64_t from, std::string_view path, bool create, int64_t* id, bool* created);
  RegKey NewHandle(int64_t id);
  long Fetch(RegKey key, std::string_view name, registry_internal::StoredValue* value);

  std::filesystem::path file;
  registry_internal::RegistryStore store;
  std::mutex mutex;
  std::unordered_map<RegKey, int64_t> handles;
  RegKey nextHandle = 0x1000;
  int depth = 0;        // nesting of BeginTransaction calls
  bool doomed = false;  // an inner scope rolled back: the whole transaction will
};

inline constexpr int kBusyAttempts = 4;  // each waits up to the store's busy timeout

template <class Op>
long Registry::Impl::Run(bool write, Op&& op) {
  using registry_internal::IsBusy;
  if (!store.usable()) return kErrorBadDatabase;
  if (depth > 0) {
    if (write && doomed) return kErrorCancelled;
    try {
      return op();
    } catch (const registry_internal::SqlError& e) {
      // A call that failed part way may have left some of its changes behind, and SQLite ends
      // the transaction itself on some failures: either way it can no longer be committed.
      doomed = true;
      return Failure(e, write);
    } catch (const std::bad_alloc&) {
      return kErrorNotEnoughMemory;
    }
  }
  for (int attempt = 1;; ++attempt) {
    try {
      write ? store.Begin() : store.BeginRead();
      long result = op();
      result == kErrorSuccess ? store.Commit() : store.Rollback();
      return result;
    } catch (const registry_internal::SqlError& e) {
      store.Rollback();
      if (!IsBusy(e.code) || attempt == kBusyAttempts) return Failure(e, write);
    } catch (const std::bad_alloc&) {
      store.Rollback();
      return kErrorNotEnoughMemory;
    }
  }
}

template <class Op>
long Registry::Impl::OnKey(bool write, RegKey key, Op&& op) {
  return Run(write, [&]() -> long {
    int64_t id = 0;
    long e = Resolve(key, &id);
    return e != kErrorSuccess ? e : op(id);
  });
}

}  // namespace platform
