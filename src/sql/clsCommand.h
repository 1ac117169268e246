#pragma once
// The command runner: stored queries, views and typed SQL.
namespace dalvera {

class clsCommand {
public:
    void Run(bool view, bool query, int index);
};

}  // namespace dalvera
