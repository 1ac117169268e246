// dalvera-db: create, inspect and secure the engine's database files.
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "platform/access/Mirror.h"
#include "platform/access/Password.h"
#include "platform/jet/Jet.h"
#include "platform/jet/Script.h"
#include "platform/jet/Security.h"
#include "platform/jet/Types.h"
#include "runtime/DateSerial.h"
#include "runtime/Error.h"
#include "runtime/Text.h"

using namespace dalvera;
namespace dao = dalvera::host::dao;
namespace ado = dalvera::host::ado;

namespace {

const char* const Help = R"(Usage: dalvera-db COMMAND ...

  create FILE SCRIPT            create a new database FILE from a script
  password FILE [NEW]           set (NEW) or clear the database password; asks
                                for the current password on standard input
                                when the database has one
  workgroup FILE USER PASSWORD  create a workgroup file or add an account to it
  secure FILE [USER...]         let only these accounts of the workgroup file
                                given with --systemdb open FILE (no USER: open
                                to everyone again)
  info FILE                     tables, fields, indexes, relations and queries
  sql FILE STATEMENT            run one statement: rows as CSV, or the number
                                of records affected
  convert ACCESS OUT            write the tables, rows, field properties,
                                indexes, relations and saved queries of an MS
                                Access file (.mdb, .mde, .accdb, .accde) to a
                                new, editable database OUT; one with a
                                database password needs --password

Options for opening FILE (password, secure, info, sql, convert):
  --password P                  the database password
  --systemdb W --user U --logon L   a workgroup logon

Scripts hold statements of the database dialect separated by ";" and two
directives of the engine's own:

  PROPERTY [Table].[Field] Caption = 'Name', ColumnWidth = 1800, ColumnHidden = True;
  PROPERTY [Table] Description = 'Our customers';
  QUERY [Name] AS SELECT ...;
  QUERY [Name] TYPE 112 AS ...;

Property values are quoted texts, numbers or True/False. A stored query may
begin with a PARAMETERS clause ("PARAMETERS [Start] DateTime; SELECT ...").
Comments start with "--". The database password only controls who may open
the file; it does not encrypt it.

Errors exit with status 1 and print the engine's number and text.
)";

struct Options {
    std::vector<std::string> args;
    std::string password, systemDb, user, logon;
};

Options parse(int argc, char** argv) {
    Options o;
    for (int i = 2; i < argc; ++i) {
        std::string a = argv[i];
        auto take = [&](std::string& into) {
            if (i + 1 >= argc) raise(5, "Option " + a + " needs a value.", "dalvera-db");
            into = argv[++i];
        };
        if (a == "--password") take(o.password);
        else if (a == "--systemdb") take(o.systemDb);
        else if (a == "--user") take(o.user);
        else if (a == "--logon") take(o.logon);
        else o.args.push_back(a);
    }
    return o;
}

std::shared_ptr<jet::Database> openDatabase(const Options& o, const std::string& path, const std::string& password) {
    std::shared_ptr<dao::DBEngine> engine = jet::daoProvider()->NewPrivateEngine();
    if (!o.systemDb.empty()) {
        engine->SystemDB(o.systemDb);
        engine->DefaultUser(o.user);
        engine->DefaultPassword(o.logon);
        return std::static_pointer_cast<jet::Database>(engine->Workspaces(0)->OpenDatabase(path));
    }
    return std::static_pointer_cast<jet::Database>(
        engine->Workspaces(0)->OpenDatabase(path, false, false, ";pwd=" + password));
}

std::string typeName(int t) {
    switch (t) {
    case 1: return "Boolean";
    case 2: return "Byte";
    case 3: return "Integer";
    case 4: return "Long";
    case 5: return "Currency";
    case 6: return "Single";
    case 7: return "Double";
    case 8: return "Date";
    case 9: return "Binary";
    case 10: return "Text";
    case 11: return "LongBinary";
    case 12: return "Memo";
    case 15: return "GUID";
    case 16: return "BigInt";
    case 20: return "Decimal";
    default: return "type " + std::to_string(t);
    }
}

std::string shown(const Variant& v) {
    if (v.isString()) return "\"" + v.stringRef() + "\"";
    if (v.isNull()) return "Null";
    return v.text();
}

int create(const Options& o) {
    if (o.args.size() != 2) raise(5, "create needs FILE and SCRIPT.", "dalvera-db");
    const std::string& file = o.args[0];
    std::ifstream in(o.args[1], std::ios::binary);
    if (!in) raise(3024, "Could not find file '" + o.args[1] + "'.", "dalvera-db");
    std::stringstream script;
    script << in.rdbuf();
    if (std::filesystem::exists(file)) raise(3204, "Database already exists.", "dalvera-db");
    // Built under a temporary name, so a failing script leaves no half database.
    std::string temp = file + ".part" + std::to_string(::getpid());
    std::filesystem::remove(temp);
    try {
        auto db = jet::CreateDatabase(temp);
        int n = jet::runScript(*db, script.str());
        db->Close();
        std::filesystem::rename(temp, file);
        std::cout << file << ": " << n << " statements\n";
    } catch (...) {
        std::filesystem::remove(temp);
        throw;
    }
    return 0;
}

