#include "install/cmd_quoting.h"

#include "common/error.h"

namespace vantle {
namespace {

constexpr std::wstring_view kCmdMetacharacters = L"\"&|<>()^%!";

bool IsControl(wchar_t c) {
    return c < 0x20 || c == 0x7F;
}

bool HoldsLineEnd(std::wstring_view value) {
    return value.find_first_of(std::wstring_view(L"\r\n\0", 3)) != std::wstring_view::npos;
}

// One run of the C runtime's quoting: `"text"` with backslashes doubled where they precede a
// quote, and literal quotes written as \".
void AppendQuotedRun(std::wstring& out, std::wstring_view run) {
    out += L'"';
    size_t backslashes = 0;
    for (const wchar_t c : run) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        if (c == L'"') {
            out.append(backslashes * 2 + 1, L'\\');
        } else {
            out.append(backslashes, L'\\');
        }
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, L'\\');
    out += L'"';
}

// The C runtime's view: quoted runs, with each '%' bare between them.
std::wstring RuntimeQuoted(std::wstring_view value) {
    if (value.empty()) return L"\"\"";
    std::wstring out;
    size_t start = 0;
    for (;;) {
        const size_t percent = value.find(L'%', start);
        const std::wstring_view run = value.substr(start, percent - start);
        if (!run.empty()) {
            AppendQuotedRun(out, run);
        } else if (start != 0 && percent != std::wstring_view::npos) {
            out += L"\"\"";  // "%%": an empty run keeps a quote between the two
        }
        if (percent == std::wstring_view::npos) break;
        out += L'%';
        start = percent + 1;
    }
    return out;
}

}  // namespace

void RequirePassable(std::wstring_view value, const std::wstring& what) {
    if (!HoldsLineEnd(value)) return;
    RefuseForCommandLine(what +
                         L" holds a line break or NUL character, which cannot be passed on a "
                         L"command line");
}

void RefuseForCommandLine(const std::wstring& why) {
    throw Error(ErrorNumber(0x80070057u), L"ScriptTools", why);  // E_INVALIDARG
}

bool IsPlainArgument(std::wstring_view value) {
    if (value.empty()) return false;
    for (const wchar_t c : value) {
        if (c == L' ' || IsControl(c) || kCmdMetacharacters.find(c) != std::wstring_view::npos)
            return false;
    }
    return true;
}

bool IsPlainQuotedPath(std::wstring_view path) {
    for (const wchar_t c : path) {
        // Inside quotes cmd.exe leaves & | < > ( ) ^ alone; it still expands % (and !).
        if (IsControl(c) || c == L'"' || c == L'%' || c == L'!') return false;
    }
    return true;
}

std::wstring EscapeForCmd(std::wstring_view value) {
    RequirePassable(value, L"A value");
    std::wstring out;
    for (const wchar_t c : RuntimeQuoted(value)) {
        // '%' stays bare: cmd.exe's variable expansion runs before caret removal.
        if (c != L'%' && kCmdMetacharacters.find(c) != std::wstring_view::npos) out += L'^';
        out += c;
    }
    return out;
}

std::wstring CmdArgument(std::wstring_view value) {
    return IsPlainArgument(value) ? std::wstring(value) : EscapeForCmd(value);
}

std::wstring CmdQuotedPath(std::wstring_view path) {
    if (IsPlainQuotedPath(path)) return L"\"" + std::wstring(path) + L"\"";
    return EscapeForCmd(path);
}

}  // namespace vantle
