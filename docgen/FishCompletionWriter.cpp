#include <set>

#include "CompletionWriter.h"

namespace {

std::string Quoted(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        out += c == '\'' || c == '\\' ? std::string("\\") + c : std::string(1, c);
    }
    return out + "'";
}

// The description on one line; fish shortens it to the terminal's width.
std::string OneLine(const std::string& text) {
    std::string out;
    for (char c : text) {
        out += c == '\n' ? ' ' : c;
    }
    return out;
}

std::string Words(const std::vector<std::string>& words) {
    std::string out;
    for (const std::string& word : words) {
        out += (out.empty() ? "" : " ") + word;
    }
    return out;
}

std::string SFiles(const std::string& function) {
    return "-a '(" + function + ")'";
}

// One complete line per option; condition limits it to some commands.
std::string OptionLine(const std::string& program, const UsageOption& option,
                       const std::string& condition, const ValueChoices& choices,
                       const std::string& pods) {
    std::string line = "complete -c " + program;
    if (!condition.empty()) {
        line += " -n " + Quoted(condition);
    }
    for (const std::string& name : option.names) {
        line += name.rfind("--", 0) == 0 ? " -l " + name.substr(2) : " -s " + name.substr(1);
    }
    switch (option.kind) {
        case ValueKind::Flag:
            break;
        case ValueKind::Cpu:
            line += " -x -a " + Quoted(Words(choices.cpus));
            break;
        case ValueKind::RegionName:
        case ValueKind::RegionList:
            line += " -x -a " + Quoted(Words(choices.regions));
            break;
        case ValueKind::Fill:
            line += " -x -a " + Quoted(Words(choices.fills));
            break;
        case ValueKind::PodSerial:
            line += " -x -a '(" + pods + ")'";
            break;
        case ValueKind::PodList:
            line += " -x -a '(echo all; " + pods + ")'";
            break;
        case ValueKind::Path:
            line += " -r -F";
            break;
        default:
            line += " -x";
            break;
    }
    return line + " -d " + Quoted(OneLine(option.description)) + "\n";
}

}  // namespace

std::string FishCompletion(const ProgramUsage& usage, const ValueChoices& choices,
                           const std::string& podLister) {
    const std::string& program = usage.name;
    std::string prefix = "__" + program;
    for (char& c : prefix) {
        c = c == '-' ? '_' : c;
    }
    const std::string pods = prefix + "_pods";
    // fish calls the program by name; "${words[0]}" is bash's spelling of the same.
    const std::string lister = podLister.find('$') != std::string::npos ? program : podLister;
    std::string out = "# fish completion for " + program +
                      "; written by vantix-docgen from the program's option tables.\n\n";
    // The pods that list reports, asked with the simulation options already on the line.
    out += "function " + pods + "\n    set -l ask\n    set -l words (commandline -opc)\n";
    out += "    for i in (seq 2 (count $words))\n        switch $words[$i]\n";
    out += "            case '--sim*=*' --simulate --sim-realtime\n";
    out += "                set -a ask $words[$i]\n";
    out += "            case '--sim*'\n";
    out += "                set -a ask $words[$i] $words[(math $i + 1)]\n";
    out += "        end\n    end\n";
    out += "    " + lister +
           " $ask list 2>/dev/null | while read -d \\t -l index serial "
           "description kind rest\n";
    out += "        test \"$kind\" = pod; and echo $serial\n    end\nend\n\n";
    // fish offers other files after those with the suffix; S-record files and folders only.
    const std::string sFiles = prefix + "_s_files";
    out += "function " + sFiles + "\n";
    out += "    begin; __fish_complete_suffix .s; __fish_complete_suffix .S; end |\n";
    out += "        string match -r '^[^\\t]*(?:\\.[sS]|/)(?:\\t.*)?$' | sort -u\nend\n\n";
    out += "complete -c " + program + " -f\n";
    for (const UsageOption& option : usage.options) {
        out += OptionLine(program, option, "", choices, pods);
    }
    if (usage.commands.empty()) {
        return out + "complete -c " + program + " " + SFiles(sFiles) + "\n";
    }
    std::vector<std::string> names;
    for (const UsageCommand& command : usage.commands) {
        names.push_back(command.name);
    }
    const std::string all = Words(names);
    for (const UsageCommand& command : usage.commands) {
        out += "complete -c " + program + " -n " +
               Quoted("not __fish_seen_subcommand_from " + all) + " -a " + command.name + " -d " +
               Quoted(command.summary) + "\n";
        const std::string in = "__fish_seen_subcommand_from " + command.name;
        for (const UsageOption& option : command.options) {
            out += OptionLine(program, option, in, choices, pods);
        }
        if (command.operand == "FILE") {
            out += "complete -c " + program + " -n " + Quoted(in) + " " + SFiles(sFiles) + "\n";
        } else if (command.operand == "COMMAND") {
            out += "complete -c " + program + " -n " + Quoted(in) + " -x -a " + Quoted(all) + "\n";
        }
    }
    return out;
}
