#pragma once
// Loads the person may cancel: the front end is asked now and then, from the
// loops that read rows, whether to go on. No front end installed: loads run
// to the end unasked.
#include "runtime/Error.h"

namespace dalvera::host {

// "User interrupt occurred": what a load raises when the person cancels it.
constexpr long LoadCancelled = 18;

class LoadProgress {
public:
    virtual ~LoadProgress() = default;
    virtual void Begin() {}
    // Rows read so far; false when the person cancelled.
    virtual bool Rows(long read) = 0;
    virtual void End() {}
};

namespace detail {
inline LoadProgress* installedProgress = nullptr;
inline LoadProgress* activeProgress = nullptr;  // only inside a LoadScope
inline int loadDepth = 0;
[[noreturn]] inline void loadCancelled() { raise(LoadCancelled, "User interrupt occurred", "Load"); }
}  // namespace detail

inline void setLoadProgress(LoadProgress* progress) { detail::installedProgress = progress; }

// Around a table, a result or a reload; nested scopes are one load.
class LoadScope {
public:
    LoadScope() {
        if (detail::loadDepth++ == 0 && detail::installedProgress) {
            detail::activeProgress = detail::installedProgress;
            detail::activeProgress->Begin();
        }
    }
    ~LoadScope() {
        if (--detail::loadDepth == 0 && detail::activeProgress) {
            detail::activeProgress->End();
            detail::activeProgress = nullptr;
        }
    }
    LoadScope(const LoadScope&) = delete;
    LoadScope& operator=(const LoadScope&) = delete;
};

// Once per row from a fetch loop: only every 1024th row costs more than a test,
// so that reading stays as fast as without it.
inline void rowRead(long rows) {
    if ((rows & 1023) == 0 && detail::activeProgress && !detail::activeProgress->Rows(rows)) detail::loadCancelled();
}

}  // namespace dalvera::host
