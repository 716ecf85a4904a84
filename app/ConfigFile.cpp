#include "app/ConfigFile.h"

#include "app/Console.h"
#include "app/Platform.h"
#include "disk/Disk.h"
#include "input/InputFile.h"
#include "input/LineReader.h"
#include "input/NumberText.h"
#include "kinrec.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

using namespace kinrec::detail;

namespace {

// The next space-separated token of the line, terminated in place; null when none is left.
char* NextToken(char*& p) {
    while (*p == ' ') {
        ++p;
    }
    if (*p == '\0') {
        return nullptr;
    }
    char* token = p;
    while (*p != ' ' && *p != '\0') {
        ++p;
    }
    if (*p == ' ') {
        *p++ = '\0';
    }
    return token;
}

void ToUpperAscii(char* s) {
    for (; *s != '\0'; ++s) {
        if (*s >= 'a' && *s <= 'z') {
            *s = static_cast<char>(*s - 'a' + 'A');
        }
    }
}

// A token as the user wrote it, without the line end it may carry.
std::string Shown(const char* token) {
    std::string s = token;
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) {
        s.pop_back();
    }
    return s;
}

// Applies one line; a line that is skipped for a reason the user may not expect (an
// unknown key, a key without a value) is pointed out at "<path>:<line>".
void ApplyLine(char* line, Settings* cfg, const std::string& where) {
    if (line[0] == '#') {
        return;
    }
    char* p = line;
    char* key = NextToken(p);
    if (key == nullptr || Shown(key).empty()) {
        return;
    }
    char* value = NextToken(p);
    if (value == nullptr) {
        StdConsole().Fail(where, "\"" + Shown(key) +
                                     "\" has no value (a key and its value are separated by "
                                     "a space); line skipped");
        return;
    }
    const std::string asWritten = Shown(key);
    ToUpperAscii(key);
    for (const kinrec::SettingInfo& k : kinrec::SettingTable()) {
        if (k.key != nullptr && std::strcmp(key, k.key) == 0 && k.words != nullptr) {
            // A setting of words: one of them, or the line is skipped.
            const std::string word = Shown(value);
            const std::int32_t v = kinrec::SettingValueOf(k, word);
            if (v < 0) {
                // "wrap, clip or raise": the words, until the text of a value is a number.
                std::vector<std::string> words;
                for (std::int32_t i = 0; kinrec::SettingValueOf(k, kinrec::SettingText(k, i)) == i;
                     ++i) {
                    words.push_back(kinrec::SettingText(k, i));
                }
                std::string why = asWritten;
                why += " ";
                why += word;
                why += " is not ";
                for (std::size_t i = 0; i < words.size(); ++i) {
                    why += i == 0 ? "" : i + 1 == words.size() ? " or " : ", ";
                    why += words[i];
                }
                why += "; line skipped";
                StdConsole().Fail(where, why);
                return;
            }
            cfg->*k.field = v;
            std::printf("  +%s : %s\n", k.label, kinrec::SettingText(k, v).c_str());
            return;
        }
        if (k.key != nullptr && std::strcmp(key, k.key) == 0) {
            const char* stop = nullptr;
            const std::int32_t v = ParseInt(value, &stop);
            cfg->*k.field = v;
            std::printf("  +%s : %d\n", k.label, static_cast<int>(v));
            const std::string written = Shown(value);
            // A whole number: the number's text (a sign, then at least one digit) is all
            // of the value.
            const bool whole =
                stop > value && stop[-1] >= '0' && stop[-1] <= '9' && Shown(stop).empty();
            const bool counts = k.field == &Settings::FileType && (v < 1 || v > 4);
            if (!whole || counts) {
                std::string what = asWritten;
                what += " ";
                what += written;
                if (whole) {
                    what += " is not 1, 2, 3 or 4";
                } else {
                    what += " is not a whole number; read as ";
                    what += std::to_string(v);
                }
                if (counts) {
                    what += "; used as 1 (counts)";
                }
                StdConsole().Fail(where, what);
            }
            return;
        }
    }
    StdConsole().Fail(where, "unknown key \"" + asWritten + "\"; line skipped");
}

} // namespace

int LoadConfigFile(const char* path, Settings* cfg) {
    std::FILE* f = OpenInputFile(RealDisk(), path);
    if (f == nullptr) {
        return -1;
    }
    std::printf("LoadConfigFile : %s\n\n", path);
    LineReader reader(f, 4096);
    long lineNo = 1;
    while (char* line = reader.Next()) {
        const std::size_t n = std::strlen(line);
        ApplyLine(line, cfg, std::string(path) + ":" + std::to_string(lineNo));
        if (n > 0 && line[n - 1] == '\n') {
            ++lineNo;
        }
    }
    CloseInputFile(f);
    std::printf("\nLoadConfigFile : Complete.\n\n");
    return 0;
}

std::string ConfigPathFor(const std::string& executablePath) {
    const std::size_t cut = LastSeparator(executablePath);
    const std::size_t nameStart = cut == std::string::npos ? 0 : cut + 1;
    const std::size_t dot = executablePath.rfind('.');
    if (dot == std::string::npos || dot <= nameStart) {
        return executablePath + ".cnf";
    }
    return executablePath.substr(0, dot + 1) + "cnf";
}

int LoadConfig(Settings* cfg) {
    const std::string exe = platform::ExecutablePath();
    if (!exe.empty()) {
        LoadConfigFile(ConfigPathFor(exe).c_str(), cfg);
    }
    LoadConfigFile("kinrec.cnf", cfg);
    return 0;
}
