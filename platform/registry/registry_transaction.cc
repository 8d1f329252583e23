// Transactions. One transaction belongs to the Registry object: nested scopes join the outer
// one, and a rollback in an inner scope dooms the whole of it, so that an outer commit cannot
// report success for work that an inner scope threw away.
#include "registry_impl.h"

namespace platform {

using registry_internal::SqlError;

long Registry::BeginTransaction() {
  std::lock_guard lock(impl_->mutex);
  Impl& s = *impl_;
  if (!s.store.usable()) return kErrorBadDatabase;
  if (s.depth == 0) {
    for (int attempt = 1;; ++attempt) {
      try {
        s.store.Begin();
        break;
      } catch (const SqlError& e) {
        if (!registry_internal::IsBusy(e.code) || attempt == kBusyAttempts) {
          return s.Failure(e, true);
        }
      }
    }
    s.doomed = false;
  }
  ++s.depth;
  return kErrorSuccess;
}

long Registry::CommitTransaction() {
  std::lock_guard lock(impl_->mutex);
  Impl& s = *impl_;
  if (!s.store.usable()) return s.Abandon();
  if (s.depth == 0) return kErrorInvalidParameter;
  if (--s.depth > 0) return kErrorSuccess;
  if (s.doomed || !s.store.InTransaction()) {
    s.store.Rollback();
    return kErrorCancelled;
  }
  try {
    s.store.Commit();
    return kErrorSuccess;
  } catch (const SqlError& e) {
    s.store.Rollback();
    return s.Failure(e, true);
  }
}

long Registry::RollbackTransaction() {
  std::lock_guard lock(impl_->mutex);
  Impl& s = *impl_;
  if (!s.store.usable()) return s.Abandon();
  if (s.depth == 0) return kErrorInvalidParameter;
  if (--s.depth > 0) {
    s.doomed = true;
  } else {
    s.store.Rollback();
  }
  return kErrorSuccess;
}

// Once the store is found damaged nothing more is written: drop whatever transaction is open.
long Registry::Impl::Abandon() {
  store.Rollback();
  depth = 0;
  doomed = false;
  return kErrorBadDatabase;
}

}  // namespace platform
