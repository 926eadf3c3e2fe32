#pragma once

#include <string>
#include <utility>
#include <vector>

namespace vantle {

// Variables a child process gets on top of (or instead of) the ones it would inherit.
using EnvironmentOverrides = std::vector<std::pair<std::wstring, std::wstring>>;

// The environment block CreateProcess takes with CREATE_UNICODE_ENVIRONMENT: `current` (the
// entries "NAME=value" as GetEnvironmentStrings lists them) with `overrides` set, sorted by
// name without regard to case as Windows expects, each entry NUL-ended and the whole block
// ended by one more NUL. The hidden "=C:=C:\dir" entries, which carry the current folder of
// each drive, are kept. A name matches an existing one without regard to case (ASCII letters;
// variable names outside ASCII are compared as they are).
std::wstring BuildEnvironmentBlock(const std::vector<std::wstring>& current,
                                   const EnvironmentOverrides& overrides);

// Splits a block as GetEnvironmentStrings returns it (double-NUL ended) into its entries.
std::vector<std::wstring> SplitEnvironmentBlock(const wchar_t* block);

}  // namespace vantle
