#pragma once

#include <functional>

#include "common/environment.h"

namespace vantle {

class WindowsEnvironment final : public Environment {
  public:
    // How the running program's full file name is read, with GetModuleFileNameW's contract:
    // the characters copied, which equal `size` when the name was cut short.
    using ModuleFileName = std::function<unsigned long(wchar_t* buffer, unsigned long size)>;

    WindowsEnvironment();
    // For tests: names of any length, whatever the platform can start.
    explicit WindowsEnvironment(ModuleFileName moduleFileName);

    std::wstring Variable(const std::wstring& name) const override;
    std::wstring ProgramFolder() const override;
    std::wstring SystemFolder() const override;

  private:
    ModuleFileName moduleFileName_;
};

}  // namespace vantle
