#pragma once
// Stands in for the person at a load's cancel button: installed for its
// lifetime, it cancels when asked at or past a row count.
#include "host/Progress.h"

namespace dalvera::test {

class CancelLoadAt : public host::LoadProgress {
public:
    explicit CancelLoadAt(long rows) : rows_(rows) { host::setLoadProgress(this); }
    ~CancelLoadAt() override {
        if (host::detail::installedProgress == this) host::setLoadProgress(nullptr);
    }
    CancelLoadAt(const CancelLoadAt&) = delete;
    CancelLoadAt& operator=(const CancelLoadAt&) = delete;
    bool Rows(long read) override {
        asked = read;
        return read < rows_;
    }
    long asked = 0;  // the rows read when last asked

private:
    long rows_;
};

}  // namespace dalvera::test
