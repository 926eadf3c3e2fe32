#include "support/command_line_models.h"

namespace vantle::testing {

std::optional<std::wstring> CmdModel(const std::wstring& line,
                                     const std::map<std::wstring, std::wstring>& variables) {
    std::wstring expanded;
    for (size_t i = 0; i < line.size();) {
        const size_t close = line[i] == L'%' ? line.find(L'%', i + 1) : std::wstring::npos;
        if (close != std::wstring::npos) {
            const auto it = variables.find(line.substr(i + 1, close - i - 1));
            if (it != variables.end()) {
                expanded += it->second;
                i = close + 1;
                continue;
            }
        }
        expanded += line[i++];
    }
    std::wstring out;
    bool quoted = false;
    for (size_t i = 0; i < expanded.size(); ++i) {
        const wchar_t c = expanded[i];
        if (c == L'"') {
            quoted = !quoted;
        } else if (!quoted && c == L'^') {
            if (++i == expanded.size()) return std::nullopt;  // continuation: not ours
            out += expanded[i];
            continue;
        } else if (!quoted && std::wstring(L"&|<>()").find(c) != std::wstring::npos) {
            return std::nullopt;
        }
        out += c;
    }
    return out;
}

std::vector<std::wstring> CrtArguments(const std::wstring& s) {
    std::vector<std::wstring> args;
    std::wstring current;
    bool inArgument = false;
    bool quoted = false;
    for (size_t i = 0; i < s.size();) {
        const wchar_t c = s[i];
        if (c == L'\\') {
            size_t count = 0;
            while (i < s.size() && s[i] == L'\\') ++count, ++i;
            inArgument = true;
            if (i < s.size() && s[i] == L'"') {
                current.append(count / 2, L'\\');
                if (count % 2 == 1) {
                    current += L'"';
                    ++i;
                }
            } else {
                current.append(count, L'\\');
            }
            continue;
        }
        if (c == L'"') {
            inArgument = true;
            if (quoted && i + 1 < s.size() && s[i + 1] == L'"') {
                current += L'"';  // "" inside quotes: a literal quote, still quoted
                i += 2;
                continue;
            }
            quoted = !quoted;
            ++i;
            continue;
        }
        if ((c == L' ' || c == L'\t') && !quoted) {
            if (inArgument) args.push_back(current);
            current.clear();
            inArgument = false;
            ++i;
            continue;
        }
        current += c;
        inArgument = true;
        ++i;
    }
    if (inArgument) args.push_back(current);
    return args;
}

std::wstring RandomHardValue(std::mt19937& random, size_t maxLength) {
    static const std::wstring alphabet =
        L" \t\"\\&|^<>()%!=,;'`~*?-/:.aZ09x\u00e9\u00fc\u00df\u4e2d\u0416\u20ac\u00a0";
    std::uniform_int_distribution<size_t> length(0, maxLength);
    std::uniform_int_distribution<size_t> pick(0, alphabet.size() - 1);
    std::wstring value(length(random), L'\0');
    for (wchar_t& c : value) c = alphabet[pick(random)];
    return value;
}

}  // namespace vantle::testing
