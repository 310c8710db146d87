#include "cli/cli_args.h"

#include <charconv>
#include <cstring>
#include <optional>
#include <string_view>

#include "session/operations.h"

namespace dov::cli {

namespace {

struct OptionDef {
    const char* name;
    ActionKind kind;
    bool takesValue;
    int number;  // for the on/off options
    int op = 0;  // ActionKind::Operation: its id
};

constexpr OptionDef kOptions[] = {
    {"--open", ActionKind::Open, true, 0},
    {"--folder", ActionKind::Folder, true, 0},
    {"--exec", ActionKind::Exec, true, 0},
    {"--macro", ActionKind::Macro, true, 0},
    {"--mkdir", ActionKind::MakeDir, false, 0},
    {"--move-to", ActionKind::MoveTo, true, 0},
    {"--into-folders", ActionKind::IntoFolders, false, 1},
    {"--no-into-folders", ActionKind::IntoFolders, false, 0},
    {"--auto-index", ActionKind::AutoIndex, false, 1},
    {"--no-auto-index", ActionKind::AutoIndex, false, 0},
    {"--list", ActionKind::List, false, 0},
    {"--tree", ActionKind::Tree, false, 0},
    {"--save", ActionKind::Save, true, 0},
    {"--rename", ActionKind::Rename, false, 0},
    {"--copy-to", ActionKind::CopyTo, true, 0},
    {"--check", ActionKind::Check, false, 0},
    {"--undo", ActionKind::Undo, false, 0},
    {"--names-from", ActionKind::NamesFrom, true, 0},
    {"--discard-journal", ActionKind::DiscardJournal, false, 0},
    {"--info", ActionKind::Info, true, 0},
};

// The option of a name: one of the above, or an operation's spelling from the table.
std::optional<OptionDef> FindOption(std::string_view name) {
    for (const OptionDef& o : kOptions)
        if (name == o.name) return o;
    for (const Operation& op : Operations())
        if (op.cli && name == op.cli)
            return OptionDef{op.cli, ActionKind::Operation, op.cliValue != CliValue::None, 0,
                             op.id};
    return std::nullopt;
}

bool TakesLimit(int op) {
    const Operation* row = FindOperation(op);
    return row && row->cliValue == CliValue::Limit;
}

bool ParseLimit(const std::string& text, int& value) {
    const char* first = text.data();
    const char* last = first + text.size();
    auto [ptr, ec] = std::from_chars(first, last, value);
    return ec == std::errc() && ptr == last && value > 0;
}

}  // namespace

bool ParseArgs(int argc, char** argv, Args& out, std::string& error) {
    out = Args{};
    bool onlyPaths = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (onlyPaths || arg.empty() || arg[0] != '-' || arg == "-") {
            // An empty PATH (a script's unset variable) would load the current folder.
            if (arg.empty()) {
                error = "an empty PATH was given";
                return false;
            }
            out.paths.push_back(std::move(arg));
            continue;
        }
        if (arg == "--") {
            onlyPaths = true;
            continue;
        }
        if (arg == "--help" || arg == "-h") {
            out.help = true;
            continue;
        }
        if (arg == "--version") {
            out.version = true;
            continue;
        }
        // --name=value is accepted as well as --name value.
        std::string name = arg;
        std::string value;
        bool inlineValue = false;
        if (std::size_t eq = arg.find('='); eq != std::string::npos && arg.rfind("--", 0) == 0) {
            name = arg.substr(0, eq);
            value = arg.substr(eq + 1);
            inlineValue = true;
        }
        const std::optional<OptionDef> def = FindOption(name);
        if (!def) {
            error = "unknown option '" + arg + "' (see --help)";
            return false;
        }
        if (!def->takesValue && inlineValue) {
            error = "option '" + name + "' takes no value";
            return false;
        }
        if (def->takesValue && !inlineValue) {
            if (i + 1 >= argc) {
                error = "option '" + name + "' needs a value";
                return false;
            }
            value = argv[++i];
        }
        Action a{def->kind, value, def->number, name, def->op};
        if (def->kind == ActionKind::Operation && TakesLimit(def->op) &&
            !ParseLimit(value, a.number)) {
            error = name + " needs a positive whole number, not '" + value + "'";
            return false;
        }
        if ((def->kind == ActionKind::Open || def->kind == ActionKind::Macro ||
             def->kind == ActionKind::Save || def->kind == ActionKind::CopyTo ||
             def->kind == ActionKind::NamesFrom || def->kind == ActionKind::Info) &&
            value.empty()) {
            error = "option '" + name + "' needs a non-empty path";
            return false;
        }
        if (def->kind == ActionKind::Exec && value.empty()) {
            error = "--exec needs a macro statement";
            return false;
        }
        out.actions.push_back(std::move(a));
    }
    return true;
}

