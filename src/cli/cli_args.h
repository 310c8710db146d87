// The command line of dovreth-cli: the paths to load and the options, in the order given.
#pragma once

#include <string>
#include <vector>

namespace dov::cli {

enum class ActionKind {
    Open,            // --open FILE
    Folder,          // --folder TREEPATH
    Operation,       // an operation of the table with a dovreth-cli spelling (--select-all,
                     // --limit N)
    Exec,            // --exec STATEMENT
    Macro,           // --macro FILE
    MakeDir,         // --mkdir
    MoveTo,          // --move-to TREEPATH
    IntoFolders,     // --into-folders / --no-into-folders
    AutoIndex,       // --auto-index / --no-auto-index
    List,            // --list
    Tree,            // --tree
    Save,            // --save FILE
    Rename,          // --rename
    CopyTo,          // --copy-to DIR
    Check,           // --check
    Undo,            // --undo
    NamesFrom,       // --names-from FILE|-
    DiscardJournal,  // --discard-journal
    Info,            // --info PATH
};

struct Action {
    ActionKind kind;
    std::string text;    // the option's argument as given (UTF-8)
    int number = 0;      // --limit's N; 1 or 0 for the on/off options
    std::string option;  // the option as written, for messages
    int op = 0;          // Operation: the operation's id
};

struct Args {
    std::vector<std::string> paths;  // UTF-8, as given
    std::vector<Action> actions;
    bool help = false;
    bool version = false;
};

// Reads argv[1..]. false with a one-line reason in error for a usage error.
bool ParseArgs(int argc, char** argv, Args& out, std::string& error);

// The text of --help.
const char* UsageText();

}  // namespace dov::cli
