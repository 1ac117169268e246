#pragma once
// The information dialog: the product's name and version, a link to the manual
// beside the program and a button that shows this system's facts.
#include "host/Form.h"

namespace dalvera {

class frmAbout : public host::Form {
public:
    frmAbout();
    std::string Name() const override { return "frmAbout"; }
    // Fills the texts for the current language and product.
    void Prepare();
    void Click(const std::string& controlName) override;
};

}  // namespace dalvera
