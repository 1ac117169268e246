#pragma once
// The system information dialog: this machine's facts as the platform reports
// them, one caption and value per line, in the person's language.
#include <string>

#include "host/Form.h"

namespace dalvera {

class frmSysInfo : public host::Form {
public:
    frmSysInfo();
    std::string Name() const override { return "frmSysInfo"; }
    // Reads the facts and lays them out; false (after message 177) when the
    // platform could not tell them, so there is nothing to show.
    bool Prepare();
    void Click(const std::string& controlName) override;
};

// Bytes as gigabytes with one decimal, in the person's language.
std::string FormatMemory(const std::string& bytes);

}  // namespace dalvera
