#include "ManPageWriter.h"

#include <cctype>
#include <map>
#include <sstream>

namespace {

constexpr std::size_t kLineBytes = 80;

// Whether text[i] begins a word: the first character, or one after a blank or a bracket.
bool WordStart(const std::string& text, std::size_t i) {
    const unsigned char before = i == 0 ? ' ' : static_cast<unsigned char>(text[i - 1]);
    return !std::isalnum(before) && before != '-' && before != '_' && before != '.';
}

// Backslashes and minus signs escaped; a control character at the start of a line made
// plain text. A word that begins with a dash (an option's name) is never hyphenated at the
// end of a line: "\%" in front of it says so, and its dashes are minus signs, after which
// roff never breaks.
std::string Escape(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const bool lineStart = i == 0 || text[i - 1] == '\n';
        if (lineStart && (c == '.' || c == '\'')) {
            out += "\\&";
        }
        if (c == '\\') {
            out += "\\e";
        } else if (c == '-') {
            out += WordStart(text, i) ? "\\%\\-" : "\\-";
        } else {
            out += c;
        }
    }
    return out;
}

// Roff lines of prose, broken at blanks so that no source line exceeds kLineBytes; roff
// fills them again when it sets the page.
std::string Fill(const std::string& roff) {
    std::string out;
    std::string line;
    std::size_t start = 0;
    while (start <= roff.size()) {
        std::size_t end = roff.find(' ', start);
        end = end == std::string::npos ? roff.size() : end;
        const std::string word = roff.substr(start, end - start);
        start = end + 1;
        if (word.empty()) {
            continue;
        }
        if (!line.empty() && line.size() + 1 + word.size() > kLineBytes) {
            out += line + "\n";
            line.clear();
        }
        const bool control = line.empty() && (word[0] == '.' || word[0] == '\'');
        line += (line.empty() ? "" : " ") + std::string(control ? "\\&" : "") + word;
    }
    return line.empty() ? out : out + line + "\n";
}

// Upper-case words (FILE, CPU, OPTIONS) are placeholders: italic.
std::string Placeholders(const std::string& text) {
    std::string out;
    std::string word;
    const auto flush = [&] {
        const bool placeholder =
            word.size() > 1 && std::isupper(static_cast<unsigned char>(word[0]));
        bool upper = placeholder;
        for (char c : word) {
            upper = upper && (std::isupper(static_cast<unsigned char>(c)) || c == '_');
        }
        out += upper ? "\\fI" + word + "\\fR" : Escape(word);
        word.clear();
    };
    for (char c : text) {
        if (std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-' || c == '.') {
            word += c;
        } else {
            flush();
            out += Escape(std::string(1, c));
        }
    }
    flush();
    return out;
}

// An example shown as typed: indented at the top level; within an indented paragraph a
// further indent would reset the paragraph's own, so it keeps that one.
std::string Example(const std::string& roff, bool indented) {
    return indented ? ".EX\n" + roff + ".EE\n" : ".RS 4\n.EX\n" + roff + ".EE\n.RE\n";
}

// Help text in roff: lines of prose filled, a blank line starts a new paragraph with
// paragraphMacro (.PP, or .IP within an indented paragraph), and lines indented by two
// blanks are shown as they are.
std::string Text(const std::string& text, const char* paragraphMacro) {
    const bool indented = std::string(paragraphMacro) == ".IP";
    std::istringstream lines(text);
    std::string out;
    std::string prose;
    std::string example;
    const auto flush = [&] {
        out += Fill(prose);
        prose.clear();
        if (!example.empty()) {
            out += Example(example, indented);
            example.clear();
        }
    };
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("  ", 0) == 0) {
            out += Fill(prose);
            prose.clear();
            example += Escape(line.substr(2)) + "\n";
        } else if (line.find_first_not_of(' ') == std::string::npos) {
            flush();
            out += std::string(paragraphMacro) + "\n";
        } else {
            if (!example.empty()) {
                flush();
                if (!indented) {
                    out += ".PP\n";
                }
            }
            prose += " " + Escape(line.substr(line.find_first_not_of(' ')));
        }
    }
    flush();
    return out;
}

std::string Upper(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return text;
}

std::string OptionTag(const UsageOption& option) {
    std::string tag;
    for (const std::string& name : option.names) {
        tag += (tag.empty() ? "" : ", ") + std::string("\\fB") + Escape(name) + "\\fR";
    }
    if (!option.value.empty()) {
        tag += " \\fI" + Escape(option.value) + "\\fR";
    }
    return tag;
}

