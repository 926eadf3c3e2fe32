#pragma once

#include <windows.h>

#include <utility>

namespace vantle {

// Move-only owner of one Windows handle (the idea of WIL's unique_any): the handle is closed
// exactly once, on every path, including the paths that raise.
template <typename Traits>
class UniqueAny {
  public:
    using Pointer = typename Traits::Pointer;

    UniqueAny() noexcept = default;
    explicit UniqueAny(Pointer value) noexcept : value_(value) {}
    UniqueAny(const UniqueAny&) = delete;
    UniqueAny& operator=(const UniqueAny&) = delete;
    UniqueAny(UniqueAny&& other) noexcept : value_(other.Release()) {}
    UniqueAny& operator=(UniqueAny&& other) noexcept {
        if (this != &other) Reset(other.Release());
        return *this;
    }
    ~UniqueAny() { Reset(); }

    Pointer Get() const noexcept { return value_; }
    explicit operator bool() const noexcept { return Traits::IsValid(value_); }
    Pointer Release() noexcept { return std::exchange(value_, Traits::Invalid()); }
    void Reset(Pointer value = Traits::Invalid()) noexcept {
        const Pointer old = std::exchange(value_, value);
        if (Traits::IsValid(old)) Traits::Close(old);
    }

  private:
    Pointer value_ = Traits::Invalid();
};

struct KernelHandleTraits {
    using Pointer = HANDLE;
    static Pointer Invalid() noexcept { return nullptr; }
    // OpenProcess and CreateProcess report failure as NULL; a few APIs use
    // INVALID_HANDLE_VALUE, which is never a handle we own either.
    static bool IsValid(Pointer h) noexcept { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(Pointer h) noexcept { ::CloseHandle(h); }
};
using UniqueHandle = UniqueAny<KernelHandleTraits>;

struct FontTraits {
    using Pointer = HFONT;
    static Pointer Invalid() noexcept { return nullptr; }
    static bool IsValid(Pointer h) noexcept { return h != nullptr; }
    static void Close(Pointer h) noexcept { ::DeleteObject(h); }
};
using UniqueFont = UniqueAny<FontTraits>;

struct WindowTraits {
    using Pointer = HWND;
    static Pointer Invalid() noexcept { return nullptr; }
    static bool IsValid(Pointer h) noexcept { return h != nullptr; }
    static void Close(Pointer h) noexcept { ::DestroyWindow(h); }
};
using UniqueWindow = UniqueAny<WindowTraits>;

}  // namespace vantle