int password(const Options& o) {
    if (o.args.empty() || o.args.size() > 2) raise(5, "password needs FILE and optionally NEW.", "dalvera-db");
    std::string current = o.password;
    std::shared_ptr<jet::Database> db;
    try {
        db = openDatabase(o, o.args[0], current);
    } catch (const Error& e) {
        if (e.number() != 3031 || !current.empty()) throw;
        std::cerr << "Current password: ";
        std::getline(std::cin, current);
        db = openDatabase(o, o.args[0], current);
    }
    db->NewPassword(current, o.args.size() == 2 ? o.args[1] : std::string());
    std::cout << (o.args.size() == 2 ? "Password set.\n" : "Password cleared.\n");
    return 0;
}

int workgroup(const Options& o) {
    if (o.args.size() != 3) raise(5, "workgroup needs FILE, USER and PASSWORD.", "dalvera-db");
    jet::addWorkgroupAccount(o.args[0], o.args[1], o.args[2]);
    std::cout << "Account " << o.args[1] << " saved in " << o.args[0] << ".\n";
    return 0;
}

int secure(const Options& o) {
    if (o.args.empty()) raise(5, "secure needs FILE.", "dalvera-db");
    auto db = openDatabase(o, o.args[0], o.password);
    db->SetSecuredAccounts(std::vector<std::string>(o.args.begin() + 1, o.args.end()));
    std::cout << (o.args.size() > 1 ? "Secured.\n" : "Open to everyone.\n");
    return 0;
}

int info(const Options& o) {
    if (o.args.size() != 1) raise(5, "info needs FILE.", "dalvera-db");
    auto db = openDatabase(o, o.args[0], o.password);
    std::cout << "Database " << db->Name() << "\n";
    for (const auto& t : db->TableDefs()) {
        std::cout << "\nTable " << t->Name();
        if (t->Attributes() & dao::SystemObject) std::cout << " (system)";
        std::cout << "\n";
        for (const auto& p : t->Properties()) std::cout << "  " << p->Name() << " = " << shown(p->Value()) << "\n";
        for (const auto& f : t->Fields()) {
            auto adoType = jet::typeFromDao(f->Type(), f->Size());
            std::cout << "  Field " << f->Name() << ": " << typeName(f->Type()) << " (DAO " << f->Type() << ", ADO "
                      << adoType.ado << "), size " << f->Size() << ", ADO size " << adoType.adoSize;
            if (!f->DefaultValue().text().empty()) std::cout << ", default " << f->DefaultValue().text();
            if (f->Attributes() & dao::AutoIncrField) std::cout << ", auto-number";
            if (f->Required()) std::cout << ", required";
            if (f->AllowZeroLength()) std::cout << ", allows \"\"";
            std::cout << "\n";
            const auto& props = f->Properties();
            for (long i = 0; i < props.Count(); ++i) {
                auto p = props.Item(i);
                static const std::vector<std::string> builtins{"Name", "Type", "Size", "Attributes", "OrdinalPosition",
                                                               "DefaultValue", "Required", "AllowZeroLength",
                                                               "ValidationRule"};
                bool builtin = false;
                for (const auto& b : builtins) builtin = builtin || b == p->Name();
                if (builtin || (p->Value().isString() && p->Value().stringRef().empty()) ||
                    (p->Name() == "AppendOnly" && !p->Value().toBool()))
                    continue;
                std::cout << "    " << p->Name() << " = " << shown(p->Value()) << "\n";
            }
        }
        for (const auto& ix : t->Indexes()) {
            std::cout << "  Index " << ix->Name() << (ix->Primary() ? " primary" : "") << (ix->Unique() ? " unique" : "")
                      << " (";
            for (long i = 0; i < ix->Fields().Count(); ++i) std::cout << (i ? ", " : "") << ix->Fields()(i)->Name();
            std::cout << ")\n";
        }
    }
    std::cout << "\n";
    for (const auto& r : db->Relations()) {
        std::cout << "Relation " << r->Name() << ": " << r->Table() << " -> " << r->ForeignTable() << " (";
        for (long i = 0; i < r->Fields().Count(); ++i)
            std::cout << (i ? ", " : "") << r->Fields(i)->Name() << " = " << r->Fields(i)->ForeignName();
        std::cout << ")\n";
    }
    for (const auto& q : db->QueryDefs()) {
        std::cout << "Query " << q->Name() << " (type " << q->Type() << "): " << q->SQL() << "\n";
        for (const auto& p : q->Parameters())
            std::cout << "  Parameter " << p->Name() << ": " << typeName(p->Type()) << " (DAO " << p->Type()
                      << "), direction " << p->Direction() << "\n";
    }
    return 0;
}

