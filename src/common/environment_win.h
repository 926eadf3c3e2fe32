#pragma once

#include "common/environment.h"

namespace vantle {

class WindowsEnvironment final : public Environment {
  public:
    std::wstring Variable(const std::wstring& name) const override;
    std::wstring ProgramFolder() const override;
    std::wstring SystemFolder() const override;
};

}  // namespace vantle
