// vmxctl completion bash|zsh: the shell completion scripts, written from the command tree
// itself, so a new command or option completes without anyone editing a script.
#include "cli/CliContext.h"

#include <cstdio>
#include <string>
#include <vector>

namespace vmx::cli {

namespace {

struct Node {
    std::string path;               // " tm power": the words after vmxctl, each after a blank
    std::vector<std::string> words; // what may follow: options and subcommands
};

void Collect(const CLI::App& app, const std::string& path, std::vector<Node>& nodes)
{
    Node node{path, {}};
    for (const CLI::Option* o : app.get_options()) {
        for (const std::string& n : o->get_lnames())
            node.words.push_back("--" + n);
        for (const std::string& n : o->get_snames())
            node.words.push_back("-" + n);
    }
    const auto subs = app.get_subcommands([](const CLI::App*) { return true; });
    for (const CLI::App* s : subs)
        node.words.push_back(s->get_name());
    nodes.push_back(node);
    for (const CLI::App* s : subs)
        Collect(*s, path + " " + s->get_name(), nodes);
}

std::string Join(const std::vector<std::string>& words, const char* sep)
{
    std::string out;
    for (const std::string& w : words)
        out += (out.empty() ? "" : sep) + w;
    return out;
}

// The case labels of every subcommand path, for the loop that finds where the cursor is.
std::string PathPattern(const std::vector<Node>& nodes)
{
    std::vector<std::string> quoted;
    for (const Node& n : nodes)
        if (!n.path.empty()) quoted.push_back("\"" + n.path + "\"");
    return Join(quoted, "|");
}

std::string Bash(const std::vector<Node>& nodes)
{
    std::string s = "# bash completion for vmxctl (written by `vmxctl completion bash`)\n"
                    "_vmxctl() {\n"
                    "    local cur=${COMP_WORDS[COMP_CWORD]} path='' w i words=''\n"
                    "    for ((i = 1; i < COMP_CWORD; i++)); do\n"
                    "        w=${COMP_WORDS[i]}\n"
                    "        case \"$path $w\" in\n"
                    "            " +
                    PathPattern(nodes) +
                    ") path=\"$path $w\" ;;\n"
                    "        esac\n"
                    "    done\n"
                    "    case \"$path\" in\n";
    for (const Node& n : nodes)
        s += "        \"" + n.path + "\") words='" + Join(n.words, " ") + "' ;;\n";
    s += "    esac\n"
         "    COMPREPLY=($(compgen -W \"$words\" -- \"$cur\"))\n"
         "    # Arguments are mostly files (exports, HEX images, parameter files).\n"
         "    [ ${#COMPREPLY[@]} -eq 0 ] && COMPREPLY=($(compgen -f -- \"$cur\"))\n"
         "    return 0\n"
         "}\n"
         "complete -o filenames -F _vmxctl vmxctl\n";
    return s;
}

std::string Zsh(const std::vector<Node>& nodes)
{
    std::string s = "#compdef vmxctl\n"
                    "# zsh completion for vmxctl (written by `vmxctl completion zsh`)\n"
                    "local p='' w i\n"
                    "local -a choices\n"
                    "for ((i = 2; i < CURRENT; i++)); do\n"
                    "  w=${words[i]}\n"
                    "  case \"$p $w\" in\n"
                    "    (" +
                    PathPattern(nodes) +
                    ") p=\"$p $w\" ;;\n"
                    "  esac\n"
                    "done\n"
                    "case \"$p\" in\n";
    for (const Node& n : nodes)
        s += "  (\"" + n.path + "\") choices=(" + Join(n.words, " ") + ") ;;\n";
    s += "esac\n"
         "compadd -a choices\n"
         "_files\n";
    return s;
}

} // namespace

void AddCompletionCommand(CLI::App& app, CliContext& ctx)
{
    static std::string shell;
    auto* c = app.add_subcommand("completion", "Print the shell completion script (bash or zsh)");
    c->add_option("SHELL", shell, "bash or zsh")->required()->check(CLI::IsMember({"bash", "zsh"}));
    c->callback([&app, &ctx] {
        ctx.run = [&app] {
            std::vector<Node> nodes;
            Collect(app, "", nodes);
            const std::string text = shell == "bash" ? Bash(nodes) : Zsh(nodes);
            std::fwrite(text.data(), 1, text.size(), stdout);
            return std::fflush(stdout) == 0 ? kExitOk : kExitFailed;
        };
    });
}

} // namespace vmx::cli
