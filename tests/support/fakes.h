#pragma once

// In-memory stand-ins for the narrow interfaces, shared by the portable tests.
#include <map>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "common/environment.h"
#include "dialog/dialog_fields.h"
#include "profile/profile_reader.h"

namespace vantle::testing {

class FakeProfiles final : public ProfileReader {
  public:
    void Set(const std::wstring& file, const std::wstring& section, const std::wstring& key,
             const std::wstring& value) {
        values_[{file, section, key}] = value;
    }
    std::wstring INIRead(const std::wstring& sSection, const std::wstring& sKeyName,
                         const std::wstring& sINIFileName) const override {
        reads.push_back(sINIFileName + L"|" + sSection + L"|" + sKeyName);
        const auto it = values_.find({sINIFileName, sSection, sKeyName});
        return it == values_.end() ? L"" : it->second;
    }
    mutable std::vector<std::wstring> reads;

  private:
    std::map<std::tuple<std::wstring, std::wstring, std::wstring>, std::wstring> values_;
};

class FakeEnvironment final : public Environment {
  public:
    std::wstring Variable(const std::wstring& name) const override {
        const auto it = variables.find(name);
        return it == variables.end() ? L"" : it->second;
    }
    std::wstring ProgramFolder() const override { return programFolder; }

    std::map<std::wstring, std::wstring> variables;
    std::wstring SystemFolder() const override { return systemFolder; }

    std::wstring programFolder = L"C:\\Program Files\\Vantle";
    std::wstring systemFolder = L"C:\\Windows\\system32";
};

class FakeFields final : public DialogFields {
  public:
    std::wstring Text(Field field) const override {
        reads.push_back(field);
        const auto it = texts.find(field);
        return it == texts.end() ? L"" : it->second;
    }
    void SetText(Field field, const std::wstring& text) override {
        writes.emplace_back(field, text);
        texts[field] = text;
    }

    std::map<Field, std::wstring> texts;
    mutable std::vector<Field> reads;
    std::vector<std::pair<Field, std::wstring>> writes;
};

}  // namespace vantle::testing
