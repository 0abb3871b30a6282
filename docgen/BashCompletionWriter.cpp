#include <set>

#include "CompletionWriter.h"

namespace {

std::string Words(const std::vector<std::string>& words) {
    std::string out;
    for (const std::string& word : words) {
        out += (out.empty() ? "" : " ") + word;
    }
    return out;
}

std::string Alternatives(const std::set<std::string>& names) {
    std::string out;
    for (const std::string& name : names) {
        out += (out.empty() ? "" : "|") + name;
    }
    return out;
}

std::string FunctionName(const std::string& program) {
    std::string name = "_" + program;
    for (char& c : name) {
        c = c == '-' ? '_' : c;
    }
    return name;
}

// Every option a program knows, once, whichever command takes it.
std::vector<const UsageOption*> AllOptions(const ProgramUsage& usage) {
    std::vector<const UsageOption*> all;
    std::set<std::string> seen;
    const auto add = [&](const std::vector<UsageOption>& options) {
        for (const UsageOption& option : options) {
            if (seen.insert(option.names.back()).second) {
                all.push_back(&option);
            }
        }
    };
    add(usage.options);
    for (const UsageCommand& command : usage.commands) {
        add(command.options);
    }
    return all;
}

std::string NamesOf(const std::vector<UsageOption>& options) {
    std::vector<std::string> names;
    for (const UsageOption& option : options) {
        names.insert(names.end(), option.names.begin(), option.names.end());
    }
    return Words(names);
}

// Offers the words that begin with what was typed, in any letter case, as the program takes
// them ("pf" gives PFLASH); after a comma, the words for the item after it.
std::string ChooseFunction(const std::string& choose) {
    return choose +
           "()\n{\n    local comma=$1 prefix= typed=$cur word\n    shift\n"
           "    if $comma; then\n"
           "        prefix=${cur%\"${cur##*,}\"} typed=${cur##*,}\n"
           "        compopt -o nospace\n"
           "    fi\n"
           "    for word; do\n"
           "        [[ ${word,,} == \"${typed,,}\"* ]] && COMPREPLY+=(\"$prefix$word\")\n"
           "    done\n"
           "    return 0\n}\n\n";
}

// What the shell offers for an option's value, by what the option takes.
std::string ValueAction(ValueKind kind, const ValueChoices& choices, const std::string& pods,
                        const std::string& choose) {
    switch (kind) {
        case ValueKind::Cpu:
            return choose + " false " + Words(choices.cpus);
        case ValueKind::RegionName:
            return choose + " false " + Words(choices.regions);
        case ValueKind::RegionList:
            // The names after the last comma; the ones before it stay as typed.
            return choose + " true " + Words(choices.regions);
        case ValueKind::PodSerial:
            return choose + " false $(" + pods + ")";
        case ValueKind::PodList:
            return choose + " true all $(" + pods + ")";
        case ValueKind::Fill:
            return choose + " false " + Words(choices.fills);
        case ValueKind::Path:
            return "_filedir";
        default:
            return ":";
    }
}

// Lists the pods with the simulation options already on the line, so that the simulated
// ones are offered where they are meant.
std::string PodsFunction(const ProgramUsage& usage, const std::string& pods,
                         const std::string& podLister) {
    std::set<std::string> simFlags;
    std::set<std::string> simValues;
    for (const UsageOption* option : AllOptions(usage)) {
        for (const std::string& name : option->names) {
            if (name.rfind("--sim", 0) == 0) {
                (option->value.empty() ? simFlags : simValues).insert(name);
            }
        }
    }
    std::string out = pods + "()\n{\n    local -a ask=()\n    local i\n";
    out += "    for ((i = 1; i < cword; i++)); do\n        case ${words[i]} in\n";
    if (!simFlags.empty()) {
        out += "            " + Alternatives(simFlags) + ") ask+=(\"${words[i]}\") ;;\n";
    }
    if (!simValues.empty()) {
        out += "            " + Alternatives(simValues) +
               ") ask+=(\"${words[i]}\" \"${words[i + 1]}\") ;;\n";
        out += "            --sim*=*) ask+=(\"${words[i]}\") ;;\n";
    }
    out += "        esac\n    done\n";
    out += "    \"" + podLister + "\" \"${ask[@]}\" list 2>/dev/null |\n";
    out += "        while IFS=$'\\t' read -r _ serial _ kind _; do\n";
    out += "            [[ $kind == pod ]] && printf '%s\\n' \"$serial\"\n";
    out += "        done\n}\n\n";
    return out;
}

// The values of the options that take one.
std::string ValueCases(const ProgramUsage& usage, const ValueChoices& choices,
                       const std::string& pods, const std::string& choose) {
    std::string out = "    case $prev in\n";
    for (const UsageOption* option : AllOptions(usage)) {
        if (option->value.empty()) {
            continue;
        }
        std::set<std::string> names(option->names.begin(), option->names.end());
        out += "        " + Alternatives(names) + ")\n            " +
               ValueAction(option->kind, choices, pods, choose) + "\n            return ;;\n";
    }
    return out + "    esac\n    $split && return\n\n";
}

// The command is the first word that is neither an option nor an option's value; options
// are offered for it, then commands or S-record files.
std::string CommandCases(const ProgramUsage& usage) {
    std::set<std::string> valued;
    for (const UsageOption* option : AllOptions(usage)) {
        if (!option->value.empty()) {
            valued.insert(option->names.begin(), option->names.end());
        }
    }
    std::string out = "    local command= i\n";
    out += "    for ((i = 1; i < cword; i++)); do\n        case ${words[i]} in\n";
    out += "            " + Alternatives(valued) + ") ((i++)) ;;\n";
    out += "            -*) ;;\n";
    out += "            *) command=${words[i]}; break ;;\n";
    out += "        esac\n    done\n\n";
    out += "    if [[ $cur == -* ]]; then\n        local options=\"" + NamesOf(usage.options) +
           "\"\n        case $command in\n";
    std::vector<std::string> commandNames;
    std::set<std::string> withCommand;
    for (const UsageCommand& command : usage.commands) {
        commandNames.push_back(command.name);
        if (command.operand == "COMMAND") {
            withCommand.insert(command.name);
        }
        if (!command.options.empty()) {
            out += "            " + command.name + ") options+=\" " + NamesOf(command.options) +
                   "\" ;;\n";
        }
    }
    out += "        esac\n        COMPREPLY=($(compgen -W \"$options\" -- \"$cur\"))\n";
    out += "        return\n    fi\n\n";
    out += "    if [[ -z $command" +
           (withCommand.empty() ? "" : " || $command == @(" + Alternatives(withCommand) + ")") +
           " ]]; then\n";
    out += "        COMPREPLY=($(compgen -W \"" + Words(commandNames) + "\" -- \"$cur\"))\n";
    out += "        return\n    fi\n";
    // A command's words after it (station-db's actions): only as its first operand.
    for (const UsageCommand& command : usage.commands) {
        if (command.actions.empty()) {
            continue;
        }
        out += "    if [[ $command == " + command.name + " ]]; then\n";
        out += "        local operands=0\n";
        out += "        for ((i++; i < cword; i++)); do\n";
        out += "            case ${words[i]} in\n";
        out += "                " + Alternatives(valued) + ") ((i++)) ;;\n";
        out += "                -*) ;;\n                *) ((operands++)) ;;\n";
        out += "            esac\n        done\n";
        out += "        ((operands == 0)) && COMPREPLY=($(compgen -W \"" + Words(command.actions) +
               "\" -- \"$cur\"))\n";
        out += "        return\n    fi\n";
    }
    return out;
}

}  // namespace