std::string OptionList(const std::vector<UsageOption>& options) {
    std::string out;
    for (const UsageOption& option : options) {
        out += ".TP\n" + OptionTag(option) + "\n" + Text(option.description, ".IP");
    }
    return out;
}

std::string Entries(const std::vector<UsageEntry>& entries, const char* font) {
    std::string out;
    for (const UsageEntry& entry : entries) {
        out += ".TP\n\\f" + std::string(font) + Escape(entry.term) + "\\fR\n" +
               Text(entry.text, ".IP");
    }
    return out;
}

std::string Commands(const ProgramUsage& usage) {
    std::string out = ".SH COMMANDS\n";
    // Options shared by several commands are explained once, below the commands.
    std::vector<UsageOption> shared;
    std::map<std::string, std::vector<std::string>> takenBy;
    for (const UsageCommand& command : usage.commands) {
        out += ".TP\n\\fB" + Escape(command.name) + "\\fR\n";
        out += Placeholders(command.usage) + "\n.IP\n" + Text(command.description, ".IP");
        std::string names;
        for (const UsageOption& option : command.options) {
            names += (names.empty() ? "" : ", ") + std::string("\\fB") +
                     Escape(option.names.front()) + "\\fR";
            if (takenBy[option.names.front()].empty()) {
                shared.push_back(option);
            }
            takenBy[option.names.front()].push_back(command.name);
        }
        if (!names.empty()) {
            out += ".IP\n" + Fill("Options: " + names + ".");
        }
        out += ".IP\nExample:\n" + Example(Escape(command.example) + "\n", true);
    }
    out += ".SH COMMAND OPTIONS\n";
    for (const UsageOption& option : shared) {
        std::string commands;
        for (const std::string& name : takenBy[option.names.front()]) {
            commands += (commands.empty() ? "" : ", ") + std::string("\\%") + Escape(name);
        }
        out += ".TP\n" + OptionTag(option) + "\n" + Text(option.description, ".IP") + ".IP\n" +
               Fill("Taken by: " + commands + ".");
    }
    return out;
}

}  // namespace

std::string ManPage(const ProgramUsage& usage, const std::string& date, const std::string& source) {
    std::string out = ".\\\" Written by vantix-docgen from the program's option tables.\n";
    out += ".TH " + Escape(Upper(usage.name)) + " 1 " + date + " \"" + Escape(source) +
           "\" \"User Commands\"\n";
    out += ".SH NAME\n" + Fill(Escape(usage.name) + " \\- " + Escape(usage.summary));
    out += ".SH SYNOPSIS\n.B " + Escape(usage.name) + "\n" + Placeholders(usage.synopsis) + "\n";
    for (const UsageCommand& command : usage.commands) {
        const std::string invocation = usage.name + " " + command.name;
        out += ".br\n.B " + Escape(invocation) + "\n";
        // A command with no operand and no option has nothing after its name.
        if (command.usage.size() > invocation.size() + 1) {
            out += Placeholders(command.usage.substr(invocation.size() + 1)) + "\n";
        }
    }
    out += ".SH DESCRIPTION\n";
    for (std::size_t i = 0; i < usage.description.size(); ++i) {
        out += (i > 0 ? ".PP\n" : "") + Text(usage.description[i], ".PP");
    }
    out += ".SH " + usage.optionsHeading + "\n";
    if (!usage.operand.empty()) {
        out +=
            ".TP\n\\fI" + Escape(usage.operand) + "\\fR\n" + Text(usage.operandDescription, ".IP");
    }
    out += OptionList(usage.options);
    if (!usage.commands.empty()) {
        out += Commands(usage);
    }
    out += ".SH EXIT STATUS\n" + Entries(usage.exitStatuses, "B");
    if (!usage.environment.empty()) {
        out += ".SH ENVIRONMENT\n" + Entries(usage.environment, "B");
    }
    out += ".SH FILES\n" + Entries(usage.files, "I");
    out += ".SH EXAMPLES\n";
    for (std::size_t i = 0; i < usage.examples.size(); ++i) {
        out += (i > 0 ? ".PP\n" : "") + Text(usage.examples[i].term, ".PP") +
               Example(Escape(usage.examples[i].text) + "\n", false);
    }
    out += ".SH SEE ALSO\n";
    for (std::size_t i = 0; i < usage.seeAlso.size(); ++i) {
        const std::string& page = usage.seeAlso[i];
        const std::size_t open = page.find('(');
        out += ".BR " + Escape(page.substr(0, open)) + " " + page.substr(open) +
               (i + 1 < usage.seeAlso.size() ? " ," : "") + "\n";
    }
    return out;
}
