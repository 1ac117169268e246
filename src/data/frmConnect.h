#pragma once
// The native connection dialog of the server variants: which kind of server,
// server, port, database and the logon. OK checks what is filled in and hides
// the dialog; Cancel (or the close box) leaves it cancelled.
#include <string>

#include "host/Form.h"

namespace dalvera {

class frmConnect : public host::Form {
public:
    frmConnect();
    std::string Name() const override { return "frmConnect"; }

    bool SqlServer();
    void SetSqlServer(bool v);
    std::string Server();
    std::string Port();
    std::string Database();
    std::string User();
    std::string Password();
    bool Trusted();
    void SetServer(const std::string& v);
    void SetPort(const std::string& v);
    void SetDatabase(const std::string& v);
    void SetUser(const std::string& v);
    void SetPassword(const std::string& v);
    bool Cancelled() const { return cancelled_; }

    void Activate() override;
    void Click(const std::string& controlName) override;
    void QueryClose() override;

private:
    // Integrated logon only where the driver has it; it needs no name or password.
    void updateLogon();
    bool cancelled_ = true;
};

}  // namespace dalvera