std::string csv(const Variant& v) {
    std::string s;
    switch (v.type()) {
    case VarType::Null:
    case VarType::Empty: return "";
    case VarType::Date: s = formatDateIso(v.toDateSerial(), true); break;
    case VarType::Boolean: s = v.toBool() ? "True" : "False"; break;
    case VarType::ByteArray: {
        static const char* hex = "0123456789ABCDEF";
        s = "0x";
        for (auto b : v.bytes()) s += std::string{hex[b >> 4], hex[b & 15]};
        break;
    }
    default: s = v.text();
    }
    if (s.find_first_of(",\"\r\n") == std::string::npos) return s;
    return "\"" + replaceAll(s, "\"", "\"\"") + "\"";
}

const char* noticeText(access::Notice::Kind k) {
    switch (k) {
    case access::Notice::Attachment: return "attachment or multi-valued field, its values are not carried over";
    case access::Notice::MultiValued: return "multi-valued field, its values are not carried over";
    case access::Notice::LinkMissing: return "linked table whose source cannot be read";
    case access::Notice::DamagedTable: return "table that cannot be read or written";
    case access::Notice::DamagedQuery: return "saved query that cannot be rebuilt";
    case access::Notice::DroppedRelation: return "relationship without a unique key on its one side, not carried over";
    case access::Notice::Calculated: return "calculated field whose expression the engine cannot evaluate, left empty";
    }
    return "";
}

int convert(const Options& o) {
    if (o.args.size() != 2) raise(5, "convert needs ACCESS and OUT.", "dalvera-db");
    // libmdb would read it without the password: the header is asked here.
    if (auto stored = access::headerPassword(o.args[0]); stored && !stored->empty() && o.password.empty())
        raise(3031, "The file '" + o.args[0] + "' has a database password; give it with --password.", "dalvera-db");
    access::checkPassword(o.args[0], o.password);
    auto report = access::writeEngineDatabase(o.args[0], o.args[1]);
    std::cout << o.args[1] << ": " << report.tables << (report.tables == 1 ? " table, " : " tables, ") << report.rows
              << (report.rows == 1 ? " row, " : " rows, ") << report.queries
              << (report.queries == 1 ? " query\n" : " queries\n");
    for (const auto& n : report.notices)
        std::cerr << "dalvera-db: " << n.object << (n.detail.empty() ? "" : " (" + n.detail + ")") << ": "
                  << noticeText(n.kind) << "\n";
    return 0;
}

int sql(const Options& o) {
    if (o.args.size() != 2) raise(5, "sql needs FILE and STATEMENT.", "dalvera-db");
    auto c = jet::adoProvider()->NewConnection();
    std::string cs = "Dbq={" + replaceAll(o.args[0], "}", "}}") + "};";
    if (!o.systemDb.empty())
        cs += "Uid={" + replaceAll(o.user, "}", "}}") + "};Pwd={" + replaceAll(o.logon, "}", "}}") + "};SystemDB={" +
              replaceAll(o.systemDb, "}", "}}") + "};";
    else
        cs += "Pwd={" + replaceAll(o.password, "}", "}}") + "};";
    c->Open(cs);
    long affected = -1;
    auto rs = c->Execute(o.args[1], affected);
    if (rs->State() == ado::state::Open) {
        const auto& f = rs->Fields();
        for (long i = 0; i < f.Count(); ++i) std::cout << (i ? "," : "") << csv(Variant(f(i)->Name()));
        std::cout << "\n";
        for (; !rs->Eof(); rs->MoveNext()) {
            for (long i = 0; i < f.Count(); ++i) std::cout << (i ? "," : "") << csv(f(i)->Value());
            std::cout << "\n";
        }
    } else if (affected >= 0) {
        std::cout << affected << (affected == 1 ? " record" : " records") << " affected\n";
    } else {
        std::cout << "Done.\n";
    }
    c->Close();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::string cmd = argc > 1 ? argv[1] : "";
    if (cmd.empty() || cmd == "--help" || cmd == "-h" || cmd == "help") {
        std::cout << Help;
        return cmd.empty() ? 1 : 0;
    }
    try {
        Options o = parse(argc, argv);
        if (cmd == "create") return create(o);
        if (cmd == "password") return password(o);
        if (cmd == "workgroup") return workgroup(o);
        if (cmd == "secure") return secure(o);
        if (cmd == "info") return info(o);
        if (cmd == "sql") return sql(o);
        if (cmd == "convert") return convert(o);
        std::cerr << "dalvera-db: unknown command '" << cmd << "'\n" << Help;
        return 1;
    } catch (const Error& e) {
        long number = e.number();
        std::string text = e.description();
        // Driver errors carry one number for all; show the engine's own.
        if (number == ado::ProviderError || number == -2147217904) {
            number = jet::lastEngineError();
            auto p = text.find("] ");
            if (text.rfind("[", 0) == 0 && p != std::string::npos) text = text.substr(p + 2);
        }
        std::cerr << "dalvera-db: error " << number << ": " << text << "\n";
        return 1;
    } catch (const std::exception& e) {
        std::cerr << "dalvera-db: " << e.what() << "\n";
        return 1;
    }
}
