#pragma once
// The host wrapper: attaches to the running spreadsheet application, refuses an
// instance the person cannot see, and keeps the person's own host options.
#include "host/Excel.h"

namespace dalvera {

class clsExcel {
public:
    clsExcel();
    host::ApplicationPtr GetApplication() const { return moExcel_; }
    void SaveUserOptions();
    void RestoreUserOptions();
    bool RestoreOptionsPending() const { return restoreOptionsPending_; }
    void SetRestoreOptionsPending(bool v) { restoreOptionsPending_ = v; }

private:
    void QuitHiddenInstance();
    host::ApplicationPtr moExcel_;
    bool restoreOptionsPending_ = false;
};

}  // namespace dalvera
