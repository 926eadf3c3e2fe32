#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace vantle {

// The one failure type of the program: what a Windows error object carries (number, source,
// description). Everything that can fail raises this, so a single handler can report any of it.
class Error : public std::exception {
  public:
    Error(std::int32_t number, std::wstring source, std::wstring description)
        : number_(number), source_(std::move(source)), description_(std::move(description)) {}

    std::int32_t Number() const noexcept { return number_; }
    const std::wstring& Source() const noexcept { return source_; }
    const std::wstring& Description() const noexcept { return description_; }
    const char* what() const noexcept override { return "vantle::Error"; }

  private:
    std::int32_t number_;
    std::wstring source_;
    std::wstring description_;
};

// Numbers are 32-bit signed, but HRESULT-style constants are written in hex.
constexpr std::int32_t ErrorNumber(std::uint32_t bits) noexcept {
    return static_cast<std::int32_t>(bits);
}

// What a report says of a failure that came without a description, beside its number: a
// plain "Unknown error" reads as if the program had looked the number up and found nothing.
inline constexpr const wchar_t* kNoDescription = L"No description was given.";

// "Run-time error '-2147177984 (8004aa00)':" followed by the description: the shape Windows
// operators know from unhandled-error boxes, with the number both signed and in hex.
std::wstring FormatErrorReport(const Error& error);

}  // namespace vantle