const char* UsageText() {
    return "Usage: dovreth-cli [OPTION]... [PATH]...\n"
           "Load each PATH (a file or a folder) under the root of the edit tree, then run the\n"
           "options one after another in the order given.\n"
           "\n"
           "  --open FILE          replace the edit tree by a save data file\n"
           "  --folder TREEPATH    show this folder of the edit tree (new names joined by '/';\n"
           "                       '' or '/' is the root); no row is selected\n"
           "  --select-all         select every row\n"
           "  --exec STATEMENT     run one macro statement\n"
           "  --macro FILE         run a macro file (CP932, or UTF-8 with a byte-order mark)\n"
           "  --limit N            limit the length of the selected rows' names to N bytes\n"
           "  --mkdir              make a new folder in the folder shown; it becomes the only\n"
           "                       selected row\n"
           "  --move-to TREEPATH   move the selected rows into that folder of the edit tree\n"
           "  --into-folders, --no-into-folders   edits reach into selected folders (or not)\n"
           "  --auto-index, --no-auto-index       the automatic index prefix (or not)\n"
           "  --list               print the rows: original name TAB new name TAB write name\n"
           "  --names-from FILE    new names of the rows, one a line in --list's order and\n"
           "                       with its escapes ('-': standard input); a different\n"
           "                       number of lines or a refused name changes nothing\n"
           "  --tree               print the whole edit tree with the new names\n"
           "                       (in --list and --tree a backslash, tab, line feed or\n"
           "                       carriage return in a name is shown as \\\\, \\t, \\n, \\r)\n"
           "  --save FILE          write a save data file\n"
           "  --check              print the renames that would fail: reason TAB path TAB\n"
           "                       write path; exit status 1 when there is any\n"
           "  --rename             rename on disk (questions are answered yes); every change\n"
           "                       is journaled first\n"
           "  --undo               take back the changes of the last journaled rename (or\n"
           "                       undo), also of one that was cut short\n"
           "  --discard-journal    remove the journal of a rename or undo that did not finish,\n"
           "                       so that --rename may start (its changes can then no\n"
           "                       longer be undone)\n"
           "  --copy-to DIR        copy the tree into DIR under the new names\n"
           "  --paste-info-left TEMPLATE, --paste-info-right TEMPLATE, --paste-info TEMPLATE\n"
           "                       put a template's expansion before the selected rows' new\n"
           "                       names, before their extensions, or in place of the name\n"
           "                       before the extension; fields: {exif.date} {exif.model}\n"
           "                       {exif.width} {exif.height} {tag.artist} {tag.album}\n"
           "                       {tag.title} {tag.track} {tag.year} {mtime} {parent},\n"
           "                       {mtime:%Y%m%d} (strftime), {tag.track:02} (width),\n"
           "                       {exif.date|mtime} (the first the file has), {{ for '{';\n"
           "                       \\ / : , ; * ? < > | in a value become full-width;\n"
           "                       the rows lacking a field are counted as no information\n"
           "  --sort-date-taken    sort the folder shown by the date taken (else the\n"
           "                       modification time)\n"
           "  --info PATH          print every field a file gives the naming templates:\n"
           "                       name TAB value\n"
           "  --help               show this text\n"
           "  --version            show the version\n"
           "\n"
           "Settings are read from dovreth.ini in the program's own folder and never written.\n"
           "Exit status: 0 success; 1 the name check refused the tree, an item failed to\n"
           "rename or copy, a rename is predicted to fail (--check), a change could not be\n"
           "undone, a file could not be written, or Ctrl+C stopped the run; 2 a usage\n"
           "error or an input that could not be read.\n";
}

}  // namespace dov::cli
