#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <QString>

#include "ui/settings_store.h"

namespace korvel::test {

// A settings store in memory that records every access in order, with what `observe` reports
// at that moment (for instance how many links the window has opened so far).
class RecordingSettings : public SettingsStore {
 public:
  struct Access {
    std::string what;  // "read Comm/IpAddr", "write File/Path"
    int observed;
  };

  std::uint32_t readInteger(const QString& section, const QString& name,
                            std::uint32_t fallback) override {
    note("read", section, name);
    const auto found = integers.find(key(section, name));
    return found == integers.end() ? fallback : found->second;
  }
  void writeInteger(const QString& section, const QString& name, std::uint32_t value) override {
    note("write", section, name);
    integers[key(section, name)] = value;
  }
  QString readText(const QString& section, const QString& name, const QString& fallback) override {
    note("read", section, name);
    const auto found = texts.find(key(section, name));
    return found == texts.end() ? fallback : found->second;
  }
  void writeText(const QString& section, const QString& name, const QString& value) override {
    note("write", section, name);
    texts[key(section, name)] = value;
  }

  std::vector<std::string> accessNames() const {
    std::vector<std::string> names;
    for (const auto& access : accesses) names.push_back(access.what);
    return names;
  }

  std::map<QString, std::uint32_t> integers;
  std::map<QString, QString> texts;
  std::vector<Access> accesses;
  std::function<int()> observe = [] { return 0; };

 private:
  static QString key(const QString& section, const QString& name) {
    return section + QLatin1Char('/') + name;
  }
  void note(const char* verb, const QString& section, const QString& name) {
    accesses.push_back({std::string(verb) + " " + key(section, name).toStdString(), observe()});
  }
};

}  // namespace korvel::test