std::string BashCompletion(const ProgramUsage& usage, const ValueChoices& choices,
                           const std::string& podLister) {
    const std::string function = FunctionName(usage.name);
    const std::string pods = function + "_pods";
    const std::string choose = function + "_choose";
    std::string out = "# bash completion for " + usage.name +
                      "; written by vantix-docgen from the program's option tables.\n\n";
    out += PodsFunction(usage, pods, podLister);
    out += ChooseFunction(choose);
    out += function + "()\n{\n    local cur prev words cword split\n";
    out += "    _init_completion -s || return\n\n";
    out += ValueCases(usage, choices, pods, choose);
    if (usage.commands.empty()) {
        out += "    if [[ $cur == -* ]]; then\n";
        out += "        COMPREPLY=($(compgen -W \"" + NamesOf(usage.options) + "\" -- \"$cur\"))\n";
        out += "        return\n    fi\n";
        out += "    _filedir '@(s|S)'\n}\n\n";
        return out + "complete -F " + function + " " + usage.name + "\n";
    }
    out += CommandCases(usage);
    std::set<std::string> withFile;
    for (const UsageCommand& command : usage.commands) {
        if (command.operand == "FILE") {
            withFile.insert(command.name);
        }
    }
    out += "    case $command in\n        " + Alternatives(withFile) +
           ") _filedir '@(s|S)' ;;\n    esac\n}\n\n";
    return out + "complete -F " + function + " " + usage.name + "\n";
}
